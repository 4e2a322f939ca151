// The node list of the main window: picking rows selects nodes, the rows follow the scene
// and its selection, and typing goes to a row by its name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenehost_fixture.h"

namespace scenehost {
namespace {

using NodeList = SceneHostTest;

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

// A batch's scene changes (emptied, rebuilt empty, opened, each after a Select All): every
// list holds its scene's rows with none marked or focused, under a header that spans it.
TEST_F(NodeList, RowsAndHeaderFollowEachSceneOfABatch)
{
    const std::string two = WriteFile("other.scene", "scene 1\nnode 1 \"A\"\nnode 2 \"B\"\n");
    const std::string empty = WriteFile("copy.scene", "scene 1\n");
    const struct {
        const char* step;
        std::string path;  // empty: a new scene
        int rows;
    } kSteps[] = {
        {"a new scene over the desk", "", 0},
        {"a new scene over an empty one", "", 0},
        {"an empty file", empty, 0},
        {"two nodes over an empty scene", two, 2},
        {"the desk over two nodes", deskPath, kRowCount},
        {"an empty file over the desk", empty, 0},
        {"the desk again", deskPath, kRowCount},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(step.step);
        Command(IDM_EDIT_SELECT_ALL);
        ASSERT_TRUE(step.path.empty() ? App().NewScene(false) : App().OpenScene(step.path));
        PumpMessages();
        EXPECT_EQ(RowCount(), step.rows);
        ExpectRowsMatchTheScene(step.step);
        EXPECT_EQ(SendMessageA(List(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), -1);
        HWND header = reinterpret_cast<HWND>(SendMessageA(List(), LVM_GETHEADER, 0, 0));
        EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 3);
        RECT list = {}, spans = {};
        GetClientRect(List(), &list);
        GetWindowRect(header, &spans);
        EXPECT_EQ(spans.right - spans.left, list.right - list.left);
    }
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

}  // namespace
}  // namespace scenehost
