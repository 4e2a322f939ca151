// The main window's property table: the view's menu, its keys, clicks and header menu, and
// the key edits over the selected nodes.
#include <windows.h>
#include <commctrl.h>

#include <string_view>

#include "coreinterface.h"
#include "guard.h"
#include "hold.h"
#include "hosttexts.h"
#include "keyedits.h"
#include "mainwindow.h"
#include "resource.h"
#include "windowprobes.h"

namespace {

// The view chosen last, for the next main window while the program runs.
bool tableChosen = false;

const UINT kFirstColumnItem = 1;  // header menu: the chooser's entries from here
const UINT kRenameItem = 60000, kRemoveItem = 60001, kShowAllItem = 60002;

struct RenameRequest {
    std::string oldKey;
    std::string newKey;
    bool allNodes = false;
};

INT_PTR CALLBACK RenameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
        auto* request = reinterpret_cast<RenameRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            request = reinterpret_cast<RenameRequest*>(lParam);
            SetDlgItemTextA(dialog, IDC_RENAME_PROMPT,
                            HostMessage(IDS_TABLE_RENAME_PROMPT, {request->oldKey}).c_str());
            SetDlgItemTextA(dialog, IDC_RENAME_NEW_KEY, request->oldKey.c_str());
            SendDlgItemMessageA(dialog, IDC_RENAME_NEW_KEY, EM_SETSEL, 0, -1);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                request->newKey = WindowText(GetDlgItem(dialog, IDC_RENAME_NEW_KEY));
                request->allNodes = IsDlgButtonChecked(dialog, IDC_RENAME_ALL_NODES) == BST_CHECKED;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
        }
    });
}

void CollectSelected(Scene& scene, NodeTab& nodes)
{
    nodes.SetCount(scene.SelectedCount());
    for (int i = 0; i < scene.SelectedCount(); ++i) nodes.Set(i, scene.SelectedNode(i));
}

std::string CountText(int n, UINT one, UINT many, std::initializer_list<std::string> first)
{
    std::vector<std::string> values(first);
    if (n != 1) values.push_back(GroupedNumber(n));
    const UINT id = n == 1 ? one : many;
    switch (values.size()) {
    case 1: return HostMessage(id, {values[0]});
    case 2: return HostMessage(id, {values[0], values[1]});
    default: return HostMessage(id, {values[0], values[1], values[2]});
    }
}

}  // namespace

void MainWindow::RestoreView()
{
    nodes_.WatchScene(&CoreInterface::Instance().GetScene());
    if (tableChosen) nodes_.SetTableMode(CoreInterface::Instance().GetScene(), true);
}

void MainWindow::ShowTable(bool table)
{
    tableChosen = table;
    nodes_.SetTableMode(CoreInterface::Instance().GetScene(), table);
}

// The key's column as the table shows it, or a new one; the other lines by their title.
bool MainWindow::ColumnForKey(const std::string& key, TableColumn& column)
{
    const PropertyColumns& model = nodes_.TableModel();
    if (key == HostText(IDS_TABLE_OTHER_LINES) && model.OtherLinesColumn() >= 0) {
        column = model.Columns()[model.OtherLinesColumn()];
        return true;
    }
    column = TableColumn{key};
    return IsUsableKey(key);
}

bool MainWindow::SetKey(const std::string& key, const std::string& value, std::string* error)
{
    TableColumn column;
    if (!ColumnForKey(key, column) || column.otherLines)
        return Failed(column.otherLines ? HostText(IDS_TABLE_NO_KEY)
                                        : HostMessage(IDS_TABLE_BAD_KEY, {key}),
                      error);
    return EditKeyOf(column, &value, nullptr, false, error);
}

bool MainWindow::RemoveKey(const std::string& key, std::string* error)
{
    TableColumn column;
    if (!ColumnForKey(key, column)) return Failed(HostMessage(IDS_TABLE_BAD_KEY, {key}), error);
    return EditKeyOf(column, nullptr, nullptr, false, error);
}

