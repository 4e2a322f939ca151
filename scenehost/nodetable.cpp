// The node list as the property table: the key columns, their chooser, the view order, the
// header's tooltip and the in-place cell editor.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "dpi.h"
#include "guard.h"
#include "hosttexts.h"
#include "hostutil.h"
#include "mainwindowids.h"
#include "nodeview.h"
#include "resource.h"
#include "textlines.h"
#include "windowprobes.h"

namespace {

const int kFirstKeyColumn = 2;  // after Node and Hidden
const int kKeysShownAtFirst = 32;
const int kKeyColumnWidth = 100;  // at 96 DPI

// A column's identity across rebuilds: its folded key; the other lines have one no key has.
std::string IdOf(const TableColumn& column)
{
    if (column.otherLines) return "\n";
    std::string id = column.key;
    for (char& c : id) c = LowerAscii(c);
    return id;
}

std::string TitleOf(const TableColumn& column)
{
    return column.otherLines ? HostText(IDS_TABLE_OTHER_LINES) : column.key;
}

}  // namespace

NodeView::NodeView()
    : sorter_([this](const SortWorker::Job& job) {
          PostMessageA(owner_, WM_APP_SORT_DONE, job.generation, 0);
      })
{
}

// The rows stay as they are, selection and scroll position included; only a sorted table
// gives the hierarchy order back.
void NodeView::SetTableMode(const Scene& scene, bool table)
{
    if (table == table_) return;
    EndCellEdit();
    CancelSort();
    {
        RedrawPaused paused(list_);
        table_ = table;
        changed_.SetOn(table);
        if (table) {
            AttachTableParts();
            RefreshTable();
        } else {
            DetachTableParts();
            shownColumns_.clear();
            shownHeaders_.clear();
            ShowPropsColumn();
        }
    }
    SortBy(scene, -1);
    ShowSortArrow();
}

// A subclass of the header costs every message the list sends it, several for each row
// whose selection changes: ours steps aside while many rows are marked, and in the lines
// view. The tip sees the mouse through it (a tip's own subclass would stay).
void NodeView::AttachTableParts()
{
    if (headerAttached_) return;
    HWND header = Header();
    if (!tip_) {
        tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner_,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = owner_;
        tool.uId = reinterpret_cast<UINT_PTR>(header);
        tool.lpszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, ScaleForDpi(400, dpi_));
    }
    SetWindowSubclass(header, HeaderProc, 1, reinterpret_cast<DWORD_PTR>(this));
    headerAttached_ = true;
}

void NodeView::DetachTableParts()
{
    if (!headerAttached_) return;
    RemoveWindowSubclass(Header(), HeaderProc, 1);
    headerAttached_ = false;
}

HWND NodeView::Header() const
{
    return reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
}

// A text about to change stops the sort reading it, and drops its result.
void NodeView::WatchScene(Scene* scene)
{
    scene_ = scene;
    changed_.Watch(scene, [this] { CancelSort(); });
}

RowTexts NodeView::TextsOfRows() const { return TextsOf(rows_); }

RowTexts NodeView::TextsOf(const std::vector<SceneNode*>& rows)
{
    return [&rows](size_t row) { return rows[row]->UserPropText().data(); };
}

const std::vector<SceneNode*>& NodeView::HierarchyRows() const
{
    return hierarchy_.empty() ? rows_ : hierarchy_;
}

std::string NodeView::ColumnIdOf(int modelColumn) const
{
    const auto& columns = model_.Columns();
    return modelColumn >= 0 && modelColumn < static_cast<int>(columns.size())
               ? IdOf(columns[modelColumn])
               : std::string();
}

// The model from the rows' texts in one pass; the header changes only when its keys do.
void NodeView::RefreshTable()
{
    CancelSort();
    changed_.Forget();
    const std::vector<SceneNode*>& rows = HierarchyRows();
    model_.Build(rows.size(), TextsOf(rows));
    ShowKeyColumns();
}

