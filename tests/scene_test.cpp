#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "hold.h"
#include "nodetextrestore.h"
#include "scene.h"

namespace {

using NameList = std::vector<std::string>;

class CountingObserver : public SceneObserver {
public:
    void SelectionChanged() noexcept override { ++selectionChanges; }
    void NodeChanged(SceneNode* node) noexcept override { changedNodes.push_back(node); }
    void SceneRebuilt() noexcept override { ++rebuilds; }
    // What a's text and the node count were as each change was announced.
    void TextsChanging() noexcept override
    {
        if (watched) announced.push_back(watched->UserPropText().data());
        counts.push_back(watched ? watched->OwnerScene()->NodeCount() : -1);
    }

    int selectionChanges = 0;
    std::vector<SceneNode*> changedNodes;
    int rebuilds = 0;
    SceneNode* watched = nullptr;
    std::vector<std::string> announced;
    std::vector<int> counts;
};

void Fill(NodeTab& tab, std::initializer_list<SceneNode*> nodes)
{
    tab.SetCount(0);
    for (SceneNode* node : nodes) tab.Append(node);
}

NameList Names(const NodeTab& nodes)
{
    NameList names;
    for (int i = 0; i < nodes.Count(); ++i) names.push_back(nodes[i]->NodeName());
    return names;
}

// A scene of root > {a > {a1, a2}, b, c > {c1}}; the hold is left clean around each test.
class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        theHold.Clear();
        ASSERT_FALSE(theHold.Holding());
        a = scene.CreateNode(nullptr, "a");
        a1 = scene.CreateNode(a, "a1");
        a2 = scene.CreateNode(a, "a2");
        b = scene.CreateNode(nullptr, "b", "", true);
        c = scene.CreateNode(scene.Root(), "c");
        c1 = scene.CreateNode(c, "c1");
        scene.AddObserver(&observer);
    }
    void TearDown() override
    {
        if (theHold.Holding()) theHold.Cancel();
        theHold.Clear();
        EXPECT_FALSE(theHold.Holding());
    }

    NameList Selection() const
    {
        NameList names;
        for (int i = 0; i < scene.SelectedCount(); ++i)
            names.push_back(scene.SelectedNode(i)->NodeName());
        return names;
    }
    void Select(std::initializer_list<SceneNode*> nodes, bool select = true)
    {
        NodeTab tab;
        Fill(tab, nodes);
        scene.SelectNodes(tab, select);
    }

    Scene scene;
    CountingObserver observer;
    SceneNode *a, *a1, *a2, *b, *c, *c1;
};

}  // namespace

TEST_F(SceneTest, BuildsTreeInChildOrder)
{
    SceneNode* root = scene.Root();
    EXPECT_STREQ("", root->NodeName());
    EXPECT_EQ(nullptr, root->Parent());
    ASSERT_EQ(3, root->ChildCount());
    EXPECT_EQ(a, root->Child(0));
    EXPECT_EQ(b, root->Child(1));
    EXPECT_EQ(c, root->Child(2));
    EXPECT_EQ(a, a2->Parent());
    EXPECT_EQ(&scene, a2->OwnerScene());
    EXPECT_EQ(6, scene.NodeCount());
    EXPECT_TRUE(scene.Modified());
}

TEST_F(SceneTest, BadChildIndexReportsAndGivesNull)
{
    int reports = AssertReportCount();
    EXPECT_EQ(nullptr, a->Child(2));
    EXPECT_EQ(nullptr, b->Child(0));
    EXPECT_EQ(nullptr, scene.SelectedNode(0));
    EXPECT_EQ(reports + 3, AssertReportCount());
}

TEST_F(SceneTest, DepthCountsFromRoot)
{
    EXPECT_EQ(0, scene.Root()->Depth());
    EXPECT_EQ(1, a->Depth());
    EXPECT_EQ(2, c1->Depth());
}

TEST_F(SceneTest, HiddenNodesAreExcluded)
{
    EXPECT_EQ(1, b->IsExcluded(0, 0));
    EXPECT_EQ(0, a->IsExcluded(0, 0));
    a->SetHidden(true);
    EXPECT_EQ(1, a->IsExcluded(0, 0));
    EXPECT_TRUE(a->IsHidden());
}