bool MainWindow::RenameKey(const std::string& oldKey, const std::string& newKey, bool allNodes,
                           std::string* error)
{
    TableColumn column;
    if (!ColumnForKey(oldKey, column) || column.otherLines)
        return Failed(column.otherLines ? HostText(IDS_TABLE_NO_KEY)
                                        : HostMessage(IDS_TABLE_BAD_KEY, {oldKey}),
                      error);
    if (!IsUsableKey(newKey)) return Failed(HostMessage(IDS_TABLE_BAD_KEY, {newKey}), error);
    return EditKeyOf(column, nullptr, &newKey, allNodes, error);
}

// One of the three edits: a value sets, a new key renames, neither removes.
bool MainWindow::EditKeyOf(const TableColumn& column, const std::string* value,
                           const std::string* newKey, bool allNodes, std::string* error)
{
    if (CommandRunning()) return false;
    if (value && !IsUsableValue(*value)) return Failed(HostMessage(IDS_TABLE_BAD_VALUE, {*value}), error);
    CoreInterface& core = CoreInterface::Instance();
    Scene& scene = core.GetScene();
    NodeTab nodes;
    if (allNodes) scene.CollectNodes(nodes);
    else CollectSelected(scene, nodes);
    if (nodes.Count() == 0) {
        core.ShowStatus(HostText(IDS_TABLE_NONE_SELECTED).c_str());
        return true;
    }
    const std::string key = column.otherLines ? HostText(IDS_TABLE_OTHER_LINES) : column.key;
    busy_.Start(HostText(value ? IDS_STEP_SET_PROPERTY : newKey ? IDS_STEP_RENAME_KEY
                                                                : IDS_STEP_REMOVE_KEY));
    std::string said;
    if (value) {
        const KeyEditResult result =
            SetKeyOn(nodes, column, *value, HostText(IDS_STEP_SET_PROPERTY).c_str());
        said = result.changed ? CountText(result.changed, IDS_TABLE_SET_ONE, IDS_TABLE_SET_MANY,
                                          {key, *value})
                              : HostText(IDS_TABLE_NOTHING_CHANGED);
    } else if (newKey) {
        const std::string step = HostText(IDS_STEP_RENAME_KEY);
        const KeyEditResult result = RenameKeyIn(
            nodes, column, *newKey,
            [&](SceneNode* node) {
                const std::string question =
                    HostMessage(IDS_TABLE_COLLISION, {node->NodeName(), *newKey});
                switch (MessageBoxA(window_, question.c_str(), step.c_str(),
                                    MB_YESNOCANCEL | MB_ICONQUESTION)) {
                case IDYES: return CollisionAnswer::RenameAnyway;
                case IDNO: return CollisionAnswer::Skip;
                default: return CollisionAnswer::Cancel;
                }
            },
            step.c_str());
        if (result.cancelled) said = HostText(IDS_TABLE_RENAME_CANCELLED);
        else if (result.skipped)
            said = HostMessage(IDS_TABLE_RENAMED_SKIPPED, {key, *newKey, GroupedNumber(result.changed),
                                                           GroupedNumber(result.skipped)});
        else if (result.changed)
            said = CountText(result.changed, IDS_TABLE_RENAMED_ONE, IDS_TABLE_RENAMED_MANY,
                             {key, *newKey});
        else said = HostText(IDS_TABLE_NOTHING_CHANGED);
    } else {
        const KeyEditResult result =
            RemoveKeyFrom(nodes, column, HostText(IDS_STEP_REMOVE_KEY).c_str());
        said = result.changed ? CountText(result.changed, IDS_TABLE_REMOVED_ONE,
                                          IDS_TABLE_REMOVED_MANY, {key})
                              : HostText(IDS_TABLE_NOTHING_CHANGED);
    }
    core.ShowStatus(said.c_str());
    UpdateTitle();
    return true;
}

