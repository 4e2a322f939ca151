// The application's main window as the user meets it: the node list, the Edit and File
// commands, the title, the questions on close, and the plug-ins in the Tools menu and the
// utility panel.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app_window.h"
#include "busyindicator.h"
#include "coreinterface.h"
#include "dialog_answerer.h"
#include "hold.h"
#include "mainwindow.h"
#include "resource.h"
#include "scenetext.h"
#include "test_host.h"

namespace {

const int kNodeList = 200;
const int kStatusBar = 201;
const int kFilterBar = 202;
const int kUtilityCombo = 300;
const int kCreateFloater = 1001;
const int kFileNameField = 0x47C;  // of the standard Open and Save As dialogs
const char kAppName[] = "Scene Host";
const char kBusyText[] = "A command is waiting for an answer. Answer its question first.";

// Rows: 0 Base, 1 Arm, 2 Hand, 3 Leg (hidden), 4 Lamp, 5 Helpers (hidden), 6 Spawn.
const char kDeskScene[] =
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
std::string TestFolder()
{
    const std::string folder =
        testing::TempDir() + "scenehost-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string WriteFile(const std::string& name, const std::string& text)
{
    const std::string path = TestFolder() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A dialog of this thread by its caption, also while it is still being set up and hidden.
HWND OpeningDialog(const char* caption)
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

void CloseFloaters()
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

    HWND List() const { return GetDlgItem(window, kNodeList); }
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
        theHold.Put(new TextRestore(node[row], text));
        node[row]->SetUserPropText(CStr(text));
        theHold.Accept(stepName);
    }
    std::string Status() const { return CoreInterface::Instance().StatusText(); }
    std::string Counts() const
    {
        char text[128] = "";
        SendMessageA(GetDlgItem(window, kStatusBar), SB_GETTEXTA, 1,
                     reinterpret_cast<LPARAM>(text));
        return text;
    }

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

// Puts the current directory back however the test ends.
class CurrentDirectoryKept {
public:
    CurrentDirectoryKept() { GetCurrentDirectoryA(sizeof saved_, saved_); }
    ~CurrentDirectoryKept() { SetCurrentDirectoryA(saved_); }
    CurrentDirectoryKept(const CurrentDirectoryKept&) = delete;
    CurrentDirectoryKept& operator=(const CurrentDirectoryKept&) = delete;

private:
    char saved_[MAX_PATH] = "";
};

std::string CurrentDirectory()
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

using OpenScene = SceneHostTest;
using NodeList = SceneHostTest;
using EditUndo = SceneHostTest;
using EditCommands = SceneHostTest;
using SaveAndClose = SceneHostTest;

TEST_F(OpenScene, FillsTheListInHierarchyOrderWithIndentedNamesFlagsAndOneLineProperties)
{
    const std::vector<std::string> names = {"Base",  "  Arm",   "    Hand", "  Leg",
                                            "Lamp",  "Helpers", "  Spawn"};
    const std::vector<std::string> hidden = {"", "", "", "hidden", "", "hidden", ""};
    const std::vector<std::string> props = {"LOD=1  |  lodBias=2", "LOD=1", "", "export=static",
                                            "light=spot  |  intensity=1.5", "", "spawn=player"};
    EXPECT_EQ(ColumnTexts(kNameColumn), names);
    EXPECT_EQ(ColumnTexts(kHiddenColumn), hidden);
    EXPECT_EQ(ColumnTexts(kPropsColumn), props);
    for (int row = 0; row < RowCount(); ++row)
        EXPECT_EQ(RowNode(row), node[row]) << "row " << row << " carries its node";
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
    EXPECT_EQ(Status(), "Opened desk.scene");
    EXPECT_EQ(Counts(), "7 nodes, 0 selected");
    EXPECT_FALSE(TheScene().Modified());
}

TEST_F(OpenScene, AnotherSceneReplacesRowsAndTitle)
{
    const std::string other = WriteFile("other.scene", "scene 1\nnode 1 \"Solo\" hidden\n");
    ASSERT_TRUE(App().OpenScene(other));
    EXPECT_EQ(ColumnTexts(kNameColumn), std::vector<std::string>{"Solo"});
    EXPECT_EQ(ColumnTexts(kHiddenColumn), std::vector<std::string>{"hidden"});
    EXPECT_EQ(RowNode(0), TheScene().Root()->Child(0));
    EXPECT_EQ(WindowText(window), "Scene Host - other.scene");
    EXPECT_EQ(theHold.UndoCount(), 0) << "the old scene's steps go with it";
}

TEST_F(OpenScene, BadFileShowsOneErrorAndKeepsTheOpenScene)
{
    App().Utilities().Choose(0);
    Select({kLamp});
    node[kArm]->SetUserPropText(CStr("LOD=3"));
    const std::string bad =
        WriteFile("bad.scene", "scene 1\nnode 1 \"Base\"\nnode 3 \"TooDeep\"\n");
    const std::string missing = TestFolder() + "missing.scene";
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {bad, bad + ":3: depth 3 skips a level (the node before has depth 1)"},
        {missing, missing + ": cannot be opened"},
    };
    for (const Case& c : cases) {
        answerer.Press(IDOK);
        const size_t before = answerer.Seen().size();
        EXPECT_FALSE(App().OpenScene(c.path)) << c.path;
        ASSERT_EQ(answerer.Seen().size(), before + 1) << c.path;
        const SeenDialog& box = answerer.Seen().back();
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.caption, kAppName);
        EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONERROR)) << c.path;
        EXPECT_EQ(box.owner, window) << c.path;

        EXPECT_EQ(TheScene().NodeCount(), kRowCount) << c.path;
        EXPECT_EQ(RowCount(), kRowCount) << c.path;
        EXPECT_EQ(RowNode(kSpawn), node[kSpawn]) << c.path;
        EXPECT_EQ(Cell(kArm, kPropsColumn), "LOD=3") << c.path;
        EXPECT_EQ(SelectionRows(), std::vector<int>{kLamp}) << c.path;
        EXPECT_EQ(SelectedRows(), std::vector<int>{kLamp}) << c.path;
        EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *") << c.path;
    }
    // Save still goes to the scene's own file, not to the one that failed.
    Command(IDM_FILE_SAVE);
    EXPECT_EQ(App().Utilities().Chosen(), 0) << "a file that was not read leaves the panel open";
    App().Utilities().Choose(-1);
    EXPECT_NE(ReadFile(deskPath).find("props \"LOD=3\""), std::string::npos);
}

