// The filter bar above the node list, in the application's main window: what the rows show
// as the user types, Select Matches, the keys of the field, and the filter following the
// scene through open, undo and a Find/Replace run.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <string>
#include <vector>

#include "app_window.h"
#include "coreinterface.h"
#include "dialog_answerer.h"
#include "hold.h"
#include "mainwindow.h"
#include "resource.h"
#include "rowcolours.h"
#include "test_host.h"

namespace {

const int kPropsColumn = 2;

// Base and Arm match "lod" at the start of a line; Spawn sits below the hidden Helpers.
const char kDeskScene[] =
    "scene 1\n"
    "node 1 \"Base\"\n"
    "props \"LOD=1\\r\\nlodBias=2\"\n"
    "node 2 \"Arm\"\n"
    "props \"LOD=1\"\n"
    "node 3 \"Hand\"\n"
    "node 1 \"Lamp\"\n"
    "props \"light=spot\\r\\nintensity=1.5\"\n"
    "node 1 \"Helpers\" hidden\n"
    "node 2 \"Spawn\"\n"
    "props \"spawn=player\"\n";

std::string WriteScene(const std::string& text)
{
    const std::string path =
        testing::TempDir() + "filter-" + std::to_string(GetCurrentProcessId()) + ".scene";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

Scene& TheScene() { return CoreInterface::Instance().GetScene(); }

class Filter : public testing::Test {
protected:
    void SetUp() override
    {
        window = App().Window();
        ASSERT_NE(window, nullptr);
        while (theHold.Holding()) theHold.Cancel();
        path = WriteScene(kDeskScene);
        ASSERT_TRUE(App().OpenScene(path));
        Type("", MatchMode::StartsWith);
    }
    void TearDown() override
    {
        while (HWND floater = FindTopWindow("Find/Replace Properties"))
            SendMessageA(floater, WM_COMMAND, IDCANCEL, 0);
        Type("", MatchMode::StartsWith);
        DeleteFileA(path.c_str());
        EXPECT_EQ(answerer.Unanswered(), 0) << "a message box came unasked";
    }

    HWND Bar() const { return GetDlgItem(window, kFilterBarId); }
    HWND Field() const { return GetDlgItem(Bar(), kFilterFieldId); }
    HWND List() const { return GetDlgItem(window, kNodeListId); }
    std::string Count() const { return WindowText(GetDlgItem(Bar(), kFilterCountId)); }

    // Until the search under way has shown its rows.
    static void WaitForSearch()
    {
        for (int i = 0; i < 200; ++i) {
            PumpMessages();
            if (!App().Filter().Searching()) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        PumpMessages();
    }
    void Type(const char* pattern, MatchMode mode, bool wait = true)
    {
        HWND combo = GetDlgItem(Bar(), kFilterModeId);
        SendMessageA(combo, CB_SETCURSEL, static_cast<int>(mode), 0);
        SendMessageA(Bar(), WM_COMMAND, MAKEWPARAM(kFilterModeId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        SetWindowTextA(Field(), pattern);
        if (wait) WaitForSearch();
    }

    // The rows shown: each name (without indentation) and its properties cell.
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> rows;
        const int count = static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            std::string name = Cell(row, 0);
            name.erase(0, name.find_first_not_of(' '));
            rows.push_back(name + ": " + Cell(row, kPropsColumn));
        }
        return rows;
    }
    std::string Cell(int row, int column) const { return ListCellText(List(), row, column); }
    // What the list is told to draw a row with, in a paint of its own as the list starts one.
    NMLVCUSTOMDRAW DrawRow(int row, LRESULT* answer = nullptr) const
    {
        NMLVCUSTOMDRAW draw = {};
        draw.nmcd.hdr = {List(), kNodeListId, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.nmcd.dwDrawStage = CDDS_PREPAINT;
        SendMessageA(window, WM_NOTIFY, kNodeListId, reinterpret_cast<LPARAM>(&draw));
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = row;
        draw.clrText = CLR_DEFAULT;
        draw.clrTextBk = CLR_DEFAULT;
        const LRESULT result =
            SendMessageA(window, WM_NOTIFY, kNodeListId, reinterpret_cast<LPARAM>(&draw));
        if (answer) *answer = result;
        return draw;
    }
    std::vector<std::string> SelectedNames() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < TheScene().SelectedCount(); ++i)
            names.push_back(TheScene().SelectedNode(i)->NodeName());
        return names;
    }
    SceneNode* NodeNamed(const char* name) const
    {
        NodeTab nodes;
        TheScene().CollectNodes(nodes);
        for (int i = 0; i < nodes.Count(); ++i)
            if (std::string(nodes[i]->NodeName()) == name) return nodes[i];
        return nullptr;
    }
    void ChangeText(const char* name, const char* text)
    {
        SceneNode* node = NodeNamed(name);
        theHold.Begin();
        PutText(node, text);
        theHold.Accept("Change");
    }

    HWND window = nullptr;
    std::string path;
    DialogAnswerer answerer;
};

TEST_F(Filter, EachModeShowsItsMatchesWithAncestorsMarkedLinesAndTheCount)
{
    struct Case {
        MatchMode mode;
        const char* pattern;
        std::vector<std::string> rows;
        const char* count;
    } cases[] = {
        {MatchMode::StartsWith,
         "lod",
         {"Base: \xC2\xBB LOD=1 \xC2\xAB  |  \xC2\xBB lodBias=2 \xC2\xAB",
          "Arm: \xC2\xBB LOD=1 \xC2\xAB"},
         "2 nodes, 3 lines match"},
        {MatchMode::Contains,
         "SPOT",
         {"Lamp: \xC2\xBB light=spot \xC2\xAB  |  intensity=1.5"},
         "1 node, 1 line matches"},
        {MatchMode::Wildcard,
         "spawn=*",
         {"Helpers: ", "Spawn: \xC2\xBB spawn=player \xC2\xAB"},
         "1 node, 1 line matches"},
        {MatchMode::RegularExpression,
         "=1$",
         {"Base: \xC2\xBB LOD=1 \xC2\xAB  |  lodBias=2", "Arm: \xC2\xBB LOD=1 \xC2\xAB"},
         "2 nodes, 2 lines match"},
        {MatchMode::Contains, "nothing", {}, "0 nodes, 0 lines match"},
    };
    for (const Case& c : cases) {
        Type(c.pattern, c.mode);
        EXPECT_EQ(Rows(), c.rows) << c.pattern;
        EXPECT_EQ(Count(), c.count) << c.pattern;
    }
    Type("spawn=*", MatchMode::Wildcard);
    EXPECT_EQ(DrawRow(0).clrText, GetSysColor(COLOR_GRAYTEXT)) << "the ancestor is dimmed";
    EXPECT_EQ(DrawRow(1).clrText, CLR_DEFAULT) << "the match is not";

    Type("", MatchMode::Wildcard);
    EXPECT_EQ(Rows().size(), 6u) << "an empty pattern shows every node";
    EXPECT_EQ(Count(), "");
}

TEST_F(Filter, AnInvalidExpressionIsShownKeepsTheLastRowsAndSelectsNothing)
{
    Type("^lod", MatchMode::RegularExpression);
    const std::vector<std::string> rows = Rows();
    Type("^lod(", MatchMode::RegularExpression);
    EXPECT_EQ(Count().rfind("Invalid pattern: ", 0), 0u) << Count();
    EXPECT_EQ(Rows(), rows);
    SendMessageA(Field(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(TheScene().SelectedCount(), 0) << "the rows kept are not this pattern's matches";
    Type("^lod(B)", MatchMode::RegularExpression);
    EXPECT_EQ(Count(), "1 node, 1 line matches");
}

TEST_F(Filter, EnterSelectsTheMatchingNodesAsAPickDoes)
{
    Type("spawn=*", MatchMode::Wildcard);
    const int undoSteps = theHold.UndoCount();
    SendMessageA(Field(), WM_KEYDOWN, VK_RETURN, 1);
    PumpMessages();
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"Spawn"}) << "not its ancestor Helpers";
    EXPECT_EQ(theHold.UndoCount(), undoSteps) << "a pick is no undo step";
    EXPECT_EQ(SendMessageA(List(), LVM_GETITEMSTATE, 1, LVIS_SELECTED), LVIS_SELECTED);

    // Pressed while the search still runs, Enter selects what it finds.
    SetWindowTextA(Field(), "lod*");
    SendMessageA(Field(), WM_KEYDOWN, VK_RETURN, 1);
    WaitForSearch();
    EXPECT_EQ(SelectedNames(), (std::vector<std::string>{"Base", "Arm"}));
}

TEST_F(Filter, SelectedNodesStayMarkedAsTheRowsChange)
{
    NodeTab picked;
    picked.Append(NodeNamed("Base"));
    picked.Append(NodeNamed("Lamp"));
    TheScene().PickNodes(picked);
    PumpMessages();
    const struct {
        const char* pattern;
        MatchMode mode;
        std::vector<int> selectedRows;
    } cases[] = {
        {"lod", MatchMode::StartsWith, {0}},  // Base, Arm
        {"light", MatchMode::Contains, {0}},  // Lamp
        {"spawn", MatchMode::Contains, {}},   // Helpers, Spawn
        {"", MatchMode::StartsWith, {0, 3}},  // every node
    };
    for (const auto& c : cases) {
        Type(c.pattern, c.mode);
        std::vector<int> rows;
        for (int row = -1; (row = static_cast<int>(SendMessageA(List(), LVM_GETNEXTITEM, row,
                                                                  LVNI_SELECTED))) >= 0;)
            rows.push_back(row);
        EXPECT_EQ(rows, c.selectedRows) << c.pattern;
        EXPECT_EQ(SelectedNames(), (std::vector<std::string>{"Base", "Lamp"})) << c.pattern;
    }
}

TEST_F(Filter, RowsFollowOpenUndoAndAFindReplaceRun)
{
    Type("lodbias", MatchMode::Contains);
    ASSERT_EQ(Count(), "1 node, 1 line matches");

    ChangeText("Lamp", "lodBias=9");
    WaitForSearch();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Base: LOD=1  |  \xC2\xBB lodBias=2 \xC2\xAB",
                                                "Lamp: \xC2\xBB lodBias=9 \xC2\xAB"}));
    SendMessageA(window, WM_COMMAND, IDM_EDIT_UNDO, 0);
    WaitForSearch();
    EXPECT_EQ(Count(), "1 node, 1 line matches") << "after undo";

    // Remove Property of the Find/Replace floater on the selected Base.
    const int kFindText = 1006;
    const int kRemoveProperty = 1003;
    SendMessageA(window, WM_COMMAND, GetMenuItemID(GetSubMenu(GetMenu(window), 2), 1), 0);
    HWND findReplace = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(findReplace, nullptr);
    NodeTab base;
    base.Append(NodeNamed("Base"));
    TheScene().SetSelection(base);
    SetDlgItemTextA(findReplace, kFindText, "lodbias");
    SendMessageA(findReplace, WM_COMMAND, MAKEWPARAM(kRemoveProperty, BN_CLICKED), 0);
    WaitForSearch();
    EXPECT_EQ(Count(), "0 nodes, 0 lines match") << "after the run";
    EXPECT_TRUE(Rows().empty());

    ASSERT_TRUE(App().OpenScene(WriteScene("scene 1\nnode 1 \"New\"\nprops \"lodbias=0\"\n")));
    WaitForSearch();
    EXPECT_EQ(Rows(), std::vector<std::string>{"New: \xC2\xBB lodbias=0 \xC2\xAB"}) << "after open";
}

