// What the main window's tests share: the one main window of the test process with the
// test's own scene opened, its rows, menus and status bar read as the user sees them, and
// the questions answered.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app_window.h"
#include "coreinterface.h"
#include "dialog_answerer.h"
#include "hold.h"
#include "mainwindow.h"
#include "resource.h"
#include "test_host.h"

namespace scenehost {

constexpr int kCreateFloater = 1001;
constexpr int kFileNameField = 0x47C;  // of the standard Open and Save As dialogs
constexpr char kAppName[] = "Scene Host";
constexpr char kBusyText[] = "A command is waiting for an answer. Answer its question first.";

// Rows: 0 Base, 1 Arm, 2 Hand, 3 Leg (hidden), 4 Lamp, 5 Helpers (hidden), 6 Spawn.
constexpr char kDeskScene[] =
    "scene 1\n"
    "# the test's own scene\n"
    "node 1 \"Base\"\n"
    "props \"LOD=1\\r\\nlodBias=2\"\n"
    "node 2 \"Arm\"\n"
    "props \"LOD=1\"\n"
    "node 3 \"Hand\"\n"
    "node 2 \"Leg\" hidden\n"
    "props \"export=static\"\n"
    "node 1 \"Lamp\"\n"
    "props \"light=spot\\r\\n\\r\\nintensity=1.5\"\n"
    "node 1 \"Helpers\" hidden\n"
    "node 2 \"Spawn\"\n"
    "props \"spawn=player\"\n";

enum Row { kBase, kArm, kHand, kLeg, kLamp, kHelpers, kSpawn, kRowCount };

enum Column { kNameColumn, kHiddenColumn, kPropsColumn };

// Files of this process only: ctest runs the cases side by side in separate processes.
inline std::string TestFolder()
{
    const std::string folder =
        testing::TempDir() + "scenehost-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

inline std::string WriteFile(const std::string& name, const std::string& text)
{
    const std::string path = TestFolder() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A dialog of this thread by its caption, also while it is still being set up and hidden.
inline HWND OpeningDialog(const char* caption)
{
    struct Search {
        const char* caption;
        HWND found;
    } search = {caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM lParam) -> BOOL {
            auto* search = reinterpret_cast<Search*>(lParam);
            if (WindowText(window) != search->caption) return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline void CloseFloaters()
{
    for (const char* caption : {"Find/Replace Properties", "User Properties"})
        while (HWND floater = FindTopWindow(caption))
            SendMessageA(floater, WM_COMMAND, IDCANCEL, 0);
    PumpMessages();
}

class SceneHostTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = App().Window();
        ASSERT_NE(window, nullptr);
        PumpMessages();
        CloseFloaters();
        while (theHold.Holding()) theHold.Cancel();
        App().Utilities().Choose(-1);
        deskPath = WriteFile("desk.scene", kDeskScene);
        ASSERT_TRUE(App().OpenScene(deskPath));
        PumpMessages();
        NodeTab nodes;
        TheScene().CollectNodes(nodes);
        ASSERT_EQ(nodes.Count(), kRowCount);
        for (int i = 0; i < nodes.Count(); ++i) node.push_back(nodes[i]);
    }
    void TearDown() override
    {
        CloseFloaters();
        while (theHold.Holding()) theHold.Cancel();
        EXPECT_EQ(answerer.Pending(), 0u) << "an expected question never came";
        EXPECT_EQ(answerer.Unanswered(), 0) << "a message box came unasked";
        for (const char* name : {"desk.scene", "other.scene", "bad.scene", "copy.scene",
                                 "deep.scene", "moved\\desk.scene"})
            DeleteFileA((TestFolder() + name).c_str());
        RemoveDirectoryA((TestFolder() + "moved").c_str());
        RemoveDirectoryA(TestFolder().c_str());
    }

    static Scene& TheScene() { return CoreInterface::Instance().GetScene(); }

    void Command(int id)
    {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        PumpMessages();
    }

    HWND List() const { return GetDlgItem(window, kNodeListId); }
    int RowCount() const
    {
        return static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
    }
    std::string Cell(int row, int column) const { return ListCellText(List(), row, column); }
    std::vector<std::string> ColumnTexts(int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < RowCount(); ++row) texts.push_back(Cell(row, column));
        return texts;
    }
    // The list is virtual: its rows carry no data of their own, the view knows their nodes.
    SceneNode* RowNode(int row) const { return App().Nodes().NodeAt(row); }
    // The user's click on a row: the state changes, then the burst is over.
    void SetRowSelected(int row, bool selected)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = selected ? LVIS_SELECTED : 0;
        SendMessageA(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    void Pick(int row, bool selected = true)
    {
        SetRowSelected(row, selected);
        PumpMessages();
    }
    // A click on a row as the mouse sends it, with MK_CONTROL or MK_SHIFT held if given.
    void ClickRow(int row, WPARAM keys = 0)
    {
        RECT rect = {};
        rect.left = LVIR_LABEL;
        SendMessageA(List(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
        SendMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
        SendMessageA(List(), WM_LBUTTONUP, keys, at);
        PumpMessages();
    }
    // Every row reads as its node says, and shows the node's selection.
    void ExpectRowsMatchTheScene(const char* after) const
    {
        NodeTab nodes;
        TheScene().CollectNodes(nodes);
        ASSERT_EQ(RowCount(), nodes.Count()) << after;
        for (int row = 0; row < nodes.Count(); ++row) {
            const SceneNode* n = nodes[row];
            EXPECT_EQ(RowNode(row), n) << after;
            EXPECT_EQ(Cell(row, kNameColumn), std::string(2 * (n->Depth() - 1), ' ') + n->NodeName())
                << after;
            EXPECT_EQ(Cell(row, kHiddenColumn), n->IsHidden() ? "hidden" : "") << after;
            EXPECT_EQ(Cell(row, kPropsColumn), OneLine(NodeText(n))) << after;
            EXPECT_EQ(SendMessageA(List(), LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0,
                      TheScene().IsSelected(n))
                << n->NodeName() << " after " << after;
        }
    }
    static std::string OneLine(const std::string& text)
    {
        std::string line;
        size_t start = text.find_first_not_of("\r\n");
        while (start != std::string::npos) {
            const size_t end = text.find_first_of("\r\n", start);
            if (!line.empty()) line += "  |  ";
            line += text.substr(start, end - start);
            start = text.find_first_not_of("\r\n", end);
        }
        return line;
    }
    std::vector<int> SelectedRows() const
    {
        std::vector<int> rows;
        for (int row = 0; row < RowCount(); ++row)
            if (SendMessageA(List(), LVM_GETITEMSTATE, row, LVIS_SELECTED)) rows.push_back(row);
        return rows;
    }
    // The scene's selection in selection order, as rows.
    std::vector<int> SelectionRows() const
    {
        std::vector<int> rows;
        for (int i = 0; i < TheScene().SelectedCount(); ++i) {
            int row = 0;
            while (row < kRowCount && node[row] != TheScene().SelectedNode(i)) ++row;
            rows.push_back(row);
        }
        return rows;
    }
    void Select(const std::vector<int>& rows)
    {
        NodeTab nodes;
        for (int row : rows) nodes.Append(node[row]);
        TheScene().SetSelection(nodes);
    }
    bool SyncPending() const
    {
        MSG msg;
        return PeekMessageA(&msg, window, WM_APP_SYNC_SELECTION, WM_APP_SYNC_SELECTION,
                            PM_NOREMOVE) != FALSE;
    }

    void ChangeText(int row, const char* text, const char* stepName)
    {
        theHold.Begin();
        PutText(node[row], text);
        theHold.Accept(stepName);
    }
    std::string Status() const { return CoreInterface::Instance().StatusText(); }
    std::string Counts() const { return StatusBarText(GetDlgItem(window, kStatusBarId), 1); }

    HMENU MainMenu(int position) const { return GetSubMenu(GetMenu(window), position); }
    // The Edit menu as it drops down.
    HMENU DropEditMenu()
    {
        HMENU edit = MainMenu(1);
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit),
                     MAKELPARAM(1, FALSE));
        return edit;
    }
    static std::string ItemText(HMENU menu, UINT id, UINT by = MF_BYCOMMAND)
    {
        char text[128] = "";
        GetMenuStringA(menu, id, text, sizeof text, by);
        return text;
    }
    static bool ItemEnabled(HMENU menu, UINT id)
    {
        return (GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
    }

    // A changed scene that can no longer be saved where it came from.
    void OpenChangedSceneWhoseFolderIsGone(std::string& path)
    {
        const std::string folder = TestFolder() + "gone\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "desk.scene";
        std::ofstream(path, std::ios::binary) << kDeskScene;
        ASSERT_TRUE(App().OpenScene(path));
        DeleteFileA(path.c_str());
        ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
        TheScene().Root()->Child(0)->SetHidden(true);
    }

    // Types path into the file dialog and presses OK; a name the dialog does not take
    // cancels it, so that the test fails instead of waiting.
    static DialogAnswerer::Answer TypeFileName(const char* caption, const std::string& path)
    {
        DialogAnswerer::Answer answer;
        answer.whileOpen = [caption, path] {
            HWND dialog = OpeningDialog(caption);
            SetDlgItemTextA(dialog, kFileNameField, path.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        };
        return answer;
    }

    HWND window = nullptr;
    std::string deskPath;
    std::vector<SceneNode*> node;  // by row
    DialogAnswerer answerer;
};

}  // namespace scenehost