TEST_F(OpenScene, FileOpenLoadsTheFileNamedInTheDialog)
{
    const std::string other = WriteFile("other.scene", "scene 1\nnode 1 \"Solo\"\n");
    answerer.Queue(TypeFileName("Open", other));
    Command(IDM_FILE_OPEN);
    ASSERT_EQ(answerer.Seen().size(), 1u) << "an unchanged scene is left without asking";
    EXPECT_EQ(answerer.Seen()[0].caption, "Open");
    EXPECT_EQ(ColumnTexts(kNameColumn), std::vector<std::string>{"Solo"});
    EXPECT_EQ(WindowText(window), "Scene Host - other.scene");

    // Changes given up, then the dialog cancelled: nothing is opened, nothing lost.
    TheScene().Root()->Child(0)->SetName("Duo");
    answerer.Press(IDNO).Press(IDCANCEL);
    Command(IDM_FILE_OPEN);
    ASSERT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(answerer.Seen()[1].text, "Save changes to other.scene?");
    EXPECT_EQ(answerer.Seen()[2].caption, "Open");
    EXPECT_EQ(ColumnTexts(kNameColumn), std::vector<std::string>{"Duo"});
    EXPECT_EQ(WindowText(window), "Scene Host - other.scene *");
}

TEST_F(OpenScene, FileOpenAsksToSaveChangesFirstAndCancelKeepsTheScene)
{
    node[kLamp]->SetHidden(true);
    answerer.Press(IDCANCEL);
    Command(IDM_FILE_OPEN);
    ASSERT_EQ(answerer.Seen().size(), 1u) << "only the question, no file dialog";
    EXPECT_EQ(answerer.Seen()[0].text, "Save changes to desk.scene?");
    EXPECT_EQ(TheScene().NodeCount(), kRowCount);
    EXPECT_TRUE(node[kLamp]->IsHidden());
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
}

TEST_F(NodeList, PickedRowsSelectInPickingOrder)
{
    Pick(kHelpers);
    Pick(kHand);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kHelpers, kHand}));
    Pick(kBase);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kHelpers, kHand, kBase}));
    Pick(kHand, false);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kHelpers, kBase}))
        << "the others keep their order";
    EXPECT_EQ(Counts(), "7 nodes, 2 selected");
}

TEST_F(NodeList, OneBurstOfRowChangesBecomesOneSelection)
{
    Pick(kLamp);
    Pick(kArm);
    // A plain click on another row: every row loses its selection, then one row gains it.
    SetRowSelected(-1, false);
    SetRowSelected(kSpawn, true);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kLamp, kArm}))
        << "taken over once the burst is over";
    PumpMessages();
    EXPECT_EQ(SelectionRows(), std::vector<int>{kSpawn});
    EXPECT_EQ(SelectedRows(), std::vector<int>{kSpawn});
}

TEST_F(NodeList, SelectionFromElsewhereShowsInRowsWithoutFeedingBack)
{
    Select({kSpawn, kArm});
    EXPECT_EQ(SelectedRows(), (std::vector<int>{kArm, kSpawn}));
    EXPECT_FALSE(SyncPending()) << "the rows were set by the window, not picked by the user";
    PumpMessages();
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kSpawn, kArm}));

    theHold.Begin();
    Select({kLeg});
    theHold.Accept("Pick Leg");
    EXPECT_EQ(SelectedRows(), std::vector<int>{kLeg});
    EXPECT_FALSE(SyncPending());

    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{kArm, kSpawn}));
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kSpawn, kArm}))
        << "undo brings back the order too";
    EXPECT_EQ(Counts(), "7 nodes, 2 selected");
    EXPECT_EQ(theHold.RedoCount(), 1) << "undoing recorded nothing new";
}