TEST_F(Filter, ASearchReadingTheTextsStopsBeforeOneChanges)
{
    // Lines the expression gives up on one after the other: a search of seconds, still under
    // way when the text changes.
    std::string hostile;
    for (int i = 0; i < 500; ++i) hostile += std::string(3000, 'l') + "\r\n";
    NodeNamed("Lamp")->SetUserPropText(CStr(hostile.c_str()));
    Type("(l|ll)*ight=", MatchMode::RegularExpression, false);
    ASSERT_TRUE(App().Filter().Reading());
    ChangeText("Lamp", "light=off");
    EXPECT_FALSE(App().Filter().Reading()) << "stopped and joined before the text changed";
    WaitForSearch();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Lamp: \xC2\xBB light=off \xC2\xAB"});
}

TEST_F(Filter, SelectedRowsStayReadableWithoutTheFocusAndCutCellsHaveTheirText)
{
    NodeTab nodes;
    nodes.Append(NodeNamed("Lamp"));
    TheScene().SetSelection(nodes);
    SetFocus(nullptr);
    LRESULT answer = 0;
    const NMLVCUSTOMDRAW draw = DrawRow(3, &answer);
    EXPECT_EQ(answer, CDRF_NEWFONT);
    EXPECT_GE(ContrastRatio(draw.clrTextBk, GetSysColor(COLOR_WINDOW)), 3.0);
    EXPECT_GE(ContrastRatio(draw.clrText, draw.clrTextBk), 4.5);
    EXPECT_EQ(DrawRow(0).clrTextBk, CLR_DEFAULT) << "unselected rows keep the list's colours";
    SetFocus(List());
    EXPECT_EQ(DrawRow(3).clrTextBk, CLR_DEFAULT) << "with the focus, the list's own colours";
    SetFocus(nullptr);
    EXPECT_NE(DrawRow(3).clrTextBk, CLR_DEFAULT) << "and without it again, the readable ones";

    std::string text(300, 'x');
    ChangeText("Lamp", ("long=" + text + "\r\nshort=1").c_str());
    PumpMessages();
    for (int row : {3, 0}) {
        char tipText[1024] = "";
        NMLVGETINFOTIPA tip = {};
        tip.hdr = {List(), kNodeListId, static_cast<UINT>(LVN_GETINFOTIPA)};
        tip.pszText = tipText;
        tip.cchTextMax = sizeof tipText;
        tip.iItem = row;
        SendMessageA(window, WM_NOTIFY, kNodeListId, reinterpret_cast<LPARAM>(&tip));
        EXPECT_EQ(std::string(tipText), row == 3 ? "long=" + text + "\r\nshort=1" : "")
            << "row " << row;
    }
}

// Keys as the user presses them, through the application's own handling.
class FilterKeys : public Filter {
protected:
    void SetUp() override
    {
        Filter::SetUp();
        SetForegroundWindow(window);
        SetFocus(List());
    }
    static void Press(int key, bool control = false)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (App().TranslateKeyboard(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
};

TEST_F(FilterKeys, CtrlFFocusesTheFieldWhereShortcutsPauseAndEscapeClearsIt)
{
    Press('F', true);
    ASSERT_EQ(GetFocus(), Field());
    ChangeText("Lamp", "light=off");
    Press('Z', true);
    EXPECT_NE(CoreInterface::Instance().StatusText(), "Undone: Change") << "Ctrl+Z is the field's";

    Type("light", MatchMode::StartsWith);
    ASSERT_EQ(Rows().size(), 1u);
    Press(VK_ESCAPE);
    EXPECT_EQ(WindowText(Field()), "");
    EXPECT_EQ(Rows().size(), 6u);
    EXPECT_EQ(GetFocus(), List());
}

}  // namespace
