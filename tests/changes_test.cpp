#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "changes.h"
#include "guard.h"
#include "hold.h"
#include "nodetextrestore.h"
#include "scene.h"

// The nothrow allocation counted from 1 that fails; 0: none. Natively the scene's own
// allocations come here; under Windows they are the DLL's own.
namespace {
int failNothrow = 0;
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (failNothrow > 0 && --failNothrow == 0) return nullptr;
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

// Writes each batch as a line: "node NAME", "nodes N", then "selection" and "reload".
class RecordingSink : public ChangeSink {
public:
    void Deliver(const ChangeBatch& batch) noexcept override
    {
        std::string line;
        if (batch.changedNodes == 1) line += std::string("node ") + batch.node->NodeName();
        if (batch.changedNodes > 1) line += "nodes " + std::to_string(batch.changedNodes);
        if (batch.selectionChanged) line += line.empty() ? "selection" : " selection";
        if (batch.reload) line += line.empty() ? "reload" : " reload";
        batches.push_back(line);
    }
    void TextsChanging() noexcept override { ++textsChanging; }
    void SceneRebuilt() noexcept override { batches.push_back("rebuilt"); }

    std::vector<std::string> batches;
    int textsChanging = 0;
};

class StepCounter : public HoldObserver {
public:
    explicit StepCounter(Hold* removeOther = nullptr, HoldObserver* other = nullptr)
        : hold_(removeOther), other_(other)
    {
    }
    void StepAccepted() noexcept override
    {
        ++steps;
        if (hold_) hold_->RemoveObserver(other_);  // while the hold tells
    }
    int steps = 0;

private:
    Hold* hold_;
    HoldObserver* other_;
};

void SetText(SceneNode* node, const char* text)
{
    CStr changed(text);
    PutNodeText(node, changed);
}

using Nodes = std::initializer_list<SceneNode*>;

void Fill(NodeTab& tab, Nodes nodes)
{
    for (SceneNode* node : nodes) tab.Append(node);
}

void Select(Scene& scene, Nodes nodes, bool pick = false)
{
    NodeTab tab;
    Fill(tab, nodes);
    pick ? scene.PickNodes(tab) : scene.SetSelection(tab);
}

HiddenCounts Hide(Scene& scene, Nodes nodes,
                  const std::function<bool(const SceneNode*)>& hidden = [](const SceneNode*) {
                      return true;
                  })
{
    NodeTab tab;
    Fill(tab, nodes);
    return scene.ChangeHidden(tab, hidden, "Hide");
}

class ChangesTest : public ::testing::Test {
public:
    void SetUp() override
    {
        theHold.Clear();
        a = scene.CreateNode(nullptr, "a", "one");
        b = scene.CreateNode(nullptr, "b", "two");
    }
    void TearDown() override { theHold.Clear(); }