// The list holds no texts of its own: whatever a step, its undo and its redo changed, every
// row reads as the scene says once they are over.
TEST_F(NodeList, RowsFollowTheSceneThroughAStepItsUndoAndRedo)
{
    Select({kArm});
    theHold.Begin();
    Select({kBase, kLamp, kSpawn});
    for (int row : {kBase, kHand, kSpawn}) ChangeText(row, "x=1\r\n\r\ny=2", "Inner");
    node[kHand]->SetName("Finger");
    theHold.Accept("Many");
    Command(IDM_EDIT_TOGGLE_HIDDEN);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{kBase, kLamp, kSpawn}));
    ExpectRowsMatchTheScene("the steps");
    Command(IDM_EDIT_UNDO);
    ExpectRowsMatchTheScene("undoing Hide/Unhide");
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(SelectedRows(), std::vector<int>{kArm});
    ExpectRowsMatchTheScene("undoing the step");
    Command(IDM_EDIT_REDO);
    Command(IDM_EDIT_REDO);
    ExpectRowsMatchTheScene("redoing both");
    Command(IDM_EDIT_SELECT_ALL);
    ExpectRowsMatchTheScene("Select All");
    Pick(kLeg, false);
    ExpectRowsMatchTheScene("a pick");
}

TEST_F(NodeList, ClicksWithShiftAndCtrlSelectAsTheMouseSays)
{
    ClickRow(kArm);
    EXPECT_EQ(SelectionRows(), std::vector<int>{kArm});
    ClickRow(kLamp, MK_SHIFT);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kArm, kHand, kLeg, kLamp})) << "the range";
    ClickRow(kHand, MK_CONTROL);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kArm, kLeg, kLamp}));
    ClickRow(kSpawn);
    EXPECT_EQ(SelectionRows(), std::vector<int>{kSpawn});
    EXPECT_EQ(SelectedRows(), std::vector<int>{kSpawn});
}

TEST_F(NodeList, TypingALetterGoesToTheNextRowWhoseNameBeginsWithIt)
{
    SendMessageA(List(), WM_CHAR, 'l', 1);
    PumpMessages();
    EXPECT_EQ(SelectionRows(), std::vector<int>{kLamp}) << "indented names begin with spaces";
}

TEST_F(NodeList, IndentationStopsGrowingAtDepth64)
{
    std::string text = "scene 1\n";
    for (int depth = 1; depth <= 200; ++depth)
        text += "node " + std::to_string(depth) + " \"N" + std::to_string(depth) + "\"\n";
    ASSERT_TRUE(App().OpenScene(WriteFile("deep.scene", text)));
    ASSERT_EQ(RowCount(), 200);
    EXPECT_EQ(Cell(62, kNameColumn), std::string(2 * 62, ' ') + "N63");
    EXPECT_EQ(Cell(63, kNameColumn), std::string(2 * 63, ' ') + "N64");
    for (int row : {64, 199})
        EXPECT_EQ(Cell(row, kNameColumn), std::string(2 * 63, ' ') + "N" + std::to_string(row + 1))
            << "deeper rows keep the indentation of depth 64";
}

TEST_F(NodeList, NodeChangesShowInTheirRow)
{
    node[kHand]->SetUserPropText(CStr("grip=left\r\nLOD=2\r\n"));
    EXPECT_EQ(Cell(kHand, kPropsColumn), "grip=left  |  LOD=2");
    node[kHand]->SetName("Finger");
    EXPECT_EQ(Cell(kHand, kNameColumn), "    Finger");
    node[kLamp]->SetHidden(true);
    EXPECT_EQ(Cell(kLamp, kHiddenColumn), "hidden");
    EXPECT_EQ(Cell(kArm, kPropsColumn), "LOD=1") << "other rows stay";
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
}

// A question leaves the main window usable; what the user picks meanwhile is no part of
// the waiting command, whether it is cancelled or kept.
TEST_F(NodeList, PicksWhileACommandWaitsStayOutOfItsStep)
{
    Pick(kLamp);
    theHold.Begin();
    Pick(kArm);
    EXPECT_EQ(Counts(), "7 nodes, 2 selected") << "the pick shows at once";
    theHold.Cancel();
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kLamp, kArm}));
    EXPECT_EQ(SelectedRows(), (std::vector<int>{kArm, kLamp}));

    theHold.Begin();
    Command(IDM_EDIT_SELECT_NONE);
    ChangeText(kBase, "changed", "Change");
    theHold.Accept("Command");
    EXPECT_TRUE(SelectionRows().empty());
    ASSERT_EQ(theHold.RecordCount(0), 1) << "the text alone";
    Command(IDM_EDIT_UNDO);
    EXPECT_TRUE(SelectionRows().empty()) << "undoing the command leaves the pick alone";
}

TEST_F(EditUndo, UndoAndRedoTakeBackAndRedoAStep)
{
    ChangeText(kLamp, "light=off", "Switch Lamp");
    EXPECT_EQ(Cell(kLamp, kPropsColumn), "light=off");

    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(Cell(kLamp, kPropsColumn), "light=spot  |  intensity=1.5");
    EXPECT_EQ(Status(), "Undone: Switch Lamp");
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene") << "back as it was opened";

    Command(IDM_EDIT_REDO);
    EXPECT_EQ(Cell(kLamp, kPropsColumn), "light=off");
    EXPECT_EQ(Status(), "Redone: Switch Lamp");

    Command(IDM_EDIT_REDO);
    EXPECT_EQ(Status(), "Redone: Switch Lamp") << "nothing left to redo, nothing said";
    EXPECT_EQ(theHold.UndoCount(), 1);
}