// After changes to nodes: only the changed ones are read, unless nearly all changed.
void NodeView::UpdateTable(SceneNode* node)
{
    CancelSort();
    changed_.Add(node);
    const std::vector<SceneNode*>& rows = HierarchyRows();
    std::vector<size_t> changed;
    if (changed_.TakeRows(rows, changed) && model_.Rows() == rows.size())
        model_.Update(changed, TextsOf(rows));
    else
        model_.Build(rows.size(), TextsOf(rows));
    ShowKeyColumns();
}

void NodeView::ShowKeyColumns()
{
    std::vector<int> shown;
    for (int column = 0; column < static_cast<int>(model_.Columns().size()); ++column)
        if (KeyShown(column)) shown.push_back(column);
    SetKeyColumns(shown);
}

bool NodeView::KeyShown(int modelColumn) const
{
    const auto choice = keyChoices_.find(ColumnIdOf(modelColumn));
    if (choice != keyChoices_.end()) return choice->second;
    return modelColumn < kKeysShownAtFirst;
}

void NodeView::ShowKey(int modelColumn, bool shown)
{
    if (modelColumn < 0 || modelColumn >= static_cast<int>(model_.Columns().size())) return;
    keyChoices_[ColumnIdOf(modelColumn)] = shown;
    ShowKeyColumns();
}

void NodeView::ShowAllKeys()
{
    for (int column = 0; column < static_cast<int>(model_.Columns().size()); ++column)
        keyChoices_[ColumnIdOf(column)] = true;
    ShowKeyColumns();
}

void NodeView::SetKeyColumns(const std::vector<int>& shown)
{
    std::vector<std::string> headers;
    headers.reserve(shown.size());
    for (int column : shown) headers.push_back(TitleOf(model_.Columns()[column]));
    shownColumns_ = shown;
    shownHeaders_ = headers;
    SetColumnTitles(headers, ScaleForDpi(kKeyColumnWidth, dpi_));
    if (currentColumn_ >= kFirstKeyColumn + static_cast<int>(shownColumns_.size()))
        currentColumn_ = kFirstKeyColumn;
    ShowSortArrow();
}

// The arrow on the header of the column the rows are sorted by, and on no other.
void NodeView::ShowSortArrow()
{
    HWND header = Header();
    const int sorted = table_ ? ListColumnOf(SortColumn()) : -1;
    const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < count; ++column) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&item));
        const int wanted = (item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN)) | (column == sorted ? HDF_SORTUP : 0);
        if (wanted == item.fmt) continue;
        item.fmt = wanted;
        SendMessageA(header, HDM_SETITEMA, column, reinterpret_cast<LPARAM>(&item));
    }
}

std::string NodeView::ColumnTitle(int modelColumn) const
{
    const auto& columns = model_.Columns();
    return modelColumn >= 0 && modelColumn < static_cast<int>(columns.size())
               ? TitleOf(columns[modelColumn])
               : std::string();
}

int NodeView::ModelColumnOf(int listColumn) const
{
    const int key = listColumn - kFirstKeyColumn;
    return table_ && key >= 0 && key < static_cast<int>(shownColumns_.size()) ? shownColumns_[key]
                                                                             : -1;
}

int NodeView::ListColumnOf(int modelColumn) const
{
    const auto at = std::find(shownColumns_.begin(), shownColumns_.end(), modelColumn);
    return !table_ || at == shownColumns_.end()
               ? -1
               : kFirstKeyColumn + static_cast<int>(at - shownColumns_.begin());
}

std::vector<std::string> NodeView::ShownKeys() const { return table_ ? shownHeaders_ : std::vector<std::string>(); }

