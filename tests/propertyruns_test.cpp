// The Find/Replace runs on a list of nodes, their undo records and the scene walk, without
// windows: questions are answered by a script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "guard.h"
#include "hold.h"
#include "propertyruns.h"
#include "scene.h"
#include "userproprestore.h"

// Nothrow allocations of one size can be made to fail, to reach the code that handles it.
// The others take the plain allocation, as the runtime's own nothrow form does, so that
// the runtime's deletes pair with them.
namespace {
std::size_t failSize = 0;
int failCountdown = 0;  // the allocation that fails, counted from 1; 0: none
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (failCountdown > 0 && size == failSize && --failCountdown == 0) return nullptr;
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

const int kLineSize = sizeof(CStr);
const int kRecordSize = sizeof(UserPropRestore);

struct Question {
    std::string kind;  // "multi" or "replace"
    std::string node;
    std::string find;
    std::string replace;
    bool operator==(const Question& o) const
    {
        return kind == o.kind && node == o.node && find == o.find && replace == o.replace;
    }
};

std::ostream& operator<<(std::ostream& out, const Question& q)
{
    return out << q.kind << "(" << q.node << ", '" << q.find << "', '" << q.replace << "')";
}

Question Multi(const char* node, const char* find) { return {"multi", node, find, ""}; }
Question Confirm(const char* node, const char* find, const char* replace)
{
    return {"replace", node, find, replace};
}

// Answers from a script in order and records every question.
class ScriptedQuestions : public MatchQuestions {
public:
    int AskMultiMatch(SceneNode* node, const CStr& find) override
    {
        asked.push_back(Multi(node->NodeName(), find));
        WhileAsking(node);
        return Next();
    }
    int AskReplace(SceneNode* node, const CStr& find, const CStr& replace) override
    {
        asked.push_back(Confirm(node->NodeName(), find, replace));
        WhileAsking(node);
        return Next();
    }

    std::deque<int> answers;
    std::vector<Question> asked;
    // What happens elsewhere while the next question is open (once).
    std::function<void(SceneNode*)> elsewhere;

private:
    void WhileAsking(SceneNode* node)
    {
        auto change = std::move(elsewhere);
        elsewhere = nullptr;
        if (change) change(node);
    }

    int Next()
    {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question " << asked.back();
            return kAnswerNone;
        }
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

using Questions = std::vector<Question>;

class RunTest : public testing::Test {
protected:
    void SetUp() override
    {
        theHold.Clear();
        ASSERT_FALSE(theHold.Holding());
    }
    void TearDown() override
    {
        failCountdown = 0;
        EXPECT_TRUE(ask.answers.empty()) << ask.answers.size() << " answers left";
        theHold.Clear();
        EXPECT_FALSE(theHold.Holding());
    }

    // Selected nodes below the root, in order; "~" before the name makes it hidden.
    void Add(const char* name, const char* text)
    {
        bool hidden = name[0] == '~';
        SceneNode* node = scene.CreateNode(nullptr, hidden ? name + 1 : name, text, hidden);
        nodes.Append(node);
    }
    std::string Text(int i)
    {
        CStr text;
        nodes[i]->GetUserPropText(text);
        return text.data();
    }

    // One run as the commands hold it, the step kept only when something was written.
    RunOutcome Remove(const char* find)
    {
        theHold.Begin();
        RunOutcome outcome = RemoveMatchingLines(nodes, find, ask);
        Close(outcome);
        return outcome;
    }
    RunOutcome Replace(const char* find, const char* replace, bool writeAll = false)
    {
        theHold.Begin();
        RunOutcome outcome = ReplaceMatchingLines(nodes, find, replace, writeAll, ask);
        Close(outcome);
        return outcome;
    }
    void Close(const RunOutcome& outcome)
    {
        if (outcome.written > 0)
            theHold.Accept("Run");
        else
            theHold.Cancel();
    }
    int RecordsOfLastRun() { return theHold.RecordCount(0); }

