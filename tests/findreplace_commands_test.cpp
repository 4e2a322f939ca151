// The four commands of the Find/Replace floater run in the host: what they change, what they
// ask, what they report and the undo step each leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "findreplace_fixture.h"

namespace findreplace {
namespace {

using Strings = std::vector<std::string>;

void ExpectMessage(const SeenDialog& box, const char* text, UINT icon, HWND owner)
{
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.icon, icon);
    EXPECT_EQ(box.owner, owner);
}

using SearchAndSelect = FloaterTest;

TEST_F(SearchAndSelect, SelectsEveryMatchingNodeOnceAsOneUndoStep)
{
    host.GetScene().Root()->SetUserPropText("lod=0");
    auto nodes = host.Build({"1 Hidden|lod=1", "2 Child|LOD=2", "1 Several|lod=3\r\nlodBias=4",
                             "1 Short|lo", "1 Before|name=x"});
    nodes[0]->SetHidden(true);
    host.Select({nodes[4]});
    Run(kSearchSelect, "lod");

    EXPECT_EQ(Selection(), (std::vector<SceneNode*>{nodes[1], nodes[2]}));
    EXPECT_EQ(Status(), "Selected 2 objects.");
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(theHold.UndoCount(), 1);
    EXPECT_STREQ(theHold.UndoName(), "Select");
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Selection(), (std::vector<SceneNode*>{nodes[4]}));
}

TEST_F(SearchAndSelect, NoMatchKeepsTheSelectionAndSaysSo)
{
    auto nodes = host.Build({"1 A|name=a", "1 B|lo"});
    host.Select({nodes[1]});
    answerer.Press(IDOK);
    Run(kSearchSelect, "lod");

    ASSERT_EQ(answerer.Seen().size(), 1u);
    ExpectMessage(answerer.Seen()[0], "No match.  Selection not changed.", MB_ICONINFORMATION,
                  host.MainWindow());
    EXPECT_EQ(Selection(), (std::vector<SceneNode*>{nodes[1]}));
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(Status(), "");
}

using RemoveProperty = FloaterTest;

TEST_F(RemoveProperty, OneMatchGoesWithoutAQuestion)
{
    auto nodes = host.Build({"1 A|LOD=1\r\n\r\nname=a", "1 Hidden|lod=1"});
    nodes[1]->SetHidden(true);
    host.Select(nodes);
    Run(kRemove, "lod");

    EXPECT_EQ(Texts(nodes), (Strings{"name=a", "lod=1"}));
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(Status(), "Removed property from 1 of 2 selected objects.");
    EXPECT_STREQ(theHold.UndoName(), "Remove Property");
}

TEST_F(RemoveProperty, IgnoreAllStopsTheQuestionsForTheRestOfTheRun)
{
    auto nodes = host.Build({"1 A|lod=1\r\nlod=2\r\na", "1 B|lod=1\r\nlodB=2\r\nb",
                             "1 C|lod=1\r\nlod=2\r\nlod=3", "1 D|name=d"});
    host.Select(nodes);
    answerer.Press(kIgnore).Press(kIgnoreAll);
    Run(kRemove, "lod");

    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].text,
              "Object 'A' has more than one property\nthat matches string 'lod'");
    EXPECT_EQ(answerer.Seen()[0].owner, floater);
    EXPECT_EQ(Texts(nodes), (Strings{"a", "b", "", "name=d"}));
    EXPECT_EQ(Status(), "Removed property from 3 of 4 selected objects.");
}

TEST_F(RemoveProperty, CancelKeepsTheEarlierChangesAsOneUndoStep)
{
    const Strings before = {"lod=1\r\n\r\nkeep=1\n", "LOD=1\r\nlod=2\nkeep=2",
                            "name=3", "lod=1\r\nlod=2", "lod=5", "lod=6"};
    std::vector<std::string> lines;
    for (size_t i = 0; i < before.size(); ++i)
        lines.push_back("1 N" + std::to_string(i + 1) + "|" + before[i]);
    auto nodes = host.Build(lines);
    host.Select(nodes);
    answerer.Press(kIgnore).Press(kMultiCancel);
    Run(kRemove, "lod");

    const Strings after = {"keep=1", "keep=2", "name=3", "lod=1\r\nlod=2", "lod=5", "lod=6"};
    EXPECT_EQ(Texts(nodes), after);
    EXPECT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(Status(), "Removed property from 2 of 6 selected objects.");
    EXPECT_EQ(theHold.UndoCount(), 1);
    EXPECT_STREQ(theHold.UndoName(), "Remove Property");

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Texts(nodes), before) << "blank lines and lone line feeds come back too";
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(Texts(nodes), after);
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Texts(nodes), before);
}