// A new view order of the same rows: no model or column changes, and no pass over the scene.
void NodeView::SortBy(const Scene& scene, int modelColumn)
{
    const bool wasSorted = !hierarchy_.empty();
    const std::string id = ColumnIdOf(modelColumn);
    CancelSort();
    if (id.empty() && !wasSorted && sortId_.empty()) return;  // the hierarchy order already
    EndCellEdit();
    if (wasSorted) rows_ = hierarchy_;
    else if (!id.empty()) hierarchy_ = rows_;
    sortId_ = id;
    if (id.empty()) hierarchy_.clear();
    else OrderRows();
    ShowRows(scene);
    ShowSortArrow();
}

// The rows to sort are copied: the thread reads their texts, which only the window's
// thread changes, and it is stopped first.
void NodeView::StartSort(int modelColumn)
{
    CancelSort();
    const std::string id = ColumnIdOf(modelColumn);
    if (id.empty() || !scene_) return;
    auto job = std::make_shared<SortWorker::Job>();
    job->rows = HierarchyRows();
    job->column = model_.Columns()[modelColumn];
    job->generation = ++sortGeneration_;
    pendingSortId_ = id;
    sortJob_ = job;
    sorter_.Start(std::move(job));
}

bool NodeView::SortDone(unsigned generation)
{
    if (!sortJob_ || sortJob_->generation != generation || !sortJob_->finished) return false;
    const std::shared_ptr<SortWorker::Job> job = std::move(sortJob_);
    sortJob_.reset();
    sorter_.Stop();  // its thread is at its end
    EndCellEdit();
    hierarchy_ = std::move(job->rows);
    rows_ = std::move(job->sorted);
    sortId_ = std::move(pendingSortId_);
    pendingSortId_.clear();
    ShowRows(*scene_);
    ShowSortArrow();
    return true;
}

bool NodeView::FinishSort()
{
    if (!sortJob_) return false;
    sorter_.Wait();
    return SortDone(sortJob_->generation);
}

void NodeView::CancelSort()
{
    sortJob_.reset();
    sorter_.Stop();
    pendingSortId_.clear();
}


int NodeView::SortColumn() const { return ColumnWithId(sortId_); }

int NodeView::PendingSortColumn() const { return ColumnWithId(pendingSortId_); }

int NodeView::ColumnWithId(const std::string& id) const
{
    for (int column = 0; column < static_cast<int>(model_.Columns().size()); ++column)
        if (!id.empty() && IdOf(model_.Columns()[column]) == id) return column;
    return -1;
}

// The view order of the rows shown, from their texts as they stand now.
void NodeView::OrderRows()
{
    const int column = SortColumn();
    if (column < 0) return;
    const std::vector<size_t> order =
        SortedRows(rows_.size(), TextsOfRows(), model_.Columns()[column]);
    std::vector<SceneNode*> sorted(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) sorted[i] = rows_[order[i]];
    rows_ = std::move(sorted);
}

std::string NodeView::CellText(int row, int listColumn) const
{
    const SceneNode* node = NodeAt(row);
    const int column = ModelColumnOf(listColumn);
    if (!node || column < 0) return std::string();
    const FilterRow* filterRow = FilterRowAt(row);
    const int matches = filterRow ? filterRow->matchCount : 0;
    const int* matched = matches ? &filter_->matchedLineStarts[filterRow->firstMatch] : nullptr;
    return ::CellText(node->UserPropText().data(), model_.Columns()[column], matched, matches);
}

std::string NodeView::HeaderTip(int listColumn) const
{
    const int column = ModelColumnOf(listColumn);
    if (column < 0) return std::string();
    const TableColumn& shown = model_.Columns()[column];
    const ColumnStats stats = StatsOf(rows_.size(), TextsOfRows(), shown);
    return HostMessage(IDS_TABLE_HEADER_TIP, {TitleOf(shown), GroupedNumber(stats.nodes),
                                              GroupedNumber(stats.distinctValues)});
}

