#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "guard.h"
#include "hold.h"

namespace {

// Logs every call as "<name>.<call>" into a shared journal.
class LoggingRecord : public RestoreObj {
public:
    LoggingRecord(const char* name, std::vector<std::string>& log, int& destroyed)
        : name_(name), log_(log), destroyed_(destroyed)
    {
    }
    ~LoggingRecord() override { ++destroyed_; }

    void UndoChange(int saveRedo) override
    {
        log_.push_back(name_ + ".undo" + std::to_string(saveRedo));
    }
    void RedoChange() override { log_.push_back(name_ + ".redo"); }
    void HoldEnded() override { log_.push_back(name_ + ".ended"); }

private:
    std::string name_;
    std::vector<std::string>& log_;
    int& destroyed_;
};

// A record whose undo and redo make a change of their own under a group of their own, as a
// command reused by the undo code would.
class ReenteringRecord : public RestoreObj {
public:
    ReenteringRecord(std::vector<std::string>& log, int& destroyed)
        : log_(log), destroyed_(destroyed)
    {
    }
    ~ReenteringRecord() override { ++destroyed_; }
    void UndoChange(int) override { Reenter("reenter.undo"); }
    void RedoChange() override { Reenter("reenter.redo"); }

private:
    void Reenter(const char* entry)
    {
        theHold.Begin();
        theHold.Put(new LoggingRecord("inner", log_, destroyed_));
        theHold.Accept("Inner");
        EXPECT_FALSE(theHold.Undo());
        log_.push_back(entry);
    }

    std::vector<std::string>& log_;
    int& destroyed_;
};

class HoldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        theHold.Clear();
        ASSERT_FALSE(theHold.Holding());
        ASSERT_EQ(0, theHold.UndoCount());
        ASSERT_EQ(0, theHold.RedoCount());
    }
    void TearDown() override
    {
        theHold.Clear();
        EXPECT_FALSE(theHold.Holding());
    }

    RestoreObj* Record(const char* name) { return new LoggingRecord(name, log, destroyed); }

    // One accepted step holding records named after the given ones.
    void MakeStep(const char* stepName, std::initializer_list<const char*> records)
    {
        theHold.Begin();
        for (const char* name : records) theHold.Put(Record(name));
        theHold.Accept(stepName);
    }

    std::vector<std::string> log;
    int destroyed = 0;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(HoldTest, UndoRunsRecordsInReverseAndRedoInOrder)
{
    MakeStep("Move", {"a", "b", "c"});
    EXPECT_EQ((Log{"a.ended", "b.ended", "c.ended"}), log);
    EXPECT_EQ(1, theHold.UndoCount());
    EXPECT_EQ(3, theHold.RecordCount(0));
    log.clear();

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ((Log{"c.undo1", "b.undo1", "a.undo1"}), log);
    EXPECT_EQ(0, theHold.UndoCount());
    EXPECT_EQ(1, theHold.RedoCount());
    EXPECT_STREQ("Move", theHold.RedoName());
    EXPECT_STREQ("", theHold.UndoName());
    log.clear();

    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ((Log{"a.redo", "b.redo", "c.redo"}), log);
    EXPECT_STREQ("Move", theHold.UndoName());
    EXPECT_STREQ("", theHold.RedoName());
    EXPECT_EQ(0, destroyed);
}

TEST_F(HoldTest, StepsStackNewestFirst)
{
    MakeStep("First", {"a"});
    MakeStep("Second", {"b", "c"});
    EXPECT_EQ(2, theHold.UndoCount());
    EXPECT_STREQ("Second", theHold.UndoName());
    EXPECT_EQ(2, theHold.RecordCount(0));
    EXPECT_EQ(1, theHold.RecordCount(1));
    EXPECT_EQ(-1, theHold.RecordCount(2));
    EXPECT_EQ(-1, theHold.RecordCount(-1));

    ASSERT_TRUE(theHold.Undo());
    EXPECT_STREQ("First", theHold.UndoName());
    EXPECT_STREQ("Second", theHold.RedoName());
}

TEST_F(HoldTest, AcceptKeepsItsOwnCopyOfTheName)
{
    char* name = new char[16];
    strcpy(name, "Rename");
    theHold.Begin();
    theHold.Put(Record("a"));
    theHold.Accept(name);
    strcpy(name, "Changed");
    EXPECT_STREQ("Rename", theHold.UndoName());
    delete[] name;
    EXPECT_STREQ("Rename", theHold.UndoName());

    theHold.Begin();
    theHold.Put(Record("b"));
    theHold.Accept(nullptr);
    EXPECT_STREQ("", theHold.UndoName());
}

