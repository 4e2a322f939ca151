// The node list as the property table: its columns and cells, the key edits with undo, the
// cell editor's keys, the view order and the filter, through the real main window.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scenehost_fixture.h"

namespace scenehost {
namespace {

class PropertyTable : public SceneHostTest {
protected:
    void SetUp() override
    {
        SceneHostTest::SetUp();
        Command(IDM_VIEW_TABLE);
    }
    void TearDown() override
    {
        SetWindowTextA(App().Filter().Field(), "");
        WaitForRows(kRowCount);
        Command(IDM_VIEW_LINES);
        SceneHostTest::TearDown();
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        HWND header = reinterpret_cast<HWND>(SendMessageA(List(), LVM_GETHEADER, 0, 0));
        for (int column = 0; column < SendMessageA(header, HDM_GETITEMCOUNT, 0, 0); ++column) {
            char title[256] = "";
            LVCOLUMNA item = {};
            item.mask = LVCF_TEXT;
            item.pszText = title;
            item.cchTextMax = sizeof title;
            SendMessageA(List(), LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
            titles.push_back(title);
        }
        return titles;
    }
    int ColumnOf(const std::string& title) const
    {
        const std::vector<std::string> titles = Titles();
        for (size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == title) return static_cast<int>(i);
        return -1;
    }
    std::string CellOf(int row, const char* key) const { return Cell(row, ColumnOf(key)); }
    void WaitForRows(int rows)
    {
        for (int wait = 0; wait < 200 && (App().Filter().Searching() || RowCount() != rows); ++wait) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            PumpMessages();
        }
    }
    void ClickHeader(int column)
    {
        NMLISTVIEW click = {};
        click.hdr = {List(), static_cast<UINT_PTR>(kNodeListId), static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(window, WM_NOTIFY, kNodeListId, reinterpret_cast<LPARAM>(&click));
    }
    void WaitForSort()
    {
        for (int wait = 0; wait < 200 && App().Nodes().Sorting(); ++wait) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            PumpMessages();
        }
        PumpMessages();  // a dropped sort's report comes all the same
    }
    bool SortArrowAt(int column) const
    {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        SendMessageA(reinterpret_cast<HWND>(SendMessageA(List(), LVM_GETHEADER, 0, 0)), HDM_GETITEMA,
                     column, reinterpret_cast<LPARAM>(&item));
        return (item.fmt & HDF_SORTUP) != 0;
    }
    bool Key(HWND target, UINT message, WPARAM key)
    {
        MSG msg = {target, message, key, 1, 0, {0, 0}};
        const bool taken = App().TranslateKeyboard(&msg);
        PumpMessages();
        return taken;
    }
};

TEST_F(PropertyTable, AColumnPerKeyInFirstOrderAndTheLinesViewBack)
{
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Node", "Hidden", "LOD", "lodBias", "export",
                                                  "light", "intensity", "spawn"}));
    struct Case {
        int row;
        const char* key;
        const char* cell;
    } cases[] = {{kBase, "LOD", "1"}, {kBase, "lodBias", "2"}, {kHand, "LOD", ""},
                 {kLamp, "intensity", "1.5"}, {kLeg, "export", "static"}};
    for (const Case& c : cases) EXPECT_EQ(CellOf(c.row, c.key), c.cell) << c.row << " " << c.key;
    EXPECT_EQ(Cell(kLeg, kHiddenColumn), "hidden");

    Command(IDM_VIEW_LINES);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Node", "Hidden", "User properties"}));
    ExpectRowsMatchTheScene("back in the lines view");
    Command(IDM_VIEW_TABLE);
    EXPECT_EQ(Titles().size(), 8u);
}

TEST_F(PropertyTable, EditsAreNamedStepsWithTheirStatusAndUndo)
{
    Select({kBase, kArm, kHand});
    PumpMessages();
    struct Case {
        std::function<bool()> edit;
        const char* step;
        const char* status;
        const char* base;
        const char* hand;
    } cases[] = {
        {[] { return App().SetKey("LOD", "3"); }, "Set Property", "Set LOD=3 on 3 objects.",
         "LOD=3\r\nlodBias=2", "LOD=3"},
        {[] { return App().RemoveKey("lod"); }, "Remove Key", "Removed lod from 2 objects.",
         "lodBias=2", ""},
        {[] { return App().RenameKey("LOD", "lodLevel", false); }, "Rename Key",
         "Renamed LOD to lodLevel on 2 objects.", "lodLevel=1\r\nlodBias=2", ""},
    };
    for (const Case& c : cases) {
        const std::string before = NodeText(node[kBase]);
        ASSERT_TRUE(c.edit());
        PumpMessages();
        EXPECT_EQ(Status(), c.status);
        EXPECT_STREQ(theHold.UndoName(), c.step);
        EXPECT_EQ(NodeText(node[kBase]), c.base);
        EXPECT_EQ(NodeText(node[kHand]), c.hand);
        EXPECT_EQ(NodeText(node[kLamp]), "light=spot\r\n\r\nintensity=1.5") << "not selected";
        Command(IDM_EDIT_UNDO);
        EXPECT_EQ(NodeText(node[kBase]), before);
        EXPECT_EQ(CellOf(kBase, "LOD"), "1");
    }
    std::string error;
    EXPECT_FALSE(App().SetKey("a=b", "1", &error));
    EXPECT_EQ(error, "a=b cannot be a key: a key is not empty and holds no '=' and no line break.");
    EXPECT_FALSE(App().SetKey("LOD", "two\nlines", &error));
    EXPECT_EQ(theHold.UndoCount(), 0);
}