void NodeView::FillHeaderTip(NMTTDISPINFOW& info)
{
    NMTTDISPINFOA narrow = {};
    FillHeaderTip(narrow);
    tipWide_ = WideText(tipText_);
    info.lpszText = const_cast<wchar_t*>(tipWide_.c_str());
}

void NodeView::FillHeaderTip(NMTTDISPINFOA& info)
{
    POINT point;
    GetCursorPos(&point);
    HDHITTESTINFO hit = {};
    hit.pt = point;
    ScreenToClient(Header(), &hit.pt);
    const int column = static_cast<int>(SendMessageA(Header(), HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    tipColumn_ = column;
    tipText_ = HeaderTip(column);
    info.lpszText = const_cast<char*>(tipText_.c_str());
}

void NodeView::SetCurrentColumn(int listColumn)
{
    if (ModelColumnOf(listColumn) < 0) return;
    currentColumn_ = listColumn;
}

bool NodeView::BeginCellEdit(int row, int listColumn, const std::string& text, bool selectAll)
{
    EndCellEdit();
    if (!NodeAt(row) || ModelColumnOf(listColumn) < 0) return false;
    SendMessageA(list_, LVM_ENSUREVISIBLE, row, FALSE);
    RECT cell = {};
    cell.top = listColumn;
    cell.left = LVIR_LABEL;
    if (!SendMessageA(list_, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) return false;
    editor_ = CreateWindowExA(0, "EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                              cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top,
                              list_, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!editor_) return false;
    editedRow_ = row;
    editedColumn_ = listColumn;
    SendMessageA(editor_, WM_SETFONT, SendMessageA(list_, WM_GETFONT, 0, 0), FALSE);
    SendMessageA(editor_, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(editor_, EditorProc, 1, reinterpret_cast<DWORD_PTR>(this));
    const int length = static_cast<int>(text.size());
    SendMessageA(editor_, EM_SETSEL, selectAll ? 0 : length, length);
    SetFocus(editor_);
    return true;
}

std::string NodeView::EndCellEdit()
{
    if (!editor_) return std::string();
    HWND editor = editor_;
    editor_ = nullptr;  // before the focus moves: leaving the editor ends nothing more
    const std::string text = WindowText(editor);
    const bool focused = GetFocus() == editor;
    DestroyWindow(editor);
    if (focused) SetFocus(list_);
    return text;
}

LRESULT CALLBACK NodeView::HeaderProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data)
{
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        auto* view = reinterpret_cast<NodeView*>(data);
        if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) && view->tip_) {
            MSG relayed = {header, message, wParam, lParam, 0, {0, 0}};
            SendMessageA(view->tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
        }
        switch (message) {
        case WM_RBUTTONUP: {
            POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(header, &point);
            PostMessageA(view->owner_, WM_APP_HEADER_MENU, 0, MAKELPARAM(point.x, point.y));
            return 0;
        }
        case WM_MOUSEMOVE: {
            HDHITTESTINFO hit = {};
            hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            const int column = static_cast<int>(
                DefSubclassProc(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            // Another column: the tip goes, and asks its text again when it shows.
            if (column != view->tipColumn_ && view->tip_) SendMessageA(view->tip_, TTM_POP, 0, 0);
            view->tipColumn_ = column;
            break;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(header, HeaderProc, 1);
            view->headerAttached_ = false;
            break;
        }
        return DefSubclassProc(header, message, wParam, lParam);
    });
}

LRESULT CALLBACK NodeView::EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data)
{
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        auto* view = reinterpret_cast<NodeView*>(data);
        switch (message) {
        case WM_GETDLGCODE:
            return DLGC_WANTALLKEYS | DefSubclassProc(editor, message, wParam, lParam);
        case WM_KILLFOCUS:
            if (view->editor_ == editor) PostMessageA(view->owner_, WM_APP_CELL_EDIT_END, 0, 0);
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(editor, EditorProc, 1); break;
        }
        return DefSubclassProc(editor, message, wParam, lParam);
    });
}