TEST_F(EditUndo, RefusedWithAMessageWhileACommandIsOpen)
{
    ChangeText(kLamp, "light=off", "Switch Lamp");
    Command(IDM_EDIT_UNDO);
    theHold.Begin();
    for (int id : {IDM_EDIT_UNDO, IDM_EDIT_REDO}) {
        answerer.Press(IDOK);
        Command(id);
    }
    theHold.Cancel();
    ASSERT_EQ(answerer.Seen().size(), 2u);
    for (const SeenDialog& box : answerer.Seen()) {
        EXPECT_EQ(box.text, kBusyText);
        EXPECT_EQ(box.caption, kAppName);
        EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONINFORMATION));
    }
    EXPECT_EQ(Cell(kLamp, kPropsColumn), "light=spot  |  intensity=1.5");
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(theHold.RedoCount(), 1);
    EXPECT_EQ(Status(), "Undone: Switch Lamp");
}

TEST_F(EditUndo, MenuNamesTheStepsAndGraysWhatCannotRun)
{
    HMENU edit = DropEditMenu();
    EXPECT_FALSE(ItemEnabled(edit, IDM_EDIT_UNDO)) << "nothing to undo after opening";
    EXPECT_FALSE(ItemEnabled(edit, IDM_EDIT_REDO));

    ChangeText(kLamp, "light=off", "Switch Lamp");
    ChangeText(kArm, "LOD=4", "Edit Arm");
    Command(IDM_EDIT_UNDO);
    edit = DropEditMenu();
    EXPECT_EQ(ItemText(edit, IDM_EDIT_UNDO), "&Undo Switch Lamp\tCtrl+Z");
    EXPECT_EQ(ItemText(edit, IDM_EDIT_REDO), "&Redo Edit Arm\tCtrl+Y");
    EXPECT_TRUE(ItemEnabled(edit, IDM_EDIT_UNDO));
    EXPECT_TRUE(ItemEnabled(edit, IDM_EDIT_REDO));
    EXPECT_EQ(GetMenuItemID(edit, 0), static_cast<UINT>(IDM_EDIT_UNDO))
        << "the item keeps its place";

    theHold.Begin();
    edit = DropEditMenu();
    EXPECT_FALSE(ItemEnabled(edit, IDM_EDIT_UNDO)) << "grayed while a command is open";
    EXPECT_FALSE(ItemEnabled(edit, IDM_EDIT_REDO));
    theHold.Cancel();

    // Other menus drop down untouched.
    HMENU file = MainMenu(0);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, FALSE));
    EXPECT_EQ(ItemText(file, IDM_FILE_SAVE), "&Save\tCtrl+S");
}

TEST_F(EditCommands, SelectAllAndSelectNone)
{
    Pick(kLamp);
    Command(IDM_EDIT_SELECT_ALL);
    EXPECT_EQ(SelectionRows(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6})) << "hidden nodes too";
    EXPECT_EQ(SelectedRows(), SelectionRows());
    EXPECT_EQ(Counts(), "7 nodes, 7 selected");
    Command(IDM_EDIT_SELECT_NONE);
    EXPECT_TRUE(SelectionRows().empty());
    EXPECT_TRUE(SelectedRows().empty());
    EXPECT_EQ(Counts(), "7 nodes, 0 selected");
    EXPECT_FALSE(TheScene().Modified()) << "selecting is no change to save";
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
}

TEST_F(EditCommands, HideUnhideTogglesEachSelectedNode)
{
    Select({kLamp, kLeg});
    Command(IDM_EDIT_TOGGLE_HIDDEN);
    EXPECT_TRUE(node[kLamp]->IsHidden());
    EXPECT_FALSE(node[kLeg]->IsHidden());
    EXPECT_TRUE(node[kHelpers]->IsHidden()) << "unselected nodes stay";
    EXPECT_EQ(Cell(kLamp, kHiddenColumn), "hidden");
    EXPECT_EQ(Cell(kLeg, kHiddenColumn), "");
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    EXPECT_EQ(SelectionRows(), (std::vector<int>{kLamp, kLeg}));

    Command(IDM_EDIT_TOGGLE_HIDDEN);
    EXPECT_EQ(ColumnTexts(kHiddenColumn),
              (std::vector<std::string>{"", "", "", "hidden", "", "hidden", ""}));

    // Each toggle is an undo step of its own.
    EXPECT_STREQ(theHold.UndoName(), "Hide/Unhide");
    Command(IDM_EDIT_UNDO);
    EXPECT_TRUE(node[kLamp]->IsHidden()) << "undoing the second toggle hides Lamp again";
    EXPECT_FALSE(node[kLeg]->IsHidden()) << "expected Leg shown after undoing its unhide";
    Command(IDM_EDIT_UNDO);
    EXPECT_FALSE(node[kLamp]->IsHidden());
    EXPECT_EQ(Cell(kLamp, kHiddenColumn), "");
    EXPECT_TRUE(node[kLeg]->IsHidden()) << "Leg was hidden before the first toggle";
}