TEST_F(PropertyTable, RenameCollisionAsksAndEachAnswerHolds)
{
    node[kArm]->SetUserPropText(CStr("LOD=1\r\nlodLevel=4"));
    Select({kBase, kArm});
    PumpMessages();
    struct Case {
        int button;
        const char* arm;
        const char* status;
    } cases[] = {
        {IDYES, "lodLevel=1\r\nlodLevel=4", "Renamed LOD to lodLevel on 2 objects."},
        {IDNO, "LOD=1\r\nlodLevel=4", "Renamed LOD to lodLevel: 1 changed, 1 skipped."},
        {IDCANCEL, "LOD=1\r\nlodLevel=4", "Rename Key cancelled: no object was changed."},
    };
    size_t asked = 0;
    for (const Case& c : cases) {
        answerer.Press(c.button);
        ASSERT_TRUE(App().RenameKey("LOD", "lodLevel", false));
        PumpMessages();
        ASSERT_EQ(answerer.Seen().size(), ++asked);
        EXPECT_EQ(answerer.Seen().back().text,
                  "Arm would then hold the key lodLevel on more than one line.\n\nRename it there "
                  "anyway? No skips that node; Cancel renames nothing.");
        EXPECT_EQ(NodeText(node[kArm]), c.arm);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(NodeText(node[kBase]),
                  c.button == IDCANCEL ? "LOD=1\r\nlodBias=2" : "lodLevel=1\r\nlodBias=2");
        if (c.button != IDCANCEL) Command(IDM_EDIT_UNDO);
    }
}

TEST_F(PropertyTable, RenameKeyDialogAsksTheNewKeyAndWhereToRename)
{
    Select({kBase});
    PumpMessages();
    struct Case {
        const char* typed;
        bool everyNode;
        int button;
        const char* arm;
        const char* base;
    } cases[] = {
        {"level", false, IDOK, "LOD=1", "level=1\r\nlodBias=2"},
        {"level", true, IDOK, "level=1", "level=1\r\nlodBias=2"},
        {"level", true, IDCANCEL, "LOD=1", "LOD=1\r\nlodBias=2"},
    };
    for (const Case& c : cases) {
        DialogAnswerer::Answer answer;
        answer.whileOpen = [c] {
            HWND dialog = OpeningDialog("Rename Key");
            EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_RENAME_PROMPT)), "Rename the key LOD to:");
            SetDlgItemTextA(dialog, IDC_RENAME_NEW_KEY, c.typed);
            CheckDlgButton(dialog, IDC_RENAME_ALL_NODES, c.everyNode ? BST_CHECKED : BST_UNCHECKED);
            PostMessageA(dialog, WM_COMMAND, c.button, 0);
        };
        answerer.Queue(answer);
        App().AskToRenameKey("LOD");
        PumpMessages();
        EXPECT_EQ(answerer.Pending(), 0u);
        EXPECT_EQ(NodeText(node[kArm]), c.arm);
        EXPECT_EQ(NodeText(node[kBase]), c.base);
        if (c.button == IDOK) Command(IDM_EDIT_UNDO);
    }
}

