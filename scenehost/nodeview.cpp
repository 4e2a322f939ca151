#include "nodeview.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "dpi.h"
#include "hosttexts.h"

#include "hostutil.h"
#include "mainwindowids.h"
#include "resource.h"
#include "rowcolours.h"
#include "rowtext.h"

namespace {

enum Column { kNameColumn, kHiddenColumn, kPropsColumn, kColumnCount };

// Setting the state of every row at once (item -1) costs, per row, about a sixth of setting
// one row's state on its own.
const int kRowsPerWholeListMessage = 6;

// Fewer rows than this are marked without taking the header's parts off and on again.
const int kRowsMarkedWithTheHeaderParts = 64;

// Room the list takes around a cell's text, at 96 DPI.
const int kCellPadding = 12;

struct ColumnSpec {
    UINT title;
    int width;  // at 96 DPI
};
const ColumnSpec kColumns[] = {
    {IDS_COLUMN_NODE, 200}, {IDS_COLUMN_HIDDEN, 60}, {IDS_COLUMN_PROPS, 400}};

void AddColumn(HWND list, int index, const std::string& title)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(title.c_str());
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void CopyText(const std::string& text, char* buffer, int size)
{
    if (!buffer || size <= 0) return;
    const size_t length = text.size() < static_cast<size_t>(size - 1) ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = 0;
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    const int length = static_cast<int>(prefix.size());
    return text.size() >= prefix.size() &&
           CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.data(), length, prefix.data(),
                          length) == CSTR_EQUAL;
}

}  // namespace

void NodeView::Create(HWND owner, int id)
{
    owner_ = owner;
    HiddenLabel(owner, IDS_NODES_LABEL);  // names the list for accessibility tools
    list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                                LVS_OWNERDATA,
                            0, 0, 0, 0, owner, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleA(nullptr), nullptr);
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
    for (int column = 0; column < kColumnCount; ++column)
        AddColumn(list_, column, HostText(kColumns[column].title));
    listTitles_ = {HostText(kColumns[kPropsColumn].title)};
}

void NodeView::ShowPropsColumn()
{
    SetColumnTitles({HostText(kColumns[kPropsColumn].title)},
                    ScaleForDpi(kColumns[kPropsColumn].width, dpi_));
}

// The columns after Hidden: those whose titles stay keep their place and width; the rest are
// retitled in place, and only a difference in count inserts or deletes columns.
void NodeView::SetColumnTitles(const std::vector<std::string>& titles, int width)
{
    if (titles == listTitles_) return;
    RedrawPaused paused(list_);
    const size_t kept = std::min(titles.size(), listTitles_.size());
    for (size_t i = listTitles_.size(); i > kept; --i)
        SendMessageA(list_, LVM_DELETECOLUMN, kPropsColumn + i - 1, 0);
    for (size_t i = 0; i < titles.size(); ++i) {
        if (i < kept && titles[i] == listTitles_[i]) continue;
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
        column.pszText = const_cast<char*>(titles[i].c_str());
        column.iSubItem = static_cast<int>(kPropsColumn + i);
        column.cx = width;
        SendMessageA(list_, i < kept ? LVM_SETCOLUMNA : LVM_INSERTCOLUMNA, kPropsColumn + i,
                     reinterpret_cast<LPARAM>(&column));
    }
    listTitles_ = titles;
}

// Columns keep the share of the width the user gave them; none is narrower than its title.
void NodeView::SetDpi(UINT dpi, HFONT font)
{
    SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const bool first = !dpiKnown_;
    for (int column = 0; column < kColumnCount; ++column) {
        int width = ScaleForDpi(kColumns[column].width, dpi);
        if (!first) {
            const int shown = static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, column, 0));
            width = MulDiv(shown, static_cast<int>(dpi), static_cast<int>(dpi_));
        }
        const int title =
            TextExtent(font, HostText(kColumns[column].title).c_str()).cx +
            ScaleForDpi(kCellPadding, dpi);
        SendMessageA(list_, LVM_SETCOLUMNWIDTH, column, width > title ? width : title);
    }
    dpi_ = dpi;
    dpiKnown_ = true;
}

void NodeView::Rebuild(const Scene& scene)
{
    EndCellEdit();  // its row may go
    rows_.clear();
    if (filter_) {
        rows_.reserve(filter_->rows.size());
        for (const FilterRow& row : filter_->rows) rows_.push_back(row.node);
    } else {
        NodeTab nodes;
        scene.CollectNodes(nodes);
        rows_.assign(nodes.Count(), nullptr);
        for (int row = 0; row < nodes.Count(); ++row) rows_[row] = nodes[row];
    }
    hierarchy_.clear();
    if (table_) {
        RefreshTable();
        if (SortColumn() >= 0) hierarchy_ = rows_;
        OrderRows();
    }
    ShowRows(scene);
}

void NodeView::ShowNoRows(const Scene& scene)
{
    EndCellEdit();
    rows_.clear();
    hierarchy_.clear();
    ShowRows(scene);
}