    Scene scene;
    NodeTab nodes;
    ScriptedQuestions ask;
};

// The undo record.

using UndoRecord = RunTest;

TEST_F(UndoRecord, UndoBringsBackTheExactTextAndRedoTheRewrite)
{
    const char* before = "\r\na=1\r\n\r\nlod=2\nb=3\n";
    Add("n", before);
    Remove("lod");
    ASSERT_EQ("a=1\r\nb=3", Text(0));
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(before, Text(0)) << "after undo";
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ("a=1\r\nb=3", Text(0)) << "after redo";
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(before, Text(0)) << "after the second undo";
}

TEST_F(UndoRecord, UndoWithoutSaveKeepsTheEarlierRedoText)
{
    Add("n", "old");
    UserPropRestore record(nodes[0]);
    nodes[0]->SetUserPropText("new");
    record.UndoChange(1);
    EXPECT_EQ("old", Text(0));
    nodes[0]->SetUserPropText("other");
    record.UndoChange(0);
    record.RedoChange();
    EXPECT_EQ("new", Text(0)) << "redo text captured by the first undo";
}

TEST_F(UndoRecord, DescribesItself)
{
    struct BaseOnly : RestoreObj {
        void UndoChange(int) override {}
        void RedoChange() override {}
    } base;
    Add("n", "");
    EXPECT_STREQ("UserPropRestore", UserPropRestore(nodes[0]).Describe());
    EXPECT_STREQ("---", base.Describe());
}

// The walk of Search & Select.

using CollectMatching = RunTest;

TEST_F(CollectMatching, VisitsDepthFirstAndSkipsOnlyTheExcludedNodesOwnText)
{
    SceneNode* root = scene.Root();
    root->SetUserPropText("lod=0");
    SceneNode* hidden = scene.CreateNode(nullptr, "hidden", "lod=1", true);
    SceneNode* child = scene.CreateNode(hidden, "child", "x\r\nLOD=2\r\nlodBias=3");
    SceneNode* other = scene.CreateNode(nullptr, "other", "lo");
    SceneNode* grandchild = scene.CreateNode(scene.CreateNode(other, "plain"), "deep", "lod");
    SceneNode* last = scene.CreateNode(nullptr, "last", "lodX");

    NodeTab found;
    for (int i = 0; i < root->ChildCount(); ++i) CollectMatchingNodes(root->Child(i), "lod", found);
    ASSERT_EQ(3, found.Count()) << "the root is not examined, each match counted once";
    EXPECT_EQ(child, found[0]);
    EXPECT_EQ(grandchild, found[1]);
    EXPECT_EQ(last, found[2]);

    found.SetCount(0);
    CollectMatchingNodes(root, "lod", found);
    EXPECT_EQ(4, found.Count()) << "the node given is examined itself";
    EXPECT_EQ(root, found[0]);
}

TEST_F(CollectMatching, DeepChainDoesNotExhaustTheStack)
{
    const int depth = 200000;
    SceneNode* node = nullptr;
    for (int i = 0; i < depth; ++i) node = scene.CreateNode(node, "n", i % 2 ? "" : "lod=1");
    ASSERT_NE(nullptr, node);
    NodeTab found;
    CollectMatchingNodes(scene.Root()->Child(0), "lod", found);
    EXPECT_EQ(depth / 2, found.Count());
}

// Remove Property.

using RemoveRun = RunTest;

TEST_F(RemoveRun, SingleMatchGoesWithoutAQuestion)
{
    Add("a", "x=1\r\nlod=2\r\ny=3");
    Add("b", "LOD=1\nLodBias=2\r\n\r\nlod");
    Add("c", "none");
    ask.answers = {kMultiMatchIgnore};
    RunOutcome outcome = Remove("lod");
    EXPECT_EQ("x=1\r\ny=3", Text(0));
    EXPECT_EQ("", Text(1)) << "all three lines removed";
    EXPECT_EQ("none", Text(2));
    EXPECT_EQ(Questions{Multi("b", "lod")}, ask.asked);
    EXPECT_EQ(2, outcome.changed);
    EXPECT_EQ(2, outcome.written);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(2, RecordsOfLastRun());
}

TEST_F(RemoveRun, IgnoreAllSilencesLaterNodes)
{
    Add("a", "lod1\r\nlod2");
    Add("b", "lod1\r\nlod2\r\nkeep");
    Add("c", "lod1\r\nlod2");
    Add("d", "keep");
    ask.answers = {kMultiMatchIgnore, kMultiMatchIgnoreAll};
    RunOutcome outcome = Remove("LOD");
    EXPECT_EQ((Questions{Multi("a", "LOD"), Multi("b", "LOD")}), ask.asked);
    EXPECT_EQ("keep", Text(1));
    EXPECT_EQ("", Text(2));
    EXPECT_EQ("keep", Text(3));
    EXPECT_EQ(3, outcome.changed) << "the node without a match is not counted";
}

TEST_F(RemoveRun, CancelOnTheFourthOfSixKeepsTheTwoChanges)
{
    const char* texts[] = {"lod", "lod", "x", "lod\r\nlod", "lod", "lod\r\nlod"};
    for (const char* text : texts) Add("n", text);
    ask.answers = {kMultiMatchCancel};
    RunOutcome outcome = Remove("lod");
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(2, outcome.changed);
    EXPECT_EQ(2, RecordsOfLastRun());
    for (int i = 3; i < 6; ++i) EXPECT_EQ(texts[i], Text(i)) << "node " << i;
}

TEST_F(RemoveRun, CancelOnTheFirstQuestionChangesNothing)
{
    Add("a", "lod\r\n\r\nlod");
    Add("b", "lod");
    ask.answers = {kMultiMatchCancel};
    RunOutcome outcome = Remove("lod");
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(0, outcome.written);
    EXPECT_EQ("lod\r\n\r\nlod", Text(0));
    EXPECT_EQ("lod", Text(1));
    EXPECT_EQ(0, theHold.UndoCount());
}

TEST_F(RemoveRun, UnaskableQuestionGoesOnAsIgnore)
{
    Add("a", "lod\r\nlod");
    Add("b", "lod\r\nlod");
    ask.answers = {kAnswerNone, kConfirmCancel};
    RunOutcome outcome = Remove("lod");
    EXPECT_EQ(2, outcome.changed);
    EXPECT_EQ(2u, ask.asked.size()) << "no Ignore All taken from it";
}

TEST_F(RemoveRun, SkipsExcludedAndMissingNodes)
{
    Add("~hidden", "lod\r\nlod");
    nodes.Append(nullptr);
    Add("b", "lod\r\nx");
    RunOutcome outcome = Remove("lod");
    EXPECT_EQ("lod\r\nlod", Text(0));
    EXPECT_EQ("x", Text(2));
    EXPECT_EQ(1, outcome.changed);
    EXPECT_TRUE(ask.asked.empty());
}

// Replace and Write to ALL!.

using ReplaceRunTest = RunTest;

TEST_F(ReplaceRunTest, AsksTheWarningFirstThenTheConfirmation)
{
    Add("one", "a\r\nlod=1");
    Add("two", "LOD=1\r\nx\r\nlodBias=2");
    Add("none", "x");
    ask.answers = {kConfirmReplace, kMultiMatchIgnore, kConfirmReplace};
    RunOutcome outcome = Replace("lod", "lod=5");
    EXPECT_EQ((Questions{Confirm("one", "lod", "lod=5"), Multi("two", "lod"),
                         Confirm("two", "lod", "lod=5")}),
              ask.asked);
    EXPECT_EQ("a\r\nlod=5", Text(0));
    EXPECT_EQ("lod=5\r\nx\r\nlod=5", Text(1));
    EXPECT_EQ("x", Text(2)) << "only write-all extends";
    EXPECT_EQ(2, outcome.changed);
    EXPECT_EQ(2, outcome.written);
}

TEST_F(ReplaceRunTest, IgnoreAllAndReplaceAllEachSilenceTheirOwnQuestion)
{
    Add("a", "lod\r\nlod");
    Add("b", "lod\r\nlod");
    Add("c", "lod\r\nlod");
    ask.answers = {kMultiMatchIgnoreAll, kConfirmReplace, kConfirmReplaceAll};
    Replace("lod", "r");
    EXPECT_EQ((Questions{Multi("a", "lod"), Confirm("a", "lod", "r"), Confirm("b", "lod", "r")}),
              ask.asked);

    ask.asked.clear();
    for (int i = 0; i < 3; ++i) nodes[i]->SetUserPropText("lod\r\nlod");
    ask.answers = {kMultiMatchIgnore, kConfirmReplaceAll, kMultiMatchIgnore, kMultiMatchIgnore};
    Replace("lod", "r");
    EXPECT_EQ((Questions{Multi("a", "lod"), Confirm("a", "lod", "r"), Multi("b", "lod"),
                         Multi("c", "lod")}),
              ask.asked);
    EXPECT_EQ("r\r\nr", Text(2));
}

TEST_F(ReplaceRunTest, WriteAllAnsweredForAllStillTellsMatchesFromNodesToExtend)
{
    Add("a", "lod\r\nlod");
    Add("b", "x");
    Add("c", "LOD=1\r\ny");
    Add("d", "");
    ask.answers = {kMultiMatchIgnoreAll, kConfirmReplaceAll};
    RunOutcome outcome = Replace("lod", "r", true);
    EXPECT_EQ((Questions{Multi("a", "lod"), Confirm("a", "lod", "r")}), ask.asked);
    EXPECT_EQ("r\r\nr", Text(0));
    EXPECT_EQ("x\r\nr", Text(1));
    EXPECT_EQ("r\r\ny", Text(2));
    EXPECT_EQ("r", Text(3));
    EXPECT_EQ(2, outcome.changed);
    EXPECT_EQ(4, outcome.written);
}

TEST_F(ReplaceRunTest, CancelInEitherQuestionLeavesThatNodeUntouched)
{
    for (int cancelInWarning = 0; cancelInWarning < 2; ++cancelInWarning) {
        theHold.Clear();
        nodes.SetCount(0);
        Add("a", "lod");
        Add("b", "lod\r\nlod");
        Add("c", "lod");
        ask.answers = {kConfirmReplace, kMultiMatchIgnore, kConfirmCancel};
        if (cancelInWarning) ask.answers = {kConfirmReplace, kMultiMatchCancel};
        RunOutcome outcome = Replace("lod", "r");
        EXPECT_TRUE(outcome.cancelled);
        EXPECT_EQ(1, outcome.changed);
        EXPECT_EQ("r", Text(0));
        EXPECT_EQ("lod\r\nlod", Text(1)) << "cancel in warning: " << cancelInWarning;
        EXPECT_EQ("lod", Text(2));
    }
}

TEST_F(ReplaceRunTest, WriteAllReplacesOrExtendsNeverBoth)
{
    Add("match", "lod=1");
    Add("other", "x\r\n\r\ny");
    Add("empty", "");
    Add("~hidden", "x");
    ask.answers = {kConfirmReplace};
    RunOutcome outcome = Replace("lod", "lod=9", true);
    EXPECT_EQ("lod=9", Text(0));
    EXPECT_EQ("x\r\ny\r\nlod=9", Text(1));
    EXPECT_EQ("lod=9", Text(2));
    EXPECT_EQ("x", Text(3));
    EXPECT_EQ(1, outcome.changed) << "extended nodes are not replaced ones";
    EXPECT_EQ(3, outcome.written);
    EXPECT_EQ(3, RecordsOfLastRun());
}

TEST_F(ReplaceRunTest, WriteAllWithoutFindAppendsToEveryNodeUnasked)
{
    Add("a", "lod=1");
    Add("b", "");
    Replace("", "tag", true);
    RunOutcome outcome = Replace("", "tag", true);
    EXPECT_EQ("lod=1\r\ntag\r\ntag", Text(0)) << "pressed twice";
    EXPECT_EQ("tag\r\ntag", Text(1));
    EXPECT_EQ(0, outcome.changed);
    EXPECT_EQ(2, outcome.written);
}

TEST_F(ReplaceRunTest, WriteAllCancelKeepsEarlierWrites)
{
    Add("a", "x");
    Add("b", "lod");
    Add("c", "y");
    ask.answers = {kConfirmCancel};
    RunOutcome outcome = Replace("lod", "r", true);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(1, outcome.written);
    EXPECT_EQ("x\r\nr", Text(0));
    EXPECT_EQ("lod", Text(1));
    EXPECT_EQ("y", Text(2));
}

// The text changed from another window while a question was open: the answer works on the
// text as it is then, and the other change is neither lost nor undone by the run's step.

using ChangedDuringQuestion = RunTest;

void SetText(SceneNode* node, const char* text) { node->SetUserPropText(text); }

TEST_F(ChangedDuringQuestion, RemoveKeepsTheLineAddedMeanwhile)
{
    Add("n", "lod=1\r\nlod=2\r\nkeep=1");
    ask.answers = {kMultiMatchIgnore};
    ask.elsewhere = [](SceneNode* node) { SetText(node, "lod=1\r\nlod=2\r\nkeep=1\r\nadded=1"); };
    RunOutcome outcome = Remove("lod");
    EXPECT_EQ(1, outcome.changed);
    EXPECT_EQ("keep=1\r\nadded=1", Text(0));
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ("lod=1\r\nlod=2\r\nkeep=1\r\nadded=1", Text(0)) << "undo brings back the edited text";
}

TEST_F(ChangedDuringQuestion, RemoveWritesNothingWhenTheMatchesWentMeanwhile)
{
    Add("n", "lod=1\r\nlod=2");
    ask.answers = {kMultiMatchIgnore};
    ask.elsewhere = [](SceneNode* node) { SetText(node, "other=1"); };
    RunOutcome outcome = Remove("lod");
    EXPECT_EQ(0, outcome.changed);
    EXPECT_EQ(0, outcome.written);
    EXPECT_EQ("other=1", Text(0));
    EXPECT_EQ(0, theHold.UndoCount());
}

TEST_F(ChangedDuringQuestion, ReplaceKeepsTheLineAddedMeanwhile)
{
    Add("n", "lod=1\r\nother=1");
    ask.answers = {kConfirmReplace};
    ask.elsewhere = [](SceneNode* node) { SetText(node, "lod=1\r\nother=1\r\nadded=1"); };
    RunOutcome outcome = Replace("lod", "lod=5");
    EXPECT_EQ(1, outcome.changed);
    EXPECT_EQ("lod=5\r\nother=1\r\nadded=1", Text(0));
}

TEST_F(ChangedDuringQuestion, ReplaceWarnsWhenASecondMatchCameMeanwhile)
{
    Add("n", "lod=1\r\nother=1");
    ask.answers = {kConfirmReplace, kMultiMatchCancel};
    ask.elsewhere = [](SceneNode* node) { SetText(node, "lod=1\r\nother=1\r\nlod=2"); };
    RunOutcome outcome = Replace("lod", "lod=5");
    ASSERT_EQ(2u, ask.asked.size()) << "the several-matches warning comes after all";
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(0, outcome.changed);
    EXPECT_EQ("lod=1\r\nother=1\r\nlod=2", Text(0)) << "Cancel leaves both lines";
}

TEST_F(ChangedDuringQuestion, WriteAllExtendsOnceWhenTheMatchWentMeanwhile)
{
    Add("n", "lod=1\r\nlod=2");
    ask.answers = {kMultiMatchIgnore, kConfirmReplace};
    ask.elsewhere = [](SceneNode* node) { SetText(node, "other=1"); };
    RunOutcome outcome = Replace("lod", "lod=5", true);
    EXPECT_EQ(0, outcome.changed);
    EXPECT_EQ(1, outcome.written);
    EXPECT_EQ("other=1\r\nlod=5", Text(0));
}

// Out of memory: the run stops at the node that could not be written, and the guard at the
// command's entry cancels its group, so every node is as it was and no step is left.

struct MemoryCase {
    const char* what;
    std::vector<const char*> texts;
    const char* find;
    const char* replace;  // null: Remove Property
    bool writeAll;
    std::deque<int> answers;
    std::size_t failSize;
    int failCountdown;
};

const MemoryCase kMemoryCases[] = {
    {"the second node's record", {"lod", "lod\r\nkeep", "lod"}, "lod", nullptr, false, {},
     kRecordSize, 2},
    {"an extended node's record", {"lod", "x", "y"}, "lod", "r", true, {kConfirmReplace},
     kRecordSize, 2},
    {"a line read for a question", {"a=1", "x=1\r\nlod=2\r\ny=3\r\nlod=4"}, "lod", nullptr,
     false, {}, kLineSize, 3},
    {"the line Write to ALL! adds", {"x"}, "", "r", true, {}, kLineSize, 2},
    {"a replaced node's record", {"lod=1", "lod=2"}, "lod", "lod=3", false,
     {kConfirmReplaceAll}, kRecordSize, 2},
};

using OutOfMemory = RunTest;

TEST_F(OutOfMemory, TheRunIsUndoneAndReportedAsOutOfMemory)
{
    static int memoryReports = 0;
    SetFailureReporter(
        [](Failure failure, const char*, void*) { memoryReports += failure == Failure::kOutOfMemory; },
        nullptr);
    for (const MemoryCase& c : kMemoryCases) {
        SCOPED_TRACE(c.what);
        theHold.Clear();
        nodes.SetCount(0);
        for (const char* text : c.texts) Add("n", text);
        ask.answers = c.answers;
        memoryReports = 0;
        failSize = c.failSize;
        failCountdown = c.failCountdown;
        const bool ran = Guarded(false, [&] {
            theHold.Begin();
            c.replace ? ReplaceMatchingLines(nodes, c.find, c.replace, c.writeAll, ask)
                      : RemoveMatchingLines(nodes, c.find, ask);
            theHold.Accept("Run");
            return true;
        });
        EXPECT_FALSE(ran);
        EXPECT_EQ(0, failCountdown) << "the allocation meant to fail was made";
        EXPECT_EQ(1, memoryReports);
        EXPECT_EQ(0, theHold.Holding());
        EXPECT_EQ(0, theHold.UndoCount()) << "no step left";
        for (int i = 0; i < nodes.Count(); ++i) EXPECT_EQ(c.texts[i], Text(i)) << "node " << i;
        EXPECT_TRUE(ask.answers.empty());
        failCountdown = 0;
    }
    SetFailureReporter(nullptr, nullptr);
}

}  // namespace