TEST_F(SaveAndClose, SaveWritesTheFileAndClearsTheMark)
{
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
    node[kLamp]->SetHidden(true);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_FILE_SAVE);
    EXPECT_TRUE(answerer.Seen().empty()) << "the scene has its file: no dialog";
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
    EXPECT_EQ(Status(), "Saved desk.scene");
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\" hidden\n"), std::string::npos)
        << ReadFile(deskPath);

    ChangeText(kArm, "LOD=4", "Edit Arm");
    Command(IDM_FILE_SAVE);
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *")
        << "an undo after saving is a change";
}

TEST_F(SaveAndClose, UndoingBackToTheSavedStateClearsTheMark)
{
    ChangeText(kArm, "LOD=4", "Edit Arm");
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene") << "back as it was opened";
    EXPECT_FALSE(TheScene().Modified());
    Command(IDM_EDIT_REDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");

    Command(IDM_FILE_SAVE);
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_EDIT_REDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene") << "back as it was saved";
    EXPECT_FALSE(TheScene().Modified());
}

TEST_F(SaveAndClose, SaveAsWritesTheNamedFileWithItsExtensionAndKeepsIt)
{
    node[kLamp]->SetHidden(true);
    const std::string copy = TestFolder() + "copy";
    answerer.Queue(TypeFileName("Save As", copy));
    Command(IDM_FILE_SAVE_AS);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(WindowText(window), "Scene Host - copy.scene");
    EXPECT_EQ(ReadFile(copy + ".scene"), FormatSceneText(TheScene()));
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\"\n"), std::string::npos)
        << "the file opened before is left as it was";

    node[kLamp]->SetHidden(false);
    Command(IDM_FILE_SAVE);
    EXPECT_EQ(answerer.Seen().size(), 1u) << "Save goes to the new name without asking";
    EXPECT_EQ(ReadFile(copy + ".scene"), FormatSceneText(TheScene()));
}

TEST_F(SaveAndClose, FailedSaveSaysWhyAndKeepsTheMark)
{
    std::string path;
    ASSERT_NO_FATAL_FAILURE(OpenChangedSceneWhoseFolderIsGone(path));

    answerer.Press(IDOK);
    Command(IDM_FILE_SAVE);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, path + ": cannot be written");
    EXPECT_EQ(answerer.Seen()[0].icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    EXPECT_TRUE(TheScene().Modified());
    EXPECT_NE(Status(), "Saved desk.scene");
}

TEST_F(SaveAndClose, SaveGoesToTheOpenedFileWhereverTheCurrentDirectoryMoved)
{
    CurrentDirectoryKept kept;
    const std::string moved = TestFolder() + "moved";
    ASSERT_TRUE(CreateDirectoryA(moved.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(TestFolder().c_str()));
    ASSERT_TRUE(App().OpenScene("desk.scene"));
    const std::string folder = CurrentDirectory();

    // Browsing into another folder and cancelling leaves the current directory alone.
    answerer.Queue(TypeFileName("Open", moved));
    Command(IDM_FILE_OPEN);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(CurrentDirectory(), folder);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");

    ASSERT_TRUE(SetCurrentDirectoryA(moved.c_str()));
    SceneNode* lamp = TheScene().Root()->Child(1);  // the nodes of the scene opened again
    ASSERT_STREQ(lamp->NodeName(), "Lamp");
    lamp->SetHidden(true);
    Command(IDM_FILE_SAVE);
    EXPECT_EQ(answerer.Seen().size(), 1u) << "no error, no dialog";
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\" hidden\n"), std::string::npos)
        << "the file that was opened is the one written";
    EXPECT_EQ(GetFileAttributesA((moved + "\\desk.scene").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
}

TEST_F(SaveAndClose, EndingTheSessionAsksLikeClosing)
{
    auto queryEnd = [this] { return SendMessageA(window, WM_QUERYENDSESSION, 0, 0); };
    EXPECT_TRUE(queryEnd()) << "nothing to save: no question";
    EXPECT_TRUE(answerer.Seen().empty());

    node[kLamp]->SetHidden(true);
    answerer.Press(IDCANCEL);
    EXPECT_FALSE(queryEnd()) << "cancelled";
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Save changes to desk.scene?");
    EXPECT_TRUE(TheScene().Modified());

    answerer.Press(IDNO);
    EXPECT_TRUE(queryEnd()) << "changes given up";
    EXPECT_TRUE(TheScene().Modified());
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\"\n"), std::string::npos);

    theHold.Begin();
    answerer.Press(IDOK);
    EXPECT_FALSE(queryEnd()) << "a command waits for an answer";
    theHold.Cancel();
    ASSERT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(answerer.Seen()[2].text, kBusyText);

    answerer.Press(IDYES);
    EXPECT_TRUE(queryEnd()) << "saved";
    EXPECT_FALSE(TheScene().Modified());
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\" hidden\n"), std::string::npos);
    EXPECT_TRUE(IsWindow(window)) << "the session may still go on";
}

TEST_F(SaveAndClose, EndingTheSessionWhenTheSaveFailsIsRefused)
{
    std::string path;
    ASSERT_NO_FATAL_FAILURE(OpenChangedSceneWhoseFolderIsGone(path));
    answerer.Press(IDYES).Press(IDOK);
    EXPECT_FALSE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].text, path + ": cannot be written");
    EXPECT_TRUE(TheScene().Modified());
}