bool MainWindow::SortTable(const std::string& key, std::string* error)
{
    Scene& scene = CoreInterface::Instance().GetScene();
    if (key.empty()) {
        nodes_.SortBy(scene, -1);
        CoreInterface::Instance().ShowStatus(HostText(IDS_TABLE_UNSORTED).c_str());
        return true;
    }
    const PropertyColumns& model = nodes_.TableModel();
    const int column = key == HostText(IDS_TABLE_OTHER_LINES) ? model.OtherLinesColumn()
                                                              : model.Find(key);
    if (!nodes_.TableMode() || column < 0) return Failed(HostMessage(IDS_TABLE_BAD_KEY, {key}), error);
    // A script's next command sees the sorted rows.
    nodes_.StartSort(column);
    nodes_.FinishSort();
    CoreInterface::Instance().ShowStatus(HostMessage(IDS_TABLE_SORTED, {key}).c_str());
    return true;
}

// A click sorts on the sort thread while the window goes on; a second click on the column
// being sorted cancels that sort.
void MainWindow::TableHeaderClick(int listColumn)
{
    const int column = nodes_.ModelColumnOf(listColumn);
    if (nodes_.Sorting() && column == nodes_.PendingSortColumn()) {
        nodes_.CancelSort();
        CoreInterface::Instance().ShowStatus(HostText(IDS_TABLE_SORT_CANCELLED).c_str());
        return;
    }
    // A second click on the sorted column, or one on the name, gives the hierarchy order back.
    if (column < 0 || column == nodes_.SortColumn()) {
        SortTable("");
        return;
    }
    nodes_.StartSort(column);
    CoreInterface::Instance().ShowStatus(
        HostMessage(IDS_TABLE_SORTING, {nodes_.ColumnTitle(column)}).c_str());
}

void MainWindow::TableSortDone(unsigned generation)
{
    if (!nodes_.SortDone(generation)) return;
    CoreInterface::Instance().ShowStatus(
        HostMessage(IDS_TABLE_SORTED, {nodes_.ColumnTitle(nodes_.SortColumn())}).c_str());
}