TEST_F(SceneTest, UserPropTextRoundTripsExactly)
{
    const char* text = "line1 = 1\r\n\r\n  spaced  \r\nlast";
    a->SetUserPropText(CStr(text));
    CStr back("stale");
    a->GetUserPropText(back);
    EXPECT_STREQ(text, back.data());

    CStr fromCreate;
    SceneNode* d = scene.CreateNode(nullptr, "d", "x=1\r\ny=2");
    d->GetUserPropText(fromCreate);
    EXPECT_STREQ("x=1\r\ny=2", fromCreate.data());
}

TEST_F(SceneTest, NodeChangesMarkModifiedAndNotify)
{
    scene.SetModified(false);
    a->SetUserPropText(CStr("k=v"));
    EXPECT_TRUE(scene.Modified());
    a->SetUserPropText(CStr("k=v"));
    EXPECT_EQ((std::vector<SceneNode*>{a, a}), observer.changedNodes);
    c->SetName("renamed");
    EXPECT_STREQ("renamed", c->NodeName());
    EXPECT_EQ(c, observer.changedNodes.back());
}

// Renames a node inside the open group, with its undo record, as a command does.
void RecordedRename(SceneNode* node, const char* name)
{
    class NameRestore : public RestoreObj {
    public:
        NameRestore(SceneNode* node, const char* after)
            : node_(node), before_(node->NodeName()), after_(after)
        {
        }
        void UndoChange(int) override { node_->SetName(before_); }
        void RedoChange() override { node_->SetName(after_); }

    private:
        SceneNode* node_;
        CStr before_;
        CStr after_;
    };
    theHold.Put(new NameRestore(node, name));
    node->SetName(name);
}

void RenameAsStep(SceneNode* node, const char* name)
{
    theHold.Begin();
    RecordedRename(node, name);
    theHold.Accept("Rename");
}

TEST_F(SceneTest, TextChangesAndClearAreAnnouncedBeforeTheyHappen)
{
    observer.watched = a;
    a->SetUserPropText("one");
    CStr two("two");
    a->SwapUserPropText(two);
    a->SetHidden(true);
    a->SetName("renamed");
    EXPECT_EQ(observer.announced, (NameList{"", "one"})) << "hidden and names are not texts";
    scene.Clear();
    EXPECT_EQ(observer.counts, (std::vector<int>{6, 6, 6})) << "announced while the nodes lived";
}

TEST_F(SceneTest, ModifiedFollowsTheUndoPosition)
{
    scene.SetModified(false);
    RenameAsStep(a, "first");
    EXPECT_TRUE(scene.Modified());
    ASSERT_TRUE(theHold.Undo());
    EXPECT_FALSE(scene.Modified()) << "undone back to the saved state";
    ASSERT_TRUE(theHold.Redo());
    EXPECT_TRUE(scene.Modified());

    scene.SetModified(false);  // saved after the step
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(scene.Modified());
    ASSERT_TRUE(theHold.Redo());
    EXPECT_FALSE(scene.Modified()) << "redone back to the saved state";

    // The saved state undone away and replaced by another step can never come back.
    ASSERT_TRUE(theHold.Undo());
    RenameAsStep(b, "other");
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(scene.Modified());
    ASSERT_TRUE(theHold.Redo());
    EXPECT_TRUE(scene.Modified());

    // A change inside an open group shows at once; a cancelled one leaves nothing to save.
    scene.SetModified(false);
    theHold.Begin();
    RecordedRename(c, "pending");
    EXPECT_TRUE(scene.Modified());
    theHold.Cancel();
    EXPECT_FALSE(scene.Modified());
    c->SetName("unrecorded");
    ASSERT_TRUE(theHold.Undo());
    ASSERT_TRUE(theHold.Redo());
    EXPECT_TRUE(scene.Modified()) << "a change outside any step stays a change";
}

