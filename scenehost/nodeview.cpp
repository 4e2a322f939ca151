#include "nodeview.h"

#include <commctrl.h>

#include <string>

namespace {

enum Column { kNameColumn, kHiddenColumn, kPropsColumn };

// Deeper nodes share the indentation of this depth: a row's text must not grow with the
// depth, which the scene file allows to be very large.
const int kMaxIndentedDepth = 64;

// Room the list takes around a cell's text.
const int kCellPadding = 12;

void AddColumn(HWND list, int index, const char* title, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void SetText(HWND list, int row, int column, const std::string& text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void NodeView::Create(HWND owner, int id)
{
    owner_ = owner;
    list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
                            0, 0, 0, 0, owner, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleA(nullptr), nullptr);
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
    AddColumn(list_, kNameColumn, "Node", 200);
    AddColumn(list_, kHiddenColumn, "Hidden", 60);
    AddColumn(list_, kPropsColumn, "User properties", 400);
}

void NodeView::Rebuild(const Scene& scene)
{
    showingSelection_ = true;
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    rows_.clear();
    NodeTab nodes;
    if (filter_) {
        const int count = static_cast<int>(filter_->rows.size());
        for (const FilterRow& row : filter_->rows) nodes.Append(row.node, count);
    } else {
        scene.CollectNodes(nodes);
    }
    for (int row = 0; row < nodes.Count(); ++row) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row;
        item.pszText = const_cast<char*>("");
        item.lParam = reinterpret_cast<LPARAM>(nodes[row]);
        SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        rows_[nodes[row]] = row;
        SetRowTexts(row, nodes[row]);
    }
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    showingSelection_ = false;
    ShowSelection(scene);
}

void NodeView::SetFilter(const Scene& scene, const FilterResult* filter)
{
    filter_ = filter;
    Rebuild(scene);
}

void NodeView::ShowSelection(const Scene& scene)
{
    showingSelection_ = true;
    const int rows = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = scene.IsSelected(NodeAt(row)) ? LVIS_SELECTED : 0;
        SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    showingSelection_ = false;
}

void NodeView::ShowNode(SceneNode* node)
{
    const int row = RowOf(node);
    if (row >= 0) SetRowTexts(row, node);
}

void NodeView::ItemChanged(const NMLISTVIEW& change)
{
    if (showingSelection_ || !(change.uChanged & LVIF_STATE)) return;
    if (((change.uOldState ^ change.uNewState) & LVIS_SELECTED) == 0) return;
    if (syncPosted_) return;
    syncPosted_ = true;
    PostMessageA(owner_, WM_APP_SYNC_SELECTION, 0, 0);
}

void NodeView::TakeSelectionInto(Scene& scene)
{
    syncPosted_ = false;
    // Nodes still selected keep their place in the selection order; new ones follow.
    NodeTab selection;
    for (int i = 0; i < scene.SelectedCount(); ++i) {
        SceneNode* node = scene.SelectedNode(i);
        const int row = RowOf(node);
        if (row >= 0 && SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED)) selection.Append(node);
    }
    int row = -1;
    while ((row = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) {
        SceneNode* node = NodeAt(row);
        if (selection.Find(node) < 0) selection.Append(node);
    }
    scene.PickNodes(selection);
}

int NodeView::RowOf(SceneNode* node) const
{
    const auto row = rows_.find(node);
    return row == rows_.end() ? -1 : row->second;
}

SceneNode* NodeView::NodeAt(int row) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<SceneNode*>(item.lParam);
}

void NodeView::SetRowTexts(int row, SceneNode* node)
{
    const int depth = node->Depth() < kMaxIndentedDepth ? node->Depth() : kMaxIndentedDepth;
    std::string name(2 * (depth - 1), ' ');
    name += node->NodeName();
    CStr props;
    node->GetUserPropText(props);
    SetText(list_, row, kNameColumn, name);
    SetText(list_, row, kHiddenColumn, node->IsHidden() ? "hidden" : "");
    const FilterRow* filterRow = FilterRowAt(row);
    const int matches = filterRow ? filterRow->matchCount : 0;
    const int* matched = matches ? &filter_->matchedLines[filterRow->firstMatch] : nullptr;
    SetText(list_, row, kPropsColumn, PropertiesCellText(props, matched, matches));
}

const FilterRow* NodeView::FilterRowAt(int row) const
{
    if (!filter_ || row < 0 || row >= static_cast<int>(filter_->rows.size())) return nullptr;
    return &filter_->rows[row];
}

LRESULT NodeView::CustomDraw(NMLVCUSTOMDRAW& draw) const
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    if (GetFocus() != list_ && SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED)) {
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
    if (!node || !tip.pszText || tip.cchTextMax <= 0) return;
    char cell[1024] = "";
    LVITEMA item = {};
    item.iSubItem = kPropsColumn;
    item.pszText = cell;
    item.cchTextMax = sizeof cell;
    SendMessageA(list_, LVM_GETITEMTEXTA, tip.iItem, reinterpret_cast<LPARAM>(&item));
    const LRESULT width =
        SendMessageA(list_, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(cell)) + kCellPadding;
    const bool cutOff = lstrlenA(cell) + 1 >= static_cast<int>(sizeof cell) ||
                        width > SendMessageA(list_, LVM_GETCOLUMNWIDTH, kPropsColumn, 0);
    if (!cutOff) return;
    CStr props;
    node->GetUserPropText(props);
    lstrcpynA(tip.pszText, PropertiesTipText(props).c_str(), tip.cchTextMax);
}