// The list holds rows_ afresh, with the scene's selection marked.
void NodeView::ShowRows(const Scene& scene)
{
    rowOf_.clear();
    rowOfKnown_ = false;
    // Already empty (a scene cleared, then rebuilt empty, then opened): laying the list out
    // again would change nothing.
    if (rows_.empty() && SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0) == 0) {
        shownSelected_.clear();
        shownKnown_ = true;
        return;
    }
    // The list is emptied first, so that it starts with nothing selected or focused. Deleting
    // drops its selection at once where a zero count drops it range by range; and each
    // resumed redraw or count change with redrawing on costs a fixed few milliseconds.
    showingSelection_ = true;
    {
        RedrawPaused paused(list_);
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
        SendMessageA(list_, LVM_SETITEMCOUNT, RowCount(), 0);
        shownSelected_.assign(rows_.size(), 0);
        shownKnown_ = true;
        MarkSelection(scene, false);
    }
    showingSelection_ = false;
}

void NodeView::SetFilter(const Scene& scene, const FilterResult* filter)
{
    filter_ = filter;
    Rebuild(scene);
}

void NodeView::ShowSelection(const Scene& scene)
{
    showingSelection_ = true;
    MarkSelection(scene, true);
    showingSelection_ = false;
}

// Only rows whose state differs are set, one message each. When that would take longer
// than clearing or filling the whole list first and setting the rest, the list does that.
void NodeView::MarkSelection(const Scene& scene, bool pauseRedraw)
{
    if (!shownKnown_) ReadSelectionFromList();
    // Nothing selected and nothing shown so: no row differs, and no node need be read.
    if (scene.SelectedCount() == 0 &&
        std::find(shownSelected_.begin(), shownSelected_.end(), 1) == shownSelected_.end())
        return;
    const int rows = RowCount();
    int wanted = 0, differing = 0;
    for (int row = 0; row < rows; ++row) {
        const bool selected = scene.IsSelected(rows_[row]);
        wanted += selected;
        differing += selected != (shownSelected_[row] != 0);
    }
    if (differing == 0) return;
    const int wholeList = rows / kRowsPerWholeListMessage;
    const int clearFirst = wholeList + wanted;
    const int fillFirst = wholeList + rows - wanted;
    std::optional<RedrawPaused> paused;
    if (pauseRedraw) paused.emplace(list_);
    const bool attached = headerAttached_;
    if (differing > kRowsMarkedWithTheHeaderParts) DetachTableParts();
    if (clearFirst < differing || fillFirst < differing) {
        const bool fill = fillFirst < clearFirst;
        SetRowSelected(-1, fill);
        shownSelected_.assign(rows_.size(), fill);
    }
    for (int row = 0; row < rows; ++row)
        if (scene.IsSelected(rows_[row]) != (shownSelected_[row] != 0))
            SetRowSelected(row, !shownSelected_[row]);
    if (attached) AttachTableParts();
}

void NodeView::ShowNode(SceneNode* node)
{
    if (table_) UpdateTable(node);
    const int row = RowOf(node);
    if (row >= 0) SendMessageA(list_, LVM_REDRAWITEMS, row, row);
}

void NodeView::ShowAllNodes()
{
    if (table_) UpdateTable(nullptr);
    InvalidateRect(list_, nullptr, FALSE);
}

void NodeView::FillRow(NMLVDISPINFOA& info) const
{
    LVITEMA& item = info.item;
    const SceneNode* node = NodeAt(item.iItem);
    if (!(item.mask & LVIF_TEXT) || !node) return;
    switch (item.iSubItem) {
    case kNameColumn: CopyText(NodeRowName(node), item.pszText, item.cchTextMax); break;
    case kHiddenColumn: {
        static const std::string hidden = HostText(IDS_HIDDEN_CELL);
        CopyText(node->IsHidden() ? hidden : std::string(), item.pszText, item.cchTextMax);
        break;
    }
    default:
        CopyText(table_ ? CellText(item.iItem, item.iSubItem)
                 : item.iSubItem == kPropsColumn ? PropsCell(item.iItem) : std::string(),
                 item.pszText, item.cchTextMax);
        break;
    }
}

// The next row, from start on, whose name as shown begins with the typed text.
int NodeView::FindRow(const std::string& typed, UINT flags, int start) const
{
    if (!(flags & (LVFI_STRING | LVFI_PARTIAL)) || RowCount() == 0) return -1;
    const int rows = RowCount();
    if (start < 0 || start >= rows) start = 0;
    const int span = (flags & LVFI_WRAP) ? rows : rows - start;
    for (int i = 0; i < span; ++i) {
        const int row = (start + i) % rows;
        const std::string name = NodeRowName(rows_[row]);
        if (StartsWithIgnoringCase(name, typed) && ((flags & LVFI_PARTIAL) || name.size() == typed.size()))
            return row;
    }
    return -1;
}

