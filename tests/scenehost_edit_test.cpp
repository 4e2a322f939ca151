// The Edit menu: undo and redo of steps, the menu naming them, Select All and None, and
// Hide/Unhide.
#include <gtest/gtest.h>

#include <vector>

#include "scenehost_fixture.h"

namespace scenehost {
namespace {

using EditUndo = SceneHostTest;
using EditCommands = SceneHostTest;

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

// A selection step between leaves the title unmarked once the texts are as saved again.
TEST_F(EditUndo, TheTitleFollowsTheTextsNotTheSelectionSteps)
{
    theHold.Begin();
    NodeTab lamp;
    lamp.Append(node[kLamp]);
    CoreInterface::Instance().GetScene().SetSelection(lamp);
    theHold.Accept("Search & Select");
    ChangeText(kLamp, "light=off", "Switch Lamp");
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
}

// Past the undo memory limit the oldest steps go, and the status line says how many.
TEST_F(EditUndo, TheMemoryLimitDropsTheOldestStepsAndSaysHowMany)
{
    ChangeText(kLamp, "light=off", "Switch Lamp");
    ChangeText(kLamp, "light=on", "Switch Lamp");
    theHold.SetMemoryBudget(1);
    Command(IDM_EDIT_SELECT_ALL);
    Command(IDM_EDIT_TOGGLE_HIDDEN);
    theHold.SetMemoryBudget(0);
    EXPECT_EQ(theHold.UndoCount(), 1) << "the newest step stays";
    EXPECT_EQ(StatusBarText(GetDlgItem(window, kStatusBarId), 0),
              "Hid 5 and unhid 2 objects. (the oldest undo step was dropped to keep the undo "
              "memory limit)")
        << "the step the lower limit dropped was told with Select All's status";
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

}  // namespace
}  // namespace scenehost
