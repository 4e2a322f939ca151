// Opening a scene: the rows, the title and the status line, and what a file that cannot be
// read leaves as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenehost_fixture.h"

namespace scenehost {
namespace {

using OpenScene = SceneHostTest;

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
    Select({kArm, kLamp, kSpawn});
    ASSERT_TRUE(App().OpenScene(other));
    EXPECT_EQ(ColumnTexts(kNameColumn), std::vector<std::string>{"Solo"});
    EXPECT_TRUE(SelectedRows().empty()) << "no row of the old scene's selection stays marked";
    EXPECT_EQ(Counts(), "1 nodes, 0 selected");
    EXPECT_EQ(ColumnTexts(kHiddenColumn), std::vector<std::string>{"hidden"});
    EXPECT_EQ(RowNode(0), TheScene().Root()->Child(0));
    EXPECT_EQ(WindowText(window), "Scene Host - other.scene");
    EXPECT_EQ(theHold.UndoCount(), 0) << "the old scene's steps go with it";
}

TEST_F(OpenScene, NewSceneLeavesNoRows)
{
    Select({kBase, kHand});
    ASSERT_TRUE(App().NewScene(false));
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(Counts(), "0 nodes, 0 selected");
    EXPECT_EQ(TheScene().SelectedCount(), 0);
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

}  // namespace
}  // namespace scenehost