    Scene scene;
    RecordingSink sink;
    ChangeGatherer gatherer{scene, sink};
    SceneNode* a = nullptr;
    SceneNode* b = nullptr;
};

// Whatever a step holds reaches the sink as one batch when it ends, and again once for its
// undo and its redo; a change outside a step goes on at once.
TEST_F(ChangesTest, OneBatchPerStep)
{
    struct Case {
        const char* what;
        std::function<void(ChangesTest&)> change;
        std::vector<std::string> batches;
    };
    const std::vector<Case> cases = {
        {"texts and selection in one step",
         [](ChangesTest& t) {
             theHold.Begin();
             SetText(t.a, "x");
             Select(t.scene, {t.a});
             SetText(t.b, "y");
             theHold.Accept("Step");
         },
         {"nodes 2 selection reload"}},
        {"one node changed twice",
         [](ChangesTest& t) {
             theHold.Begin();
             SetText(t.a, "x");
             SetText(t.a, "z");
             theHold.Accept("Step");
         },
         {"node a reload"}},
        {"a hide step leaves the plug-ins alone",
         [](ChangesTest& t) { Hide(t.scene, {t.a, t.b}); },
         {"nodes 2"}},
        {"undo and redo",
         [](ChangesTest& t) {
             theHold.Begin();
             SetText(t.a, "x");
             theHold.Accept("Step");
             t.sink.batches.clear();
             theHold.Undo();
             theHold.Redo();
         },
         {"node a reload", "node a reload"}},
        {"a cancelled group still tells what it changed and put back",
         [](ChangesTest& t) {
             theHold.Begin();
             SetText(t.a, "x");
             theHold.Cancel();
         },
         {"node a"}},
        {"outside a step, at once",
         [](ChangesTest& t) {
             t.a->SetHidden(!t.a->IsHidden());
             Select(t.scene, {t.b}, true);
         },
         {"node a", "selection reload"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sink.batches.clear();
        c.change(*this);
        EXPECT_EQ(c.batches, sink.batches);
        theHold.Clear();
    }
}

// Two observers of the hold hear one step once each, in the order added; one removed while
// the hold tells hears nothing more, and one cannot be added twice.
TEST_F(ChangesTest, TwoObserversHearOneStep)
{
    RecordingSink second;
    ChangeGatherer other(scene, second);
    theHold.Begin();
    SetText(a, "x");
    theHold.Accept("Step");
    EXPECT_EQ(std::vector<std::string>{"node a reload"}, sink.batches);
    EXPECT_EQ(sink.batches, second.batches);

    StepCounter late;
    StepCounter early(&theHold, &late);
    ASSERT_TRUE(theHold.AddObserver(&early));
    ASSERT_TRUE(theHold.AddObserver(&late));
    EXPECT_FALSE(theHold.AddObserver(&early));
    EXPECT_FALSE(theHold.AddObserver(nullptr));
    theHold.Begin();
    SetText(b, "y");
    theHold.Accept("Step");
    EXPECT_EQ(1, early.steps);
    EXPECT_EQ(0, late.steps) << "removed before its turn";
    EXPECT_FALSE(theHold.RemoveObserver(&late));
    EXPECT_TRUE(theHold.RemoveObserver(&early));
}

// Hide/Unhide is one step that counts what it did and undoes whole; nodes of another scene
// are left alone.
TEST_F(ChangesTest, HideAndUnhideAsOneStep)
{
    Scene elsewhere(nullptr);
    SceneNode* stranger = elsewhere.CreateNode(nullptr, "s");
    a->SetHidden(true);
    const HiddenCounts counts =
        Hide(scene, {a, b, stranger}, [](const SceneNode* node) { return !node->IsHidden(); });
    EXPECT_EQ(1, counts.hid);
    EXPECT_EQ(1, counts.unhid);
    EXPECT_FALSE(stranger->IsHidden());
    EXPECT_EQ(1, theHold.UndoCount());
    EXPECT_EQ(2, theHold.RecordCount(0));
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(a->IsHidden());
    EXPECT_FALSE(b->IsHidden());
}

// A Hide whose record cannot be had puts back the nodes it changed, leaves no step and says
// it ran out of memory. Natively only: under Windows the scene allocates in its own DLL.
#if !defined(_WIN32)
TEST_F(ChangesTest, HideOutOfMemoryLeavesEveryNodeAsItWas)
{
    static int memoryReports = 0;
    SetFailureReporter([](Failure f, const char*, void*) { memoryReports += f == Failure::kOutOfMemory; },
                       nullptr);
    SceneNode* c = scene.CreateNode(nullptr, "c");
    failNothrow = 2;
    const HiddenCounts counts = Hide(scene, {a, b, c});
    failNothrow = 0;
    SetFailureReporter(nullptr, nullptr);
    EXPECT_EQ(1, memoryReports);
    EXPECT_EQ(0, counts.hid);
    EXPECT_FALSE(a->IsHidden() || b->IsHidden() || c->IsHidden());
    EXPECT_EQ(0, theHold.UndoCount());
    EXPECT_EQ(0, theHold.Holding());
}
#endif

// A scene with no history records nothing, and clearing it leaves the application's history
// as it was; it still counts as changed by every change.
TEST_F(ChangesTest, ASceneWithoutHistory)
{
    theHold.Begin();
    SetText(a, "x");
    theHold.Accept("Step");

    Scene preview(nullptr);
    SceneNode* p = preview.CreateNode(nullptr, "p", "old");
    preview.SetModified(false);
    theHold.Begin();
    SetText(p, "new");
    Select(preview, {p});
    Hide(preview, {p});
    theHold.Accept("Preview");
    EXPECT_EQ(1, theHold.UndoCount()) << "the preview's changes are in no step";
    EXPECT_STREQ("new", p->UserPropText().data());
    EXPECT_TRUE(p->IsHidden());
    EXPECT_TRUE(preview.Modified());

    EXPECT_TRUE(preview.Clear());
    EXPECT_EQ(1, theHold.UndoCount());
    ASSERT_TRUE(theHold.Undo());
    EXPECT_STREQ("one", a->UserPropText().data());
}

}  // namespace