TEST_F(HoldTest, NewStepDropsTheRedoStack)
{
    MakeStep("One", {"a", "b"});
    ASSERT_TRUE(theHold.Undo());
    ASSERT_EQ(1, theHold.RedoCount());

    MakeStep("Two", {"c"});
    EXPECT_EQ(0, theHold.RedoCount());
    EXPECT_EQ(2, destroyed);
    EXPECT_FALSE(theHold.Redo());
}

TEST_F(HoldTest, CancelUndoesWithoutRedoInReverseAndDeletes)
{
    theHold.Begin();
    theHold.Put(Record("a"));
    theHold.Put(Record("b"));
    theHold.Cancel();
    EXPECT_EQ((Log{"b.undo0", "a.undo0"}), log);
    EXPECT_EQ(2, destroyed);
    EXPECT_FALSE(theHold.Holding());
    EXPECT_EQ(0, theHold.UndoCount());
}

TEST_F(HoldTest, CancelOfInnerGroupKeepsOuterRecords)
{
    theHold.Begin();
    theHold.Put(Record("outer"));
    theHold.Begin();
    theHold.Put(Record("inner"));
    theHold.Cancel();
    EXPECT_EQ((Log{"inner.undo0"}), log);
    EXPECT_EQ(1, theHold.Holding());
    theHold.Accept("Outer");
    EXPECT_EQ(1, theHold.RecordCount(0));
}

TEST_F(HoldTest, PutOutsideAGroupDeletesAtOnce)
{
    theHold.Put(Record("lost"));
    EXPECT_EQ(1, destroyed);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(0, theHold.UndoCount());
    theHold.Put(nullptr);
}

TEST_F(HoldTest, NestedGroupsMakeOneStep)
{
    theHold.Begin();
    theHold.Put(Record("a"));
    theHold.Begin();
    EXPECT_EQ(2, theHold.Holding());
    theHold.Put(Record("b"));
    theHold.Accept("Inner");
    EXPECT_EQ(1, theHold.Holding());
    EXPECT_EQ(0, theHold.UndoCount());
    theHold.Put(Record("c"));
    theHold.Accept("Outer");
    EXPECT_EQ(0, theHold.Holding());
    ASSERT_EQ(1, theHold.UndoCount());
    EXPECT_STREQ("Outer", theHold.UndoName());
    EXPECT_EQ(3, theHold.RecordCount(0));
}

TEST_F(HoldTest, EmptyGroupMakesNoStepAndKeepsRedo)
{
    MakeStep("Kept", {"a"});
    ASSERT_TRUE(theHold.Undo());
    theHold.Begin();
    theHold.Accept("Nothing");
    EXPECT_EQ(0, theHold.UndoCount());
    EXPECT_EQ(1, theHold.RedoCount());
    EXPECT_EQ(0, destroyed);
}

TEST_F(HoldTest, UndoAndRedoRefusedWhileHoldingOrEmpty)
{
    EXPECT_FALSE(theHold.Undo());
    EXPECT_FALSE(theHold.Redo());

    MakeStep("Step", {"a"});
    theHold.Begin();
    EXPECT_FALSE(theHold.Undo());
    theHold.Accept("Empty");
    ASSERT_TRUE(theHold.Undo());
    theHold.Begin();
    EXPECT_FALSE(theHold.Redo());
    theHold.Cancel();
    EXPECT_TRUE(theHold.Redo());
}

TEST_F(HoldTest, AcceptAndCancelWithoutGroupAreIgnored)
{
    MakeStep("Step", {"a"});
    theHold.Accept("Stray");
    theHold.Cancel();
    EXPECT_EQ(0, theHold.Holding());
    EXPECT_EQ(1, theHold.UndoCount());
    EXPECT_STREQ("Step", theHold.UndoName());
}

TEST_F(HoldTest, ClearDeletesEveryRecordAndClosesGroups)
{
    MakeStep("One", {"a"});
    MakeStep("Two", {"b"});
    ASSERT_TRUE(theHold.Undo());
    theHold.Begin();
    theHold.Put(Record("open"));
    theHold.Clear();
    EXPECT_EQ(3, destroyed);
    EXPECT_TRUE(log == (Log{"a.ended", "b.ended", "b.undo1"}));
    EXPECT_EQ(0, theHold.Holding());
    EXPECT_EQ(0, theHold.UndoCount());
    EXPECT_EQ(0, theHold.RedoCount());
}

