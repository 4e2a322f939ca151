// No failure escapes an entry from the system or from another module: it is reported, an
// undo group it left open is cancelled, and the windows go on working.
#include "scenehost_fixture.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "guard.h"
#include "scriptrunner.h"

namespace {
std::atomic<int> failingAllocation{0};  // counted from 1; 0: none fails
}  // namespace

// The program's allocations, with one that fails when a test asks for it.
void* operator new(std::size_t size)
{
    if (failingAllocation > 0 && --failingAllocation == 0) throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
// The pair of the above: its memory comes from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wunknown-warning-option"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace scenehost {
namespace {

const char kOutOfMemory[] = "Out of memory: the last action was undone";

struct Reported {
    int count = 0;
    Failure failure = Failure::kError;
    std::string detail;
};

void Record(Failure failure, const char* detail, void* context)
{
    auto* reported = static_cast<Reported*>(context);
    ++reported->count;
    reported->failure = failure;
    reported->detail = detail ? detail : "(none)";
}

class CountedChange : public RestoreObj {
public:
    explicit CountedChange(int& undone) : undone_(undone) {}
    void UndoChange(int) override { ++undone_; }
    void RedoChange() override {}

private:
    int& undone_;
};

TEST(Guard, AFailureIsReportedAndCancelsTheGroupsItOpened)
{
    const struct {
        const char* name;
        int outerGroups;  // open before the guarded call
        void (*fail)();
        int result;
        Failure failure;
        const char* detail;
    } cases[] = {
        {"no failure", 0, [] {}, 7, Failure::kError, ""},
        {"out of memory", 0, [] { throw std::bad_alloc(); }, -1, Failure::kOutOfMemory, "(none)"},
        {"an error", 0, [] { throw std::runtime_error("disk gone"); }, -1, Failure::kError,
         "disk gone"},
        {"anything thrown", 0, [] { throw 42; }, -1, Failure::kError, "(none)"},
        {"inside a group", 1, [] { throw std::bad_alloc(); }, -1, Failure::kOutOfMemory, "(none)"},
    };
    for (const auto& c : cases) {
        Reported reported;
        SetFailureReporter(Record, &reported);
        int undone = 0;
        const int undoSteps = theHold.UndoCount();
        for (int i = 0; i < c.outerGroups; ++i) theHold.Begin();
        const int result = Guarded(-1, [&] {
            theHold.Begin();
            theHold.Begin();
            theHold.Put(new CountedChange(undone));
            c.fail();
            theHold.Accept("inner");
            theHold.Accept("outer");
            return 7;
        });
        SetFailureReporter(nullptr, nullptr);
        const bool failed = result != 7;
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(reported.count, failed ? 1 : 0) << c.name;
        if (failed) {
            EXPECT_EQ(reported.failure, c.failure) << c.name;
            EXPECT_EQ(reported.detail, c.detail) << c.name;
        }
        EXPECT_EQ(theHold.Holding(), c.outerGroups) << c.name << ": the caller's groups stay";
        EXPECT_EQ(undone, failed ? 1 : 0) << c.name << ": what the failed call changed is put back";
        while (theHold.Holding()) theHold.Cancel();
        if (failed) {
            EXPECT_EQ(theHold.UndoCount(), undoSteps) << c.name << ": no step was made";
        }
        theHold.Clear();
    }
}

// Stands for a plug-in's callback: the host calls it after every change of the selection.
class FailingCallback : public HostCallback {
public:
    void Notify(Interface*) override
    {
        ++heard;
        if (fail) failingAllocation = 1;
        std::vector<int> list(64);
        ++finished;
    }
    bool fail = false;
    int heard = 0;
    int finished = 0;
};

class Failures : public SceneHostTest {};

TEST_F(Failures, AFailingAllocationInAPluginsNotifyIsReportedAndTheHostGoesOn)
{
    FailingCallback failing;
    FailingCallback after;
    failing.fail = true;
    CoreInterface& core = CoreInterface::Instance();
    core.RegisterCallback(&failing);
    core.RegisterCallback(&after);
    Pick(kLamp);
    PumpMessages();
    core.UnregisterCallback(&failing);
    core.UnregisterCallback(&after);
    EXPECT_GE(failing.heard, 1);
    EXPECT_EQ(failing.finished, 0) << "the allocation failed";
    EXPECT_EQ(after.finished, after.heard) << "the next callback is still called";
    EXPECT_GE(after.heard, 1);
    EXPECT_EQ(Status(), kOutOfMemory);

    Command(IDM_EDIT_SELECT_ALL);
    EXPECT_EQ(Status(), "Selected 7 objects.") << "the host goes on";
}

TEST_F(Failures, AFailingAllocationInAWindowProcedureIsReportedAndTheWindowGoesOn)
{
    // Each of the first allocations of the command fails in turn.
    for (const int allocation : {1, 2, 3}) {
        Command(IDM_EDIT_SELECT_NONE);
        CoreInterface::Instance().ShowStatus("");
        failingAllocation = allocation;
        Command(IDM_EDIT_SELECT_ALL);
        failingAllocation = 0;
        EXPECT_EQ(Status(), kOutOfMemory) << "allocation " << allocation;
        EXPECT_EQ(theHold.Holding(), 0) << "allocation " << allocation << ": no group is left open";
        Command(IDM_EDIT_TOGGLE_HIDDEN);
        EXPECT_EQ(Status(), "Hid 5 and unhid 2 objects.")
            << "allocation " << allocation << ": the window goes on";
        Command(IDM_EDIT_UNDO);
        ExpectRowsMatchTheScene("after the failure");
    }
}

TEST_F(Failures, AScriptStopsAtACommandThatFailedMidway)
{
    FailingCallback failing;
    failing.fail = true;
    std::vector<ScriptCommand> commands;
    ScriptSyntaxError syntax;
    ASSERT_TRUE(ParseScript("expect selection\nselect Lamp\nselect Base\n", commands, syntax));
    ScriptRunner runner(App(), TestFolder());
    CoreInterface::Instance().RegisterCallback(&failing);
    const ScriptOutcome outcome = runner.Run(commands, deskPath);
    CoreInterface::Instance().UnregisterCallback(&failing);
    EXPECT_EQ(outcome.code, kExitError);
    EXPECT_EQ(outcome.line, 2) << "the command that failed, not a later one";
    EXPECT_EQ(outcome.message, kOutOfMemory);
}

}  // namespace
}  // namespace scenehost