TEST_F(PropertyTable, TheCellEditorSetsEverySelectedRowOnEnterAndNothingOnEscape)
{
    Select({kArm, kSpawn});
    PumpMessages();
    App().NodeList().SetCurrentColumn(ColumnOf("LOD"));
    LVITEMA focus = {};
    focus.stateMask = focus.state = LVIS_FOCUSED;
    SendMessageA(List(), LVM_SETITEMSTATE, kSpawn, reinterpret_cast<LPARAM>(&focus));

    EXPECT_TRUE(Key(List(), WM_CHAR, '7')) << "typing starts an edit";
    HWND editor = App().NodeList().CellEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(WindowText(editor), "7");
    EXPECT_TRUE(Key(editor, WM_KEYDOWN, VK_ESCAPE));
    EXPECT_EQ(App().NodeList().CellEditor(), nullptr);
    EXPECT_EQ(NodeText(node[kSpawn]), "spawn=player") << "Escape cancels";

    EXPECT_TRUE(Key(List(), WM_KEYDOWN, VK_F2));
    editor = App().NodeList().CellEditor();
    ASSERT_NE(editor, nullptr);
    SetWindowTextA(editor, "2");
    EXPECT_TRUE(Key(editor, WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(NodeText(node[kSpawn]), "spawn=player\r\nLOD=2");
    EXPECT_EQ(NodeText(node[kArm]), "LOD=2");
    EXPECT_EQ(Status(), "Set LOD=2 on 2 objects.");
    EXPECT_EQ(CellOf(kSpawn, "LOD"), "2");

    EXPECT_TRUE(Key(List(), WM_KEYDOWN, VK_DELETE));
    EXPECT_EQ(NodeText(node[kSpawn]), "spawn=player");
    EXPECT_STREQ(theHold.UndoName(), "Remove Key");
}

TEST_F(PropertyTable, SortIsAViewOrderAndTheFilterMarksCells)
{
    node[kHand]->SetUserPropText(CStr("LOD=0"));
    node[kLamp]->SetUserPropText(CStr("LOD=10\r\nLOD=2"));
    PumpMessages();
    ASSERT_TRUE(App().SortTable("lod"));
    const std::vector<SceneNode*> sorted = {node[kHand], node[kBase], node[kArm], node[kLamp],
                                            node[kLeg], node[kHelpers], node[kSpawn]};
    for (int row = 0; row < kRowCount; ++row) EXPECT_EQ(RowNode(row), sorted[row]) << row;
    EXPECT_EQ(CellOf(3, "LOD"), "[2] 10 | 2");
    ASSERT_TRUE(App().SortTable(""));
    for (int row = 0; row < kRowCount; ++row) EXPECT_EQ(RowNode(row), node[row]);

    SetWindowTextA(App().Filter().Field(), "LOD=2");
    WaitForRows(1);
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(RowNode(0), node[kLamp]);
    EXPECT_EQ(CellOf(0, "LOD"), "[2] 10 | \xC2\xBB 2 \xC2\xAB");
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Node", "Hidden", "LOD"})) << "keys of the rows shown";
}

// The columns come in hierarchy order, whatever the view order when a text changes.
TEST_F(PropertyTable, ColumnsAfterAnEditWhileSortedKeepTheHierarchyOrder)
{
    node[kSpawn]->SetUserPropText(CStr("LOD=-5\r\nspawn=1"));
    ASSERT_TRUE(App().SortTable("lod"));
    ASSERT_EQ(RowNode(0), node[kSpawn]);
    node[kHand]->SetUserPropText(CStr("LOD=0\r\nnew=1"));
    PumpMessages();
    const std::vector<std::string> whileSorted = Titles();
    ASSERT_TRUE(App().SortTable(""));
    Command(IDM_VIEW_LINES);
    Command(IDM_VIEW_TABLE);
    EXPECT_EQ(whileSorted, Titles());
}

// A header click sorts on the sort thread, the window going on: its rows and the arrow show
// once it is done, unless a text changed meanwhile or a second click cancelled it.
TEST_F(PropertyTable, AHeaderClickSortsOnItsThreadAndAChangeOrASecondClickDropsIt)
{
    node[kHand]->SetUserPropText(CStr("LOD=0"));
    PumpMessages();
    const int lod = ColumnOf("LOD");
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        bool sorted;
        const char* status;  // null: the change's own
    } cases[] = {
        {"nothing meanwhile", [] {}, true, "Sorted by LOD."},
        {"a text changed", [this] { node[kArm]->SetUserPropText(CStr("LOD=7")); }, false, nullptr},
        {"a second click", [&] { ClickHeader(lod); }, false, "The sort was cancelled."},
    };
    for (const Case& c : cases) {
        ClickHeader(lod);
        EXPECT_TRUE(App().Nodes().Sorting()) << c.name;
        EXPECT_EQ(Status(), "Sorting by LOD...") << c.name;
        EXPECT_EQ(RowNode(0), node[kBase]) << c.name << ": not before it is done";
        c.meanwhile();
        WaitForSort();
        EXPECT_FALSE(App().Nodes().Sorting()) << c.name;
        EXPECT_EQ(RowNode(0) == node[kHand], c.sorted) << c.name;
        for (int column = 0; column < static_cast<int>(Titles().size()); ++column)
            EXPECT_EQ(SortArrowAt(column), c.sorted && column == lod) << c.name << " " << column;
        if (c.status) {
            EXPECT_EQ(Status(), c.status) << c.name;
        }
        ClickHeader(ColumnOf("Node"));
        PumpMessages();
        EXPECT_EQ(RowNode(0), node[kBase]) << c.name << ": the hierarchy order again";
        EXPECT_FALSE(SortArrowAt(lod)) << c.name;
    }
}

TEST_F(PropertyTable, ManyKeysShowTheFirst32UntilTheChooserShowsMore)
{
    std::string text;
    for (int i = 0; i < 50; ++i) text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    node[kBase]->SetUserPropText(CStr(text.c_str()));
    PumpMessages();
    NodeView& view = App().NodeList();
    ASSERT_EQ(view.TableModel().Columns().size(), 55u) << "50 keys, then LOD, export, light, ...";
    struct Step {
        std::function<void()> choose;
        size_t titles;
        const char* first;
        const char* last;
    } steps[] = {
        {[] {}, 2 + 32, "k0", "k31"},
        {[&] { view.ShowKey(40, true); }, 2 + 33, "k0", "k40"},
        {[&] { view.ShowKey(0, false); }, 2 + 32, "k1", "k40"},
        {[&] { view.ShowAllKeys(); }, 2 + 55, "k0", "spawn"},
    };
    for (const Step& step : steps) {
        step.choose();
        PumpMessages();
        const std::vector<std::string> titles = Titles();
        ASSERT_EQ(titles.size(), step.titles) << step.last;
        EXPECT_EQ(titles[2], step.first);
        EXPECT_EQ(titles.back(), step.last);
    }
    EXPECT_EQ(CellOf(kBase, "k40"), "40");
    EXPECT_EQ(CellOf(kLamp, "intensity"), "1.5") << "cells follow the columns";
}

TEST_F(PropertyTable, TheHeaderTipCountsNodesAndDistinctValuesOfTheColumnPointedAt)
{
    node[kLamp]->SetUserPropText(CStr("LOD=3\r\nlight=spot"));
    node[kSpawn]->SetUserPropText(CStr("spawn=player\r\nlodBias=2"));
    PumpMessages();
    HWND header = App().NodeList().Header();
    struct Case {
        const char* key;
        const char* tip;
    } cases[] = {
        {"LOD", "LOD: held by 3 nodes, 2 distinct values"},
        {"lodBias", "lodBias: held by 2 nodes, 1 distinct values"},
        {"Node", ""},
    };
    for (const Case& c : cases) {
        RECT item = {};
        ASSERT_TRUE(SendMessageA(header, HDM_GETITEMRECT, ColumnOf(c.key), reinterpret_cast<LPARAM>(&item)));
        POINT point = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ClientToScreen(header, &point);
        ASSERT_TRUE(SetCursorPos(point.x, point.y));
        NMTTDISPINFOA info = {};
        info.hdr.hwndFrom = App().NodeList().TipWindow();
        info.hdr.code = TTN_GETDISPINFOA;
        SendMessageA(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_NE(info.lpszText, nullptr);
        EXPECT_STREQ(info.lpszText, c.tip) << c.key;
    }
}

TEST_F(PropertyTable, TheSelectionFollowsItsNodesThroughSortsAndViewChanges)
{
    Select({kArm, kLamp});
    PumpMessages();
    node[kLamp]->SetUserPropText(CStr("LOD=0"));
    PumpMessages();
    const std::vector<std::string> keys = Titles();
    struct Step {
        std::function<void()> act;
        const char* after;
    } steps[] = {
        {[] { ASSERT_TRUE(App().SortTable("LOD")); }, "a sort"},
        {[] { ASSERT_TRUE(App().SortTable("lodBias")); }, "another sort"},
        {[] { ASSERT_TRUE(App().SortTable("")); }, "the hierarchy order again"},
        {[] { ASSERT_TRUE(App().SortTable("LOD")); }, "a sort before the lines view"},
    };
    for (const Step& step : steps) {
        step.act();
        PumpMessages();
        EXPECT_EQ(Titles(), keys) << "a sort keeps the columns: " << step.after;
        for (int row = 0; row < kRowCount; ++row)
            EXPECT_EQ(SendMessageA(List(), LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0,
                      TheScene().IsSelected(RowNode(row)))
                << RowNode(row)->NodeName() << " after " << step.after;
    }
    Command(IDM_VIEW_LINES);
    ExpectRowsMatchTheScene("the lines view after a sort");
    Command(IDM_VIEW_TABLE);
    EXPECT_EQ(Titles(), keys);
    for (int row = 0; row < kRowCount; ++row) EXPECT_EQ(RowNode(row), node[row]) << "unsorted";
}

}  // namespace
}  // namespace scenehost