TEST_F(SaveAndClose, ExitWithChangesAsksAndCancelKeepsTheWindow)
{
    node[kLamp]->SetHidden(true);
    answerer.Press(IDCANCEL);
    Command(IDM_FILE_EXIT);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenDialog& box = answerer.Seen()[0];
    EXPECT_EQ(box.text, "Save changes to desk.scene?");
    EXPECT_EQ(box.caption, kAppName);
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONWARNING));
    for (int button : {IDYES, IDNO, IDCANCEL}) EXPECT_TRUE(box.HasControl(button)) << button;
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    EXPECT_TRUE(node[kLamp]->IsHidden());
}

TEST_F(SaveAndClose, CloseAnsweredYesButSaveFailsKeepsTheWindow)
{
    std::string path;
    ASSERT_NO_FATAL_FAILURE(OpenChangedSceneWhoseFolderIsGone(path));

    answerer.Press(IDYES).Press(IDOK);
    SendMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].text, "Save changes to desk.scene?");
    EXPECT_EQ(answerer.Seen()[1].text, path + ": cannot be written");
    ASSERT_TRUE(IsWindow(window)) << "the changes were not saved";
    EXPECT_TRUE(TheScene().Modified());
}

TEST_F(SaveAndClose, CloseWhileACommandIsOpenIsRefused)
{
    node[kLamp]->SetHidden(true);
    theHold.Begin();
    answerer.Press(IDOK);
    SendMessageA(window, WM_CLOSE, 0, 0);
    theHold.Cancel();
    ASSERT_EQ(answerer.Seen().size(), 1u) << "no question about saving";
    EXPECT_EQ(answerer.Seen()[0].text, kBusyText);
    EXPECT_EQ(answerer.Seen()[0].icon, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_TRUE(IsWindow(window));
}

class Plugins : public SceneHostTest {
protected:
    HWND Combo() const { return GetDlgItem(window, kUtilityCombo); }
    int ComboChoice() const
    {
        return static_cast<int>(SendMessageA(Combo(), CB_GETCURSEL, 0, 0));
    }
    // The user picks an entry of the chooser: index 0 is "(none)".
    void ChooseInCombo(int index)
    {
        SendMessageA(Combo(), CB_SETCURSEL, index, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(kUtilityCombo, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Combo()));
        PumpMessages();
    }
    std::vector<std::string> PageTitles() const
    {
        std::vector<std::string> titles;
        CoreInterface& core = CoreInterface::Instance();
        for (int i = 0; i < core.PanelPageCount(); ++i) titles.push_back(core.PanelPageTitle(i));
        return titles;
    }

    // The User Properties floater, opened from its page as the user does.
    HWND OpenEditorFloater()
    {
        ChooseInCombo(1);
        SendMessageA(GetDlgItem(CoreInterface::Instance().PanelPage(0), kCreateFloater),
                     BM_CLICK, 0, 0);
        PumpMessages();
        return FindTopWindow("User Properties");
    }

    struct Utility {
        const char* entry;
        std::vector<std::string> pages;
        const char* floater;
    };
    const std::vector<Utility> utilities = {
        {"UserProp Editor (Korvane)", {"UserProp Editor", "About"}, "User Properties"},
        {"Find/Replace Prop (Korvane)", {"Parameters", "About"}, "Find/Replace Properties"},
    };
};

TEST_F(Plugins, ToolsMenuHoldsTheFindReplaceEntryThatOpensItsFloater)
{
    HMENU tools = MainMenu(2);
    const int count = GetMenuItemCount(tools);
    ASSERT_EQ(count, 2) << "one entry of the host's, one of the plug-in";
    EXPECT_EQ(ItemText(tools, 0, MF_BYPOSITION), "&Utilities Panel\tF2");
    EXPECT_EQ(ItemText(tools, 1, MF_BYPOSITION), "&Find/Replace Properties...");

    Command(GetMenuItemID(tools, 1));
    HWND floater = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(floater, nullptr);
    EXPECT_EQ(GetWindow(floater, GW_OWNER), window);
    EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 0) << "the panel is not involved";
}

TEST_F(Plugins, ChooserListsBothUtilitiesAndShowsTheChosenOnesPages)
{
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(Combo(), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[128] = "";
        SendMessageA(Combo(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    EXPECT_EQ(entries,
              (std::vector<std::string>{"(none)", utilities[0].entry, utilities[1].entry}));
    EXPECT_EQ(ComboChoice(), 0);

    for (int i = 0; i < 2; ++i) {
        ChooseInCombo(i + 1);
        EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 2) << utilities[i].entry;
        EXPECT_EQ(PageTitles(), utilities[i].pages) << "only the chosen utility's pages";
        EXPECT_EQ(App().Utilities().Chosen(), i);
    }
    ChooseInCombo(0);
    EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 0);
    EXPECT_EQ(App().Utilities().Chosen(), -1);
}

TEST_F(Plugins, UtilitiesPanelCommandOpensTheFirstAndClosesAgain)
{
    Command(IDM_TOOLS_UTILITIES);
    EXPECT_EQ(PageTitles(), utilities[0].pages);
    EXPECT_EQ(ComboChoice(), 1) << "the chooser follows";
    Command(IDM_TOOLS_UTILITIES);
    EXPECT_TRUE(PageTitles().empty());
    EXPECT_EQ(ComboChoice(), 0);
}

TEST_F(Plugins, CreateFloaterClosesThePanelOnceItsButtonHasReturned)
{
    for (int i = 0; i < 2; ++i) {
        const Utility& utility = utilities[i];
        ChooseInCombo(i + 1);
        HWND page = CoreInterface::Instance().PanelPage(0);
        SendMessageA(GetDlgItem(page, kCreateFloater), BM_CLICK, 0, 0);
        EXPECT_NE(FindTopWindow(utility.floater), nullptr) << utility.entry;
        EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 2)
            << utility.entry << ": the page whose button runs must outlive the click";
        EXPECT_TRUE(IsWindow(page));

        PumpMessages();
        EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 0) << utility.entry;
        EXPECT_FALSE(IsWindow(page));
        EXPECT_EQ(ComboChoice(), 0) << utility.entry;
        EXPECT_EQ(App().Utilities().Chosen(), -1);
        EXPECT_NE(FindTopWindow(utility.floater), nullptr) << "the floater stays open";
        CloseFloaters();
    }
}