void MainWindow::TableClick(const NMITEMACTIVATE& click, bool twice)
{
    LVHITTESTINFO hit = {};
    hit.pt = click.ptAction;
    SendMessageA(nodes_.Window(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    nodes_.SetCurrentColumn(hit.iSubItem);
    if (twice && hit.iItem >= 0 && nodes_.ModelColumnOf(hit.iSubItem) >= 0)
        nodes_.BeginCellEdit(hit.iItem, hit.iSubItem, nodes_.CellText(hit.iItem, hit.iSubItem), true);
}

// F2 edits the current cell, typing replaces it; a repeated key's cell starts empty.
void MainWindow::EditCurrentCell(const std::string& typed)
{
    const int row = static_cast<int>(
        SendMessageA(nodes_.Window(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const int listColumn = nodes_.CurrentColumn();
    if (row < 0) return;
    std::string text = typed;
    const int column = nodes_.ModelColumnOf(listColumn);
    if (column >= 0 && typed.empty()) {
        std::string_view value;
        if (FirstValue(nodes_.NodeAt(row)->UserPropText(), nodes_.TableModel().Columns()[column], value))
            text = std::string(value);
    }
    nodes_.BeginCellEdit(row, listColumn, text, typed.empty());
}

void MainWindow::CommitCellEdit()
{
    SceneNode* node = nodes_.NodeAt(nodes_.EditedRow());
    const int column = nodes_.ModelColumnOf(nodes_.EditedColumn());
    const std::string value = nodes_.EndCellEdit();
    if (!node || column < 0) return;
    const TableColumn shown = nodes_.TableModel().Columns()[column];
    if (shown.otherLines) {
        Failed(HostText(IDS_TABLE_NO_KEY), nullptr);
        return;
    }
    Scene& scene = CoreInterface::Instance().GetScene();
    // The edited row alone when it is not one of the selected rows.
    if (!scene.IsSelected(node)) {
        NodeTab only;
        only.Append(node, 1);
        scene.PickNodes(only);
        CoreInterface::Instance().DeliverChanges();
    }
    EditKeyOf(shown, &value, nullptr, false, nullptr);
}

// The table's keys, before the shortcuts and the dialog keys: true when handled.
bool MainWindow::TableKey(const MSG& msg)
{
    if (!nodes_.TableMode()) return false;
    if (msg.hwnd == nodes_.CellEditor() && msg.hwnd && msg.message == WM_KEYDOWN) {
        if (msg.wParam == VK_RETURN) CommitCellEdit();
        else if (msg.wParam == VK_ESCAPE) nodes_.EndCellEdit();
        else return false;
        return true;
    }
    if (msg.hwnd != nodes_.Window()) return false;
    const bool control = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
    if (msg.message == WM_KEYDOWN) {
        const int step = msg.wParam == VK_LEFT ? -1 : msg.wParam == VK_RIGHT ? 1 : 0;
        if (step) {
            const int next = nodes_.CurrentColumn() + step;
            if (nodes_.ModelColumnOf(next) >= 0) {
                nodes_.SetCurrentColumn(next);
                InvalidateRect(nodes_.Window(), nullptr, FALSE);
            }
            return true;
        }
        if (msg.wParam == VK_F2) {
            EditCurrentCell("");
            return true;
        }
        if (msg.wParam == VK_DELETE) {
            const int column = nodes_.ModelColumnOf(nodes_.CurrentColumn());
            if (column >= 0) EditKeyOf(nodes_.TableModel().Columns()[column], nullptr, nullptr, false, nullptr);
            return true;
        }
    }
    if (msg.message == WM_CHAR && !control && msg.wParam >= 0x20 && msg.wParam != 0x7F) {
        EditCurrentCell(std::string(1, static_cast<char>(msg.wParam)));
        return true;
    }
    return false;
}

void MainWindow::AskToRenameKey(const std::string& key)
{
    RenameRequest request;
    request.oldKey = key;
    if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RENAME_KEY), window_,
                        RenameDialogProc, reinterpret_cast<LPARAM>(&request)) == IDOK)
        RenameKey(request.oldKey, request.newKey, request.allNodes);
}

void MainWindow::TableHeaderMenu(POINT screen)
{
    if (!nodes_.TableMode()) return;
    HDHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(nodes_.Header(), &hit.pt);
    const int listColumn = static_cast<int>(
        SendMessageA(nodes_.Header(), HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    const int column = nodes_.ModelColumnOf(listColumn);
    const auto& columns = nodes_.TableModel().Columns();
    HMENU menu = CreatePopupMenu();
    HMENU chooser = CreatePopupMenu();
    if (column >= 0) {
        AppendMenuA(menu, MF_STRING | (columns[column].otherLines ? MF_GRAYED : 0), kRenameItem,
                    HostText(IDS_TABLE_MENU_RENAME).c_str());
        AppendMenuA(menu, MF_STRING, kRemoveItem, HostText(IDS_TABLE_MENU_REMOVE).c_str());
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string title =
            columns[i].otherLines ? HostText(IDS_TABLE_OTHER_LINES) : columns[i].key;
        AppendMenuA(chooser, MF_STRING | (nodes_.KeyShown(static_cast<int>(i)) ? MF_CHECKED : 0),
                    kFirstColumnItem + i, title.c_str());
    }
    AppendMenuA(chooser, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(chooser, MF_STRING, kShowAllItem, HostText(IDS_TABLE_MENU_SHOW_ALL).c_str());
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(chooser),
                HostText(IDS_TABLE_MENU_COLUMNS).c_str());
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, window_, nullptr));
    DestroyMenu(menu);  // and the chooser with it
    if (chosen == kRemoveItem && column >= 0) {
        EditKeyOf(columns[column], nullptr, nullptr, false, nullptr);
    } else if (chosen == kRenameItem && column >= 0) {
        AskToRenameKey(columns[column].key);
    } else if (chosen == kShowAllItem) {
        nodes_.ShowAllKeys();
    } else if (chosen >= kFirstColumnItem && chosen < kFirstColumnItem + columns.size()) {
        const int picked = static_cast<int>(chosen - kFirstColumnItem);
        nodes_.ShowKey(picked, !nodes_.KeyShown(picked));
    }
}