TEST_F(RemoveProperty, CancelBeforeAnyChangeLeavesNoTrace)
{
    auto nodes = host.Build({"1 A|lod=1\r\nlod=2", "1 B|lod=3"});
    host.Select(nodes);
    answerer.Press(kMultiCancel);
    Run(kRemove, "lod");

    EXPECT_EQ(Texts(nodes), (Strings{"lod=1\r\nlod=2", "lod=3"}));
    EXPECT_EQ(answerer.Seen().size(), 1u) << "no message after the question";
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(theHold.Holding(), 0);
}

TEST_F(RemoveProperty, NothingFoundSaysSo)
{
    auto nodes = host.Build({"1 A|name=a", "1 Hidden|lod=1"});
    nodes[1]->SetHidden(true);
    host.Select(nodes);
    answerer.Press(IDOK);
    Run(kRemove, "lod");

    ASSERT_EQ(answerer.Seen().size(), 1u);
    ExpectMessage(answerer.Seen()[0], "Property not found in selected objects.",
                  MB_ICONINFORMATION, host.MainWindow());
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(theHold.Holding(), 0);
    EXPECT_EQ(Status(), "");
}

TEST_F(RemoveProperty, WorksOnTheNodesSelectedAtTheStart)
{
    auto nodes = host.Build({"1 A|lod=1\r\nlod=2\r\na", "1 B|lod=1\r\nb", "1 C|lod=1\r\nc",
                             "1 Other|lod=1"});
    host.Select({nodes[0], nodes[1], nodes[2]});
    answerer.Queue({{}, kIgnore, [&] { host.Select({}); }});
    Run(kRemove, "lod");

    EXPECT_EQ(Texts(nodes), (Strings{"a", "b", "c", "lod=1"}));
    EXPECT_EQ(Status(), "Removed property from 3 of 3 selected objects.");
    EXPECT_STREQ(theHold.UndoName(), "Remove Property");
}

using ReplaceProperty = FloaterTest;

TEST_F(ReplaceProperty, ConfirmsEachNodeWithTheFindTextAsTyped)
{
    auto nodes = host.Build({"1 A|LOD=1\r\n\r\nname=a", "1 B|name=b", "1 C|lod=1\r\nlodBias=2"});
    host.Select(nodes);
    answerer.Press(kConfirmReplace).Press(kIgnore).Press(kConfirmReplace);
    Run(kReplace, "lod", "lod=5");

    ASSERT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(answerer.Seen()[0].text, "On object: A\nFound: lod\nReplace with: lod=5");
    EXPECT_EQ(answerer.Seen()[1].text,
              "Object 'C' has more than one property\nthat matches string 'lod'");
    EXPECT_EQ(answerer.Seen()[2].text, "On object: C\nFound: lod\nReplace with: lod=5");
    EXPECT_EQ(Texts(nodes), (Strings{"lod=5\r\nname=a", "name=b", "lod=5\r\nlod=5"}));
    EXPECT_EQ(Status(), "Replaced property in 2 of 3 selected objects.");
    EXPECT_STREQ(theHold.UndoName(), "Replace Property");
}

TEST_F(ReplaceProperty, IgnoreAllAndReplaceAllEachSilenceTheirOwnQuestion)
{
    auto nodes = host.Build({"1 A|lod=1\r\nlod=2", "1 B|lod=1\r\nlod=2", "1 C|lod=1"});
    host.Select(nodes);
    answerer.Press(kIgnoreAll).Press(kConfirmReplace);  // A
    answerer.Press(kConfirmReplaceAll);                 // B: no more warnings, only this
    Run(kReplace, "lod", "x");

    EXPECT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(answerer.Pending(), 0u);
    EXPECT_EQ(Texts(nodes), (Strings{"x\r\nx", "x\r\nx", "x"}));
    EXPECT_EQ(Status(), "Replaced property in 3 of 3 selected objects.");
}