// The keyboard as the user has it: keys go through the application's own handling before
// they reach a window.
class Keyboard : public SceneHostTest {
protected:
    void SetUp() override
    {
        SceneHostTest::SetUp();
        App().Utilities().Choose(0);
        PumpKeys();
        SetForegroundWindow(window);
        SetFocus(List());
    }

    static void SetKeyDown(int key, bool down)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[key] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    static void PumpKeys()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (App().TranslateKeyboard(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // A key pressed on the window with the focus, with Shift or Ctrl held if modifier is set.
    static void Press(int key, int modifier = 0)
    {
        if (modifier) SetKeyDown(modifier, true);
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
        PumpKeys();
        if (modifier) SetKeyDown(modifier, false);
    }
    // Whether the application keeps the key from the window it was meant for.
    static bool KeyTakenFrom(HWND target, int key)
    {
        MSG msg = {target, WM_KEYDOWN, static_cast<WPARAM>(key), 1, 0, {0, 0}};
        return App().TranslateKeyboard(&msg);
    }

    HWND Combo() const { return GetDlgItem(window, kUtilityCombo); }
    HWND CreateFloaterButton() const
    {
        return GetDlgItem(CoreInterface::Instance().PanelPage(0), kCreateFloater);
    }
};

TEST_F(Keyboard, TabAndShiftTabGoRoundTheListChooserPanelButtonsAndFilter)
{
    ASSERT_EQ(GetFocus(), List());
    ASSERT_NE(CreateFloaterButton(), nullptr);
    HWND filterBar = GetDlgItem(window, kFilterBar);
    HWND filterField = GetDlgItem(filterBar, 1);
    HWND filterMode = GetDlgItem(filterBar, 2);
    const std::vector<HWND> order = {Combo(), CreateFloaterButton(), filterField, filterMode, List()};
    for (size_t i = 0; i < order.size(); ++i) {
        Press(VK_TAB);
        EXPECT_EQ(GetFocus(), order[i]) << "Tab number " << i + 1;
    }
    const std::vector<HWND> backwards = {filterMode, filterField, CreateFloaterButton(), Combo(), List()};
    for (size_t i = 0; i < backwards.size(); ++i) {
        Press(VK_TAB, VK_SHIFT);
        EXPECT_EQ(GetFocus(), backwards[i]) << "Shift+Tab number " << i + 1;
    }
    EXPECT_EQ(FindTopWindow("User Properties"), nullptr) << "moving the focus pressed nothing";
}

TEST_F(Keyboard, ListKeysAndShortcutsStillReachTheirTargets)
{
    for (int key : {VK_RETURN, VK_ESCAPE, VK_DOWN, VK_UP, VK_SPACE})
        EXPECT_FALSE(KeyTakenFrom(List(), key)) << "key " << key << " goes to the list";

    Press(VK_DOWN);
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageA(List(), LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 1)
        << "the arrows move through the rows";

    ChangeText(kLamp, "light=off", "Switch Lamp");
    Press('Z', VK_CONTROL);
    EXPECT_EQ(Status(), "Undone: Switch Lamp") << "Ctrl+Z with the list focused";
    SetFocus(CreateFloaterButton());
    Press('Y', VK_CONTROL);
    EXPECT_EQ(Status(), "Redone: Switch Lamp") << "Ctrl+Y with a panel button focused";
}

TEST_F(Keyboard, TheFocusedControlGetsTheFocusBackOnActivation)
{
    HWND other = CreateWindowExA(0, "STATIC", "Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    for (HWND control : {Combo(), CreateFloaterButton()}) {
        SetFocus(control);
        SetForegroundWindow(other);
        PumpKeys();
        EXPECT_NE(GetFocus(), control);
        SetForegroundWindow(window);
        PumpKeys();
        EXPECT_EQ(GetFocus(), control) << "back to the control that had the focus";
    }

    // A control that is gone since leaves the focus to the list.
    SetForegroundWindow(other);
    PumpKeys();
    App().Utilities().Choose(-1);
    SetForegroundWindow(window);
    PumpKeys();
    EXPECT_EQ(GetFocus(), List());
    DestroyWindow(other);
}

TEST_F(Keyboard, ClosingThePanelFromItsButtonLeavesTheFocusInTheList)
{
    SetFocus(CreateFloaterButton());
    ASSERT_EQ(GetFocus(), CreateFloaterButton());
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_TOOLS_UTILITIES, 0), 0);
    PumpKeys();
    ASSERT_EQ(CoreInterface::Instance().PanelPageCount(), 0);
    EXPECT_EQ(GetFocus(), List()) << "the keys still have somewhere to go";
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageA(List(), LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 0)
        << "the arrows move through the rows";
}