TEST_F(HoldTest, ChangesMadeByUndoAndRedoAreNotRecorded)
{
    MakeStep("Before", {"a"});
    theHold.Begin();
    theHold.Put(new ReenteringRecord(log, destroyed));
    theHold.Accept("Reenter");
    log.clear();

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ((Log{"reenter.undo"}), log);
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ(0, theHold.Holding());
    EXPECT_EQ(1, theHold.UndoCount());
    EXPECT_STREQ("Before", theHold.UndoName());
    EXPECT_STREQ("Reenter", theHold.RedoName());

    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(2, destroyed);
    EXPECT_EQ(2, theHold.UndoCount());
    EXPECT_STREQ("Reenter", theHold.UndoName());
    EXPECT_EQ(1, theHold.RecordCount(0));
}

TEST_F(HoldTest, ChangesMadeByCancelAreNotRecorded)
{
    theHold.Begin();
    theHold.Put(Record("outer"));
    theHold.Begin();
    theHold.Put(new ReenteringRecord(log, destroyed));
    theHold.Cancel();
    EXPECT_EQ(2, destroyed);  // the cancelled record and the one it made
    EXPECT_EQ(1, theHold.Holding());
    theHold.Accept("Outer");
    EXPECT_EQ(1, theHold.RecordCount(0));
}

class CountingObserver : public HoldObserver {
public:
    void GroupOpened() noexcept override { ++groups; }
    void StepAccepted() noexcept override
    {
        ++steps;
        holdingWhenTold = theHold.Holding();
    }
    void GroupClosed() noexcept override
    {
        journal += "closed ";
        EXPECT_EQ(0, theHold.Holding());
    }
    void StepRunning() noexcept override { journal += "running "; }
    void StepRan() noexcept override
    {
        journal += "ran ";
        stepsWhenRan = theHold.UndoCount() + theHold.RedoCount();
    }
    int groups = 0;
    int stepsWhenRan = -1;
    int steps = 0;
    int holdingWhenTold = -1;
    std::string journal;
};

TEST_F(HoldTest, ObserverHearsOfEachStepOnceItsGroupIsClosed)
{
    CountingObserver observer;
    theHold.AddObserver(&observer);
    MakeStep("Outer", {"a"});
    EXPECT_EQ(1, observer.steps);
    EXPECT_EQ(0, observer.holdingWhenTold);

    theHold.Begin();
    theHold.Begin();
    theHold.Put(Record("b"));
    theHold.Accept("Inner");
    EXPECT_EQ(1, observer.steps) << "an inner group makes no step";
    theHold.Accept("Outer");
    EXPECT_EQ(2, observer.steps);

    MakeStep("Empty", {});
    theHold.Begin();
    theHold.Put(Record("c"));
    theHold.Cancel();
    EXPECT_EQ(2, observer.steps) << "neither an empty group nor a cancelled one is a step";

    EXPECT_EQ(4, observer.groups) << "an inner group is no group of its own";

    theHold.RemoveObserver(&observer);
    MakeStep("Unheard", {"d"});
    EXPECT_EQ(2, observer.steps);
    EXPECT_EQ(4, observer.groups);
}

// The host gathers the scene's changes until a group closes, however it closes, and until
// an undo or redo has run all its records.
TEST_F(HoldTest, ObserverHearsWhenEveryGroupClosesAndAroundUndoAndRedo)
{
    CountingObserver observer;
    theHold.AddObserver(&observer);
    MakeStep("Step", {"a"});
    MakeStep("Empty", {});
    theHold.Begin();
    theHold.Begin();
    theHold.Put(Record("b"));
    theHold.Cancel();
    EXPECT_EQ("closed closed ", observer.journal) << "an inner group closes nothing";
    theHold.Cancel();
    theHold.Begin();
    theHold.Clear();
    EXPECT_EQ("closed closed closed closed ", observer.journal);

    observer.journal.clear();
    MakeStep("Step", {"c"});
    observer.journal.clear();
    ASSERT_TRUE(theHold.Undo());
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ("running ran running ran ", observer.journal);
    EXPECT_EQ(1, observer.stepsWhenRan) << "the step is on a stack again when the observer hears";
    EXPECT_FALSE(theHold.Redo());
    EXPECT_EQ("running ran running ran ", observer.journal) << "nothing run, nothing said";
    theHold.RemoveObserver(&observer);
}

