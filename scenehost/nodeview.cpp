#include "nodeview.h"

#include <commctrl.h>

#include <string>

namespace {

enum Column { kNameColumn, kHiddenColumn, kPropsColumn };

// Deeper nodes share the indentation of this depth: a row's text must not grow with the
// depth, which the scene file allows to be very large.
const int kMaxIndentedDepth = 64;

// The whole text on one line: breaks shown as a separator, so every line is visible.
std::string OneLine(const CStr& text)
{
    std::string line;
    const char* p = text.data();
    while (*p) {
        if (*p == '\r' || *p == '\n') {
            while (*p == '\r' || *p == '\n') ++p;
            if (*p && !line.empty()) line += "  |  ";
            continue;
        }
        line += *p++;
    }
    return line;
}

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
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
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
    scene.CollectNodes(nodes);
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
    SetText(list_, row, kPropsColumn, OneLine(props));
}