DWORD fakeNow = 0;

TEST(BusyIndicator, ShowsAWaitCursorAndTheProgressOnceWorkTakesHalfASecond)
{
    const UINT kIdle = WM_APP + 9;
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                  owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    auto statusText = [status] {
        char text[128] = "";
        SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return std::string(text);
    };
    const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    BusyIndicator busy;
    busy.Attach(owner, status, kIdle, [] { return fakeNow; });
    fakeNow = 1000;
    busy.Start("Saving big.scene");
    fakeNow = 1400;
    busy.Progress(10, 100);
    EXPECT_FALSE(busy.Showing()) << "short work shows nothing";
    fakeNow = 1600;
    busy.Progress(25, 100);
    EXPECT_EQ(statusText(), "Saving big.scene... 25%");
    EXPECT_EQ(GetCursor(), wait);
    fakeNow = 1650;
    busy.Progress(30, 100);
    EXPECT_EQ(statusText(), "Saving big.scene... 25%") << "at most ten changes a second";
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, owner, kIdle, kIdle, PM_REMOVE)) << "the end is posted at the start";
    busy.Idle("Saved big.scene");
    EXPECT_FALSE(busy.Showing());
    EXPECT_EQ(statusText(), "Saved big.scene");
    EXPECT_NE(GetCursor(), wait);

    fakeNow = 5000;
    busy.Progress(0, 0);
    fakeNow = 5600;
    busy.Progress(7, 0);
    EXPECT_EQ(statusText(), "Working...") << "work without a name or a known amount";
    busy.Idle("");
    DestroyWindow(owner);
}

}  // namespace

// Whether window lies above other in the order of top-level windows.
bool Above(HWND window, HWND other)
{
    for (HWND next = GetWindow(window, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT))
        if (next == other) return true;
    return false;
}

TEST_F(Plugins, OpeningAnOpenFloaterBringsItToTheFront)
{
    HWND editor = OpenEditorFloater();
    HMENU tools = MainMenu(2);
    Command(GetMenuItemID(tools, 1));
    HWND findReplace = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(findReplace, nullptr);

    ShowWindow(findReplace, SW_MINIMIZE);
    SetForegroundWindow(editor);
    PumpMessages();
    Command(GetMenuItemID(tools, 1));
    EXPECT_EQ(FindTopWindow("Find/Replace Properties"), findReplace) << "no second window";
    EXPECT_FALSE(IsIconic(findReplace)) << "restored";
    EXPECT_TRUE(Above(findReplace, editor));

    ShowWindow(editor, SW_MINIMIZE);
    PumpMessages();
    EXPECT_EQ(OpenEditorFloater(), editor);
    EXPECT_FALSE(IsIconic(editor));
    EXPECT_TRUE(Above(editor, findReplace));
}

// With both floaters open, the editor shows what a Find/Replace run wrote, so that its next
// Apply cannot put the old text back.
TEST_F(Plugins, EditorShowsWhatAFindReplaceRunWrote)
{
    const int kEditorText = 1002;
    const int kFindText = 1006;
    const int kRemoveProperty = 1003;
    HWND editor = OpenEditorFloater();
    Command(GetMenuItemID(MainMenu(2), 1));
    HWND findReplace = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(findReplace, nullptr);

    Select({kBase});
    EXPECT_EQ(WindowText(GetDlgItem(editor, kEditorText)), "LOD=1\r\nlodBias=2");
    SetDlgItemTextA(findReplace, kFindText, "lodbias");
    SendMessageA(findReplace, WM_COMMAND, MAKEWPARAM(kRemoveProperty, BN_CLICKED), 0);
    PumpMessages();
    ASSERT_EQ(Status(), "Removed property from 1 of 1 selected objects.");
    EXPECT_EQ(WindowText(GetDlgItem(editor, kEditorText)), "LOD=1");
}

// Hiding and showing nodes rewrites no text: an edit not yet applied in the editor stays.
TEST_F(Plugins, HideUnhideAndItsUndoKeepTheEditorsUnappliedText)
{
    const int kEditorText = 1002;
    HWND editor = OpenEditorFloater();
    ASSERT_NE(editor, nullptr);
    Select({kBase});
    HWND text = GetDlgItem(editor, kEditorText);
    SendMessageA(text, EM_SETSEL, 0, 0);
    SendMessageA(text, WM_CHAR, 'x', 1);
    ASSERT_EQ(WindowText(text), "xLOD=1\r\nlodBias=2");

    Command(IDM_EDIT_TOGGLE_HIDDEN);
    ASSERT_TRUE(node[kBase]->IsHidden());
    EXPECT_EQ(WindowText(text), "xLOD=1\r\nlodBias=2");
    Command(IDM_EDIT_UNDO);
    ASSERT_FALSE(node[kBase]->IsHidden());
    EXPECT_EQ(WindowText(text), "xLOD=1\r\nlodBias=2");
}