// Steps that only select never keep the mark: back where every node is as saved, the scene
// is unmodified, whatever selection steps lie between.
TEST_F(SceneTest, SelectionStepsLeaveTheModifiedMarkAlone)
{
    struct Case {
        const char* what;
        const char* steps;  // s: a selection step, e: an edit step, u: undo, r: redo, v: save
        bool modified;
    };
    const Case cases[] = {
        {"search, edit, undo", "seu", false},
        {"search, edit, undo both", "seuu", false},
        {"edit, undo, search", "eus", false},
        {"saved after a search, its undo", "svu", false},
        {"edit, search", "es", true},
        {"edit, save, search, undo the search", "evsu", false},
        {"edit, save, undo, search", "evus", true},
        {"search, edit, undo, redo", "seur", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        theHold.Clear();
        scene.SetModified(false);
        for (const char* step = c.steps; *step; ++step) {
            if (*step == 's') {
                theHold.Begin();
                if (scene.IsSelected(a))
                    scene.ClearSelection();
                else
                    Select({a});
                theHold.Accept("Search & Select");
            }
            if (*step == 'e') RenameAsStep(c1, std::string(c1->NodeName()).append("+").c_str());
            if (*step == 'u') theHold.Undo();
            if (*step == 'r') theHold.Redo();
            if (*step == 'v') scene.SetModified(false);
        }
        EXPECT_EQ(c.modified, scene.Modified());
    }
}

TEST_F(SceneTest, CollectsDepthFirstNodeBeforeChildren)
{
    NodeTab nodes;
    nodes.Append(scene.Root());
    scene.CollectNodes(nodes);
    EXPECT_EQ((NameList{"a", "a1", "a2", "b", "c", "c1"}), Names(nodes));
}

// The order is kept between collections: every change of the tree must show in the next.
TEST_F(SceneTest, CollectionFollowsEveryChangeOfTheTree)
{
    const struct {
        const char* what;
        std::function<void()> change;
        NameList expected;
    } steps[] = {
        {"nothing", [] {}, {"a", "a1", "a2", "b", "c", "c1"}},
        {"a child of an early node", [this] { scene.CreateNode(a1, "a1x"); },
         {"a", "a1", "a1x", "a2", "b", "c", "c1"}},
        {"a top-level node", [this] { scene.CreateNode(nullptr, "d"); },
         {"a", "a1", "a1x", "a2", "b", "c", "c1", "d"}},
        {"a rename", [this] { b->SetName("b2"); }, {"a", "a1", "a1x", "a2", "b2", "c", "c1", "d"}},
        {"a new scene in its place",
         [this] {
             ASSERT_TRUE(scene.Clear());
             scene.CreateNode(scene.CreateNode(nullptr, "x"), "y");
         },
         {"x", "y"}},
        {"cleared", [this] { ASSERT_TRUE(scene.Clear()); }, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        NodeTab nodes;
        scene.CollectNodes(nodes);
        EXPECT_EQ(step.expected, Names(nodes));
        scene.CollectNodes(nodes);
        EXPECT_EQ(step.expected, Names(nodes)) << "collected again";
    }
}

// A reader notes the latest version and later tells the nodes written or made since.
TEST_F(SceneTest, TextVersionsTellWhatWasWrittenOrMadeSinceAReading)
{
    Scene other;
    SceneNode* elsewhere = other.CreateNode(nullptr, "x", "k=1");
    const std::uint64_t noted = Scene::LatestVersion();
    CStr swapped("k=3");
    const struct {
        const char* what;
        std::function<SceneNode*()> change;  // the node it concerns
        bool later;
    } cases[] = {
        {"untouched", [this] { return a2; }, false},
        {"renamed", [this] { b->SetName("b+"); return b; }, false},
        {"written", [this] { a1->SetUserPropText("k=2"); return a1; }, true},
        {"written the same text", [this] { c->SetUserPropText(c->UserPropText()); return c; }, true},
        {"swapped", [&] { c1->SwapUserPropText(swapped); return c1; }, true},
        {"made", [this] { return scene.CreateNode(a, "new", "k=4"); }, true},
        {"untouched in another scene", [&] { return elsewhere; }, false},
        {"made in another scene", [&] { return other.CreateNode(nullptr, "y"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SceneNode* node = c.change();
        EXPECT_EQ(node->TextVersion() > noted, c.later);
        EXPECT_LE(node->TextVersion(), Scene::LatestVersion());
    }
}

// The history's size of a text step through its undo and redo: the same whether the writer
// gave the texts' lengths or they are read from the texts.
TEST_F(SceneTest, TextStepSizeFollowsTheTextHeldWithOrWithoutLengthsGiven)
{
    const std::string before = "LOD=1\r\ngroup=a", after = "LOD=1";
    const TextLengths given = {static_cast<int>(before.size()), static_cast<int>(after.size())};
    for (const TextLengths& lengths : {TextLengths(), given}) {
        SCOPED_TRACE(lengths.before);
        a->SetUserPropText(before.c_str());
        theHold.Clear();
        theHold.Begin();
        CStr text(after.c_str());
        ASSERT_TRUE(PutNodeText(a, text, lengths));
        theHold.Accept("edit");
        const size_t standing = theHold.HeldBytes();
        ASSERT_TRUE(theHold.Undo());
        EXPECT_EQ(std::string(a->UserPropText().data()), before);
        EXPECT_EQ(theHold.HeldBytes() + before.size(), standing + after.size());
        ASSERT_TRUE(theHold.Redo());
        EXPECT_EQ(std::string(a->UserPropText().data()), after);
        EXPECT_EQ(theHold.HeldBytes(), standing);
    }
}

TEST_F(SceneTest, SelectionKeepsOrderWithoutDuplicates)
{
    Select({c1, a, nullptr, scene.Root(), c1, b});
    EXPECT_EQ((NameList{"c1", "a", "b"}), Selection());
    Select({a2, a});
    EXPECT_EQ((NameList{"c1", "a", "b", "a2"}), Selection());
    EXPECT_TRUE(scene.IsSelected(a2));
    EXPECT_FALSE(scene.IsSelected(a1));
    EXPECT_FALSE(scene.IsSelected(nullptr));

    Select({a, c}, false);
    EXPECT_EQ((NameList{"c1", "b", "a2"}), Selection());

    NodeTab replacement;
    Fill(replacement, {c, c, a1});
    scene.SetSelection(replacement);
    EXPECT_EQ((NameList{"c", "a1"}), Selection());

    scene.ClearSelection();
    EXPECT_EQ(0, scene.SelectedCount());
}

// Each node knows whether it is selected: the answer holds after every kind of change.
TEST_F(SceneTest, EveryNodeKnowsWhetherItIsSelected)
{
    auto expectFlags = [&](const char* after) {
        for (SceneNode* node : {a, a1, a2, b, c, c1}) {
            bool listed = false;
            for (int i = 0; i < scene.SelectedCount(); ++i) listed |= scene.SelectedNode(i) == node;
            EXPECT_EQ(listed, scene.IsSelected(node)) << node->NodeName() << " after " << after;
            EXPECT_EQ(listed, node->IsSelected()) << node->NodeName() << " after " << after;
        }
    };
    theHold.Begin();
    Select({c1, a, c1});
    expectFlags("select");
    Select({a, b}, false);
    expectFlags("deselect");
    scene.ClearSelection();
    Select({a2, c});
    theHold.Accept("Select");
    expectFlags("a step");
    ASSERT_TRUE(theHold.Undo());
    expectFlags("undo");
    ASSERT_TRUE(theHold.Redo());
    expectFlags("redo");
    NodeTab picked;
    Fill(picked, {b, b, a1, scene.Root()});
    scene.PickNodes(picked);
    expectFlags("pick");
    EXPECT_FALSE(scene.IsSelected(scene.Root()));
}

TEST_F(SceneTest, NodesOfAnotherSceneAreNotSelected)
{
    Scene other;
    SceneNode* stranger = other.CreateNode(nullptr, "stranger");
    Select({stranger, a});
    EXPECT_EQ((NameList{"a"}), Selection());
}

TEST_F(SceneTest, ObserverHearsEachChangeOnceAndNoOpsNever)
{
    Select({a, b});
    EXPECT_EQ(1, observer.selectionChanges);
    Select({a, b});
    Select({c}, false);
    NodeTab same;
    Fill(same, {a, b});
    scene.SetSelection(same);
    EXPECT_EQ(1, observer.selectionChanges);

    scene.ClearSelection();
    EXPECT_EQ(2, observer.selectionChanges);
    scene.ClearSelection();
    EXPECT_EQ(2, observer.selectionChanges);
}

TEST_F(SceneTest, SelectionInsideHoldUndoesAndRedoesExactly)
{
    Select({c, a, b});
    theHold.Begin();
    scene.ClearSelection();
    Select({a2, c1});
    theHold.Accept("Select");
    ASSERT_EQ(1, theHold.UndoCount());
    EXPECT_STREQ("Select", theHold.UndoName());
    EXPECT_EQ(2, theHold.RecordCount(0));

    int changes = observer.selectionChanges;
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ((NameList{"c", "a", "b"}), Selection());
    EXPECT_GT(observer.selectionChanges, changes);
    EXPECT_EQ(0, theHold.UndoCount());

    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ((NameList{"a2", "c1"}), Selection());
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ((NameList{"c", "a", "b"}), Selection());
}

// A user's click while a command waits for an answer is not the command's to undo or cancel.
TEST_F(SceneTest, PickIsNeverRecordedEvenWhileAGroupIsOpen)
{
    Select({a});
    theHold.Begin();
    NodeTab picked;
    Fill(picked, {c, b, c});
    int changes = observer.selectionChanges;
    scene.PickNodes(picked);
    EXPECT_EQ((NameList{"c", "b"}), Selection());
    EXPECT_EQ(changes + 1, observer.selectionChanges);
    theHold.Cancel();
    EXPECT_EQ((NameList{"c", "b"}), Selection()) << "cancelling the command keeps the pick";

    theHold.Begin();
    Select({a2});
    scene.PickNodes(picked);
    theHold.Accept("Select");
    ASSERT_EQ(1, theHold.RecordCount(0)) << "only the command's own change";
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ((NameList{"c", "b"}), Selection());
}

TEST_F(SceneTest, SelectionOutsideHoldOrUnchangedRecordsNothing)
{
    Select({a});
    EXPECT_EQ(0, theHold.UndoCount());

    theHold.Begin();
    Select({a});
    Select({b}, false);
    theHold.Accept("Nothing");
    EXPECT_EQ(0, theHold.UndoCount());
}

TEST_F(SceneTest, CancelRestoresSelection)
{
    Select({a, b});
    theHold.Begin();
    Select({c});
    theHold.Cancel();
    EXPECT_EQ((NameList{"a", "b"}), Selection());
    EXPECT_EQ(0, theHold.UndoCount());
}

TEST_F(SceneTest, ClearRefusedWhileHolding)
{
    theHold.Begin();
    EXPECT_FALSE(scene.Clear());
    theHold.Cancel();
    EXPECT_EQ(6, scene.NodeCount());
    EXPECT_EQ(0, observer.rebuilds);
}

TEST_F(SceneTest, ClearEmptiesSceneSelectionAndHold)
{
    theHold.Begin();
    Select({a, c1});
    theHold.Accept("Select");
    ASSERT_EQ(1, theHold.UndoCount());

    ASSERT_TRUE(scene.Clear());
    EXPECT_EQ(0, scene.NodeCount());
    EXPECT_EQ(0, scene.Root()->ChildCount());
    EXPECT_EQ(0, scene.SelectedCount());
    EXPECT_EQ(0, theHold.UndoCount());
    EXPECT_FALSE(theHold.Undo());
    EXPECT_FALSE(scene.Modified());
    EXPECT_EQ(1, observer.rebuilds);
    EXPECT_EQ(2, observer.selectionChanges);

    SceneNode* fresh = scene.CreateNode(nullptr, "fresh");
    EXPECT_EQ(fresh, scene.Root()->Child(0));
}

TEST(SceneLifetime, UndoAfterSceneDestroyedIsHarmless)
{
    theHold.Clear();
    {
        Scene scene;
        SceneNode* node = scene.CreateNode(nullptr, "n");
        NodeTab nodes;
        nodes.Append(node);
        theHold.Begin();
        scene.SelectNodes(nodes, true);
        theHold.Accept("Select");
    }
    EXPECT_TRUE(theHold.Undo());
    EXPECT_TRUE(theHold.Redo());
    theHold.Clear();
}

TEST(SceneLifetime, DeepChainIsDestroyedWithoutRecursion)
{
    const int depth = 200000;
    {
        Scene scene;
        SceneNode* parent = nullptr;
        for (int i = 0; i < depth; ++i) parent = scene.CreateNode(parent, "n");
        EXPECT_EQ(depth, parent->Depth());
        EXPECT_EQ(depth, scene.NodeCount());
        NodeTab nodes;
        scene.CollectNodes(nodes);
        EXPECT_EQ(depth, nodes.Count());
        ASSERT_TRUE(scene.Clear());
        EXPECT_EQ(0, scene.NodeCount());
        parent = nullptr;
        for (int i = 0; i < depth; ++i) parent = scene.CreateNode(parent, "n");
    }
}