void NodeView::ItemChanged(const NMLISTVIEW& change)
{
    if (showingSelection_ || !(change.uChanged & LVIF_STATE)) return;
    if (((change.uOldState ^ change.uNewState) & LVIS_SELECTED) == 0) return;
    const char selected = (change.uNewState & LVIS_SELECTED) != 0;
    if (change.iItem < 0) shownSelected_.assign(rows_.size(), selected);
    else if (change.iItem < RowCount()) shownSelected_[change.iItem] = selected;
    PostSync();
}

// A range of rows changed at once (Shift+click): the list is asked once the burst is over.
void NodeView::RangeChanged(const NMLVODSTATECHANGE&)
{
    if (showingSelection_) return;
    shownKnown_ = false;
    PostSync();
}

void NodeView::TakeSelectionInto(Scene& scene)
{
    syncPosted_ = false;
    if (!shownKnown_) ReadSelectionFromList();
    // Nodes still selected keep their place in the selection order; new ones follow.
    NodeTab selection;
    for (int i = 0; i < scene.SelectedCount(); ++i) {
        SceneNode* node = scene.SelectedNode(i);
        const int row = RowOf(node);
        if (row >= 0 && shownSelected_[row]) selection.Append(node, selection.Count() + 10);
    }
    for (int row = 0; row < RowCount(); ++row)
        if (shownSelected_[row] && !scene.IsSelected(rows_[row]))
            selection.Append(rows_[row], selection.Count() + 10);
    scene.PickNodes(selection);
}

SceneNode* NodeView::NodeAt(int row) const
{
    return row >= 0 && row < RowCount() ? rows_[row] : nullptr;
}

int NodeView::RowOf(const SceneNode* node) const
{
    // Made when first asked: typing into the filter changes the rows many times over.
    if (!rowOfKnown_) {
        rowOf_.reserve(rows_.size());
        for (int row = 0; row < RowCount(); ++row) rowOf_.emplace(rows_[row], row);
        rowOfKnown_ = true;
    }
    const auto row = rowOf_.find(node);
    return row == rowOf_.end() ? -1 : row->second;
}

void NodeView::SetRowSelected(int row, bool selected)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    if (row >= 0) shownSelected_[row] = selected;
}

void NodeView::ReadSelectionFromList()
{
    shownSelected_.assign(rows_.size(), 0);
    int row = -1;
    while ((row = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0 &&
           row < RowCount())
        shownSelected_[row] = 1;
    shownKnown_ = true;
}

void NodeView::PostSync()
{
    if (syncPosted_) return;
    syncPosted_ = true;
    PostMessageA(owner_, WM_APP_SYNC_SELECTION, 0, 0);
}

const FilterRow* NodeView::FilterRowAt(int row) const
{
    if (!filter_ || row < 0 || row >= static_cast<int>(filter_->rows.size())) return nullptr;
    return &filter_->rows[row];
}

// The properties cell, with the lines the filter matched marked.
std::string NodeView::PropsCell(int row) const
{
    const SceneNode* node = NodeAt(row);
    if (!node) return std::string();
    const FilterRow* filterRow = FilterRowAt(row);
    const int matches = filterRow ? filterRow->matchCount : 0;
    const int* matched = matches ? &filter_->matchedLineStarts[filterRow->firstMatch] : nullptr;
    return PropertiesCellText(node->UserPropText().data(), matched, matches);
}

LRESULT NodeView::CustomDraw(NMLVCUSTOMDRAW& draw) const
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        focusedWhilePainting_ = GetFocus() == list_;
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    if (!focusedWhilePainting_ && SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED)) {
        // The list's own colours for this case are too pale to read on some systems.
        const COLORREF fill =
            InactiveSelectionFill(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_WINDOW));
        draw.clrTextBk = fill;
        draw.clrText = TextColourOn(fill);
        draw.nmcd.uItemState &= ~CDIS_SELECTED;
        return CDRF_NEWFONT;
    }
    const FilterRow* filterRow = FilterRowAt(row);
    if (!filterRow || !filterRow->context) return CDRF_DODEFAULT;
    draw.clrText = GetSysColor(COLOR_GRAYTEXT);
    return CDRF_NEWFONT;
}

void NodeView::GetInfoTip(NMLVGETINFOTIPA& tip) const
{
    SceneNode* node = NodeAt(tip.iItem);
    if (table_ || !node || !tip.pszText || tip.cchTextMax <= 0) return;
    // The list shows at most this much of a cell; a longer one is cut off anyway.
    const size_t kShown = 1023;
    const std::string cell = PropsCell(tip.iItem);
    bool cutOff = cell.size() > kShown;
    if (!cutOff) {
        const LRESULT width =
            SendMessageA(list_, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(cell.c_str()));
        cutOff = width + ScaleForDpi(kCellPadding, dpi_) >
                 SendMessageA(list_, LVM_GETCOLUMNWIDTH, kPropsColumn, 0);
    }
    if (cutOff) lstrcpynA(tip.pszText, PropertiesTipText(node->UserPropText().data()).c_str(),
                          tip.cchTextMax);
}