TEST_F(ReplaceProperty, CancelInEitherQuestionStopsAtThatNode)
{
    auto nodes = host.Build({"1 A|lod=1", "1 B|lod=1", "1 C|lod=1"});
    host.Select(nodes);
    answerer.Press(kConfirmReplace).Press(kConfirmCancel);
    Run(kReplace, "lod", "lod=5");
    EXPECT_EQ(Texts(nodes), (Strings{"lod=5", "lod=1", "lod=1"}));
    EXPECT_EQ(Status(), "Replaced property in 1 of 3 selected objects.");
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1", "lod=1", "lod=1"}));
    theHold.Clear();

    nodes[0]->SetUserPropText("lod=1\r\nlod=2");
    answerer.Press(kMultiCancel);
    host.Core().ShowStatus("");
    Click(kReplace);
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1\r\nlod=2", "lod=1", "lod=1"}));
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(answerer.Seen().size(), 3u) << "no message after a Cancel";
}

TEST_F(ReplaceProperty, NothingFoundSaysSo)
{
    auto nodes = host.Build({"1 A|name=a"});
    host.Select(nodes);
    answerer.Press(IDOK);
    Run(kReplace, "lod", "lod=5");

    ASSERT_EQ(answerer.Seen().size(), 1u);
    ExpectMessage(answerer.Seen()[0], "Property not found in selected objects.",
                  MB_ICONINFORMATION, host.MainWindow());
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(theHold.Holding(), 0);
}

using WriteToAll = FloaterTest;

TEST_F(WriteToAll, EmptyFindAppendsEverywhereWithoutQuestions)
{
    auto nodes = host.Build({"1 A|lod=1\r\n\r\n", "1 B", "1 Hidden|x"});
    nodes[2]->SetHidden(true);
    host.Select(nodes);
    Run(kWriteAll, "", "lod=5");

    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1\r\nlod=5", "lod=5", "x"}));
    EXPECT_EQ(Status(), "Wrote property to all 3 selected objects.");
    EXPECT_STREQ(theHold.UndoName(), "Write All");
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1\r\n\r\n", "", "x"}));
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1\r\nlod=5", "lod=5", "x"}));
}

TEST_F(WriteToAll, ReplacesWhereFoundAndExtendsTheRestNeverBoth)
{
    auto nodes = host.Build({"1 A|LOD=1\r\nname=a", "1 B|name=b", "1 C|lod=1"});
    host.Select(nodes);
    answerer.Press(kConfirmReplace).Press(kConfirmCancel);
    Run(kWriteAll, "lod", "lod=5");

    EXPECT_EQ(Texts(nodes), (Strings{"lod=5\r\nname=a", "name=b\r\nlod=5", "lod=1"}));
    EXPECT_EQ(Status(), "Wrote property to all 3 selected objects.")
        << "a Cancel still ends a write-all run as its step";
    EXPECT_STREQ(theHold.UndoName(), "Write All");
}

// A run that wrote nothing reports just that, and leaves no step to undo.
TEST_F(WriteToAll, ARunThatWroteNothingSaysSo)
{
    auto nodes = host.Build({"1 A|lod=1", "1 B|b"});
    host.Select(nodes);
    host.Core().ShowStatus("");
    answerer.Press(kConfirmCancel);
    Run(kWriteAll, "lod", "lod=5");
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1", "b"}));
    EXPECT_EQ(Status(), "Write to ALL! cancelled: no object was changed.");
    EXPECT_EQ(theHold.UndoCount(), 0);

    for (SceneNode* node : nodes) node->SetHidden(true);
    answerer.Press(IDOK);
    Run(kWriteAll, "", "lod=5");
    ASSERT_EQ(answerer.Seen().size(), 2u);
    ExpectMessage(answerer.Seen()[1],
                  "Wrote property to none of the selected objects: hidden objects are skipped.",
                  MB_ICONINFORMATION, host.MainWindow());
    EXPECT_EQ(Texts(nodes), (Strings{"lod=1", "b"}));
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(theHold.Holding(), 0);
}

TEST_F(WriteToAll, WorksOnTheNodesSelectedAtTheStart)
{
    auto nodes = host.Build({"1 A|lod=1", "1 B|b", "1 C|c", "1 Other|o"});
    host.Select({nodes[0], nodes[1], nodes[2]});
    answerer.Queue({{}, kConfirmReplace, [&] { host.Select({nodes[3]}); }});
    Run(kWriteAll, "lod", "lod=5");

    EXPECT_EQ(Texts(nodes), (Strings{"lod=5", "b\r\nlod=5", "c\r\nlod=5", "o"}));
    EXPECT_EQ(Status(), "Wrote property to all 3 selected objects.");
}

}  // namespace
}  // namespace findreplace