// A record that reports size bytes and can be made to fail for memory as it runs.
class SizedRecord : public LoggingRecord {
public:
    SizedRecord(const char* name, int size, bool& fail, std::vector<std::string>& log,
                int& destroyed)
        : LoggingRecord(name, log, destroyed), size_(size), fail_(fail)
    {
    }
    int SizeHint() override { return size_; }
    void UndoChange(int saveRedo) override
    {
        if (fail_) throw std::bad_alloc();
        LoggingRecord::UndoChange(saveRedo);
    }
    void RedoChange() override
    {
        if (fail_) throw std::bad_alloc();
        LoggingRecord::RedoChange();
    }

private:
    int size_;
    bool& fail_;
};

// The history keeps within its budget by dropping the oldest steps, never the newest.
TEST_F(HoldTest, MemoryBudgetDropsTheOldestSteps)
{
    struct Case {
        const char* what;
        std::size_t budget;
        std::vector<int> sizes;  // one step of one record each
        int kept;
        int dropped;
    };
    const std::vector<Case> cases = {
        {"no limit", 0, {1000, 1000, 1000}, 3, 0},
        {"all fit", 4000, {1000, 1000, 1000}, 3, 0},
        {"the oldest goes", 2500, {1000, 1000, 1000}, 2, 1},
        {"a step past the budget on its own stays", 100, {1000, 5000}, 1, 1},
    };
    bool fail = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        theHold.Clear();
        theHold.TakeDroppedSteps();
        destroyed = 0;
        theHold.SetMemoryBudget(c.budget);
        for (int size : c.sizes) {
            theHold.Begin();
            theHold.Put(new SizedRecord("r", size, fail, log, destroyed));
            theHold.Accept("Step");
        }
        EXPECT_EQ(c.kept, theHold.UndoCount());
        EXPECT_EQ(c.dropped, theHold.TakeDroppedSteps());
        EXPECT_EQ(0, theHold.TakeDroppedSteps()) << "told once";
        EXPECT_TRUE(c.budget == 0 || c.kept == 1 || theHold.HeldBytes() <= c.budget);
        EXPECT_EQ(static_cast<int>(c.sizes.size()) - c.kept, destroyed);
    }
    theHold.SetMemoryBudget(0);
}

void CountFailure(Failure failure, const char*, void* context)
{
    if (failure == Failure::kOutOfMemory) ++*static_cast<int*>(context);
}

// An undo or a redo that runs out of memory midway leaves its step whole where it was, says
// so, and can be tried again.
TEST_F(HoldTest, AStepThatFailsMidwayStandsAsItWas)
{
    bool fail = false;
    int reported = 0;
    SetFailureReporter(CountFailure, &reported);
    theHold.Begin();
    theHold.Put(Record("a"));
    theHold.Put(new SizedRecord("b", 1, fail, log, destroyed));
    theHold.Put(Record("c"));
    theHold.Accept("Step");
    log.clear();
    fail = true;
    EXPECT_FALSE(theHold.Undo());
    EXPECT_EQ((Log{"c.undo1", "c.redo"}), log) << "what was undone is redone";
    EXPECT_EQ(1, theHold.UndoCount());
    fail = false;
    ASSERT_TRUE(theHold.Undo());
    log.clear();
    fail = true;
    EXPECT_FALSE(theHold.Redo());
    EXPECT_EQ((Log{"a.redo", "a.undo1"}), log) << "what was redone is undone";
    EXPECT_EQ(1, theHold.RedoCount());
    EXPECT_EQ(2, reported);
    fail = false;
    EXPECT_TRUE(theHold.Redo());
    SetFailureReporter(nullptr, nullptr);
}

// What a failure leaves open is cancelled down to the depth the caller had.
TEST_F(HoldTest, CancelOpenGroupsDownToADepth)
{
    theHold.Begin();
    theHold.Put(Record("kept"));
    theHold.Begin();
    theHold.Begin();
    theHold.Put(Record("gone"));
    EXPECT_TRUE(theHold.CancelOpenGroups(1));
    EXPECT_EQ(1, theHold.Holding());
    EXPECT_EQ((Log{"gone.undo0"}), log);
    EXPECT_TRUE(theHold.CancelOpenGroups());
    EXPECT_EQ(0, theHold.Holding());
    EXPECT_EQ(0, theHold.UndoCount());
}

TEST(RestoreObjDefaults, DescribeSizeAndCommand)
{
    std::vector<std::string> log;
    int destroyed = 0;
    LoggingRecord record("r", log, destroyed);
    EXPECT_STREQ("---", record.Describe().data());
    EXPECT_EQ(1, record.SizeHint());
    EXPECT_EQ(-1, record.Command(1, 2, 3, 4));
    record.HoldEnded();
    EXPECT_EQ((Log{"r.ended"}), log);
}
