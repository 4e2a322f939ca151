#include "hold.h"

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "guard.h"
#include "observers.h"
#include "progress.h"

RestoreObj::RestoreObj() : holdFlags_(0), holdData_(0) {}

RestoreObj::~RestoreObj() = default;

int RestoreObj::SizeHint() { return 1; }

void RestoreObj::HoldEnded() {}

CStr RestoreObj::Describe() { return CStr("---"); }

int RestoreObj::Command(int, intptr_t, intptr_t, intptr_t) { return -1; }

CORE_API Hold theHold;

namespace {

using Records = std::vector<RestoreObj*>;

struct Step {
    CStr name;
    Records records;
    std::uint64_t id = 0;
    std::size_t bytes = 0;
};

// What a record holds beyond what it reports: the record itself and its place in the step.
const std::size_t kRecordOverhead = 64;

std::size_t BytesOf(const Records& records)
{
    std::size_t bytes = 0;
    for (RestoreObj* record : records) {
        const int hint = record->SizeHint();
        bytes += kRecordOverhead + (hint > 0 ? static_cast<std::size_t>(hint) : 0);
    }
    return bytes;
}

std::size_t BytesOf(const std::vector<Step>& steps)
{
    std::size_t bytes = 0;
    for (const Step& step : steps) bytes += step.bytes;
    return bytes;
}

// Keeps Impl::busy set for a scope.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

void DeleteRecords(Records& records)
{
    for (RestoreObj* record : records) delete record;
    records.clear();
}

void DeleteSteps(std::vector<Step>& steps)
{
    for (Step& step : steps) DeleteRecords(step.records);
    steps.clear();
}

// A record that fails while it puts things back is not run again.
void Quietly(RestoreObj* record, bool undo) noexcept
{
    try {
        undo ? record->UndoChange(1) : record->RedoChange();
    } catch (...) {
    }
}

// Undoes the records back to front. When one fails, those undone already are redone, so
// that the step stands whole as it did, and the failure goes on to the caller.
void UndoInReverse(Records& records, int saveRedo)
{
    const std::size_t count = records.size();
    std::size_t done = 0;
    try {
        for (; done < count; ++done) {
            ReportProgress(static_cast<int>(done), static_cast<int>(count));
            records[count - 1 - done]->UndoChange(saveRedo);
        }
    } catch (...) {
        for (std::size_t i = count - done; i < count; ++i) Quietly(records[i], false);
        throw;
    }
}

// Redoes the records in order; when one fails, those redone already are undone again.
void RedoInOrder(Records& records)
{
    const std::size_t count = records.size();
    std::size_t done = 0;
    try {
        for (; done < count; ++done) {
            ReportProgress(static_cast<int>(done), static_cast<int>(count));
            records[done]->RedoChange();
        }
    } catch (...) {
        while (done-- > 0) Quietly(records[done], true);
        throw;
    }
}

// What the host shows when a step could not be made, undone or redone for memory.
void ReportStopped(bool memory) noexcept
{
    ReportFailure(memory ? Failure::kOutOfMemory : Failure::kError, nullptr);
}

// Room for one more step, so that moving a step there after running its records cannot fail.
bool MakeRoom(std::vector<Step>& steps)
{
    try {
        steps.reserve(steps.size() + 1);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

struct Hold::Impl {
    // Room for the usual nesting, so that opening a group does not fail for memory.
    Impl()
    {
        try {
            marks.reserve(16);
        } catch (const std::bad_alloc&) {
        }
    }

    // Moves a finished group onto the undo stack, which ends what could be redone.
    bool Store(Step&& step)
    {
        BusyScope scope(busy);
        DeleteSteps(redo);
        if (!MakeRoom(undo)) {
            // No change stays that no step records.
            for (std::size_t i = step.records.size(); i-- > 0;) Quietly(step.records[i], true);
            DeleteRecords(step.records);
            ReportStopped(true);
            return false;
        }
        step.id = ++lastId;
        step.bytes = BytesOf(step.records);
        undo.push_back(std::move(step));
        KeepWithinBudget();
        return true;
    }

    // Drops the oldest steps while the history holds more than the budget; the newest stays.
    // What lies beneath the oldest step left is then the oldest step dropped.
    void KeepWithinBudget()
    {
        if (budget == 0) return;
        std::size_t held = BytesOf(undo) + BytesOf(redo);
        std::size_t drop = 0;
        while (held > budget && drop + 1 < undo.size()) held -= undo[drop++].bytes;
        if (drop == 0) return;
        for (std::size_t i = 0; i < drop; ++i) DeleteRecords(undo[i].records);
        emptyId = undo[drop - 1].id;
        undo.erase(undo.begin(), undo.begin() + static_cast<std::ptrdiff_t>(drop));
        dropped += static_cast<int>(drop);
    }

    // Makes the closed group's records one undo step; a group without records makes none.
    bool MakeStep(const char* name)
    {
        if (open.empty()) return false;
        Step step{CStr(name), std::move(open)};
        open.clear();
        if (!Store(std::move(step))) return false;
        BusyScope scope(busy);
        for (RestoreObj* record : undo.back().records) record->HoldEnded();
        return true;
    }

    std::vector<Step> undo;
    std::vector<Step> redo;
    Records open;                    // records of the open groups, oldest first
    std::vector<std::size_t> marks;  // where each open group's records start in open
    // Set while records run their own code. A record that changes the scene meanwhile
    // (say the selection, during an undo) must not reach the stacks being worked on.
    bool busy = false;
    ObserverList<HoldObserver> observers;
    std::uint64_t lastId = 0;  // the last identity handed out, to a step or a cleared history
    std::uint64_t emptyId = 0;  // the position of an empty undo stack
    std::size_t budget = 0;     // bytes; 0 for no limit
    int dropped = 0;            // steps dropped for the budget, not yet told
    bool failed = false;        // a record of the open groups could not be kept

    void Tell(void (HoldObserver::*event)() noexcept)
    {
        observers.Tell([event](HoldObserver& observer) { (observer.*event)(); });
    }
    // Runs the newest step of from and moves it onto to, which has room for it.
    bool Run(std::vector<Step>& from, std::vector<Step>& to, bool undoing)
    {
        Step step = std::move(from.back());
        from.pop_back();
        Running();
        bool ran = true, memory = false;
        {
            BusyScope scope(busy);
            try {
                undoing ? UndoInReverse(step.records, 1) : RedoInOrder(step.records);
            } catch (const std::bad_alloc&) {
                ran = false;
                memory = true;
            } catch (...) {
                ran = false;
            }
        }
        step.bytes = BytesOf(step.records);
        (ran ? to : from).push_back(std::move(step));  // from keeps its room
        Ran();
        if (!ran) ReportStopped(memory);
        return ran;
    }
    void Closed() { Tell(&HoldObserver::GroupClosed); }
    void Running() { Tell(&HoldObserver::StepRunning); }
    void Ran() { Tell(&HoldObserver::StepRan); }
};

Hold::Hold() : impl_(new (std::nothrow) Impl) {}

Hold::~Hold()
{
    Clear();
    delete impl_;
}

void Hold::Begin()
{
    if (!impl_ || impl_->busy) return;
    try {
        impl_->marks.push_back(impl_->open.size());
    } catch (const std::bad_alloc&) {
        // Without a mark the group stays closed and later Puts are dropped.
        return;
    }
    if (impl_->marks.size() == 1) impl_->Tell(&HoldObserver::GroupOpened);
}

void Hold::Put(RestoreObj* record)
{
    if (!record) return;
    if (!impl_ || impl_->busy || impl_->marks.empty()) {
        delete record;
        return;
    }
    try {
        impl_->open.push_back(record);
    } catch (const std::bad_alloc&) {
        // The change the record was made for is put back, and the whole group with it.
        {
            BusyScope busy(impl_->busy);
            record->UndoChange(0);
            delete record;
        }
        impl_->failed = true;
    }
}

void Hold::Accept(const char* name)
{
    if (!impl_ || impl_->busy || impl_->marks.empty()) return;
    if (impl_->marks.size() == 1 && impl_->failed) {
        // A step without all its records would undo only part of what was done.
        Cancel();
        ReportStopped(true);
        return;
    }
    impl_->marks.pop_back();
    if (!impl_->marks.empty()) return;
    if (impl_->MakeStep(name)) impl_->Tell(&HoldObserver::StepAccepted);
    impl_->Closed();
}

bool Hold::AddObserver(HoldObserver* observer)
{
    return impl_ && impl_->observers.Add(observer);
}

bool Hold::RemoveObserver(HoldObserver* observer)
{
    return impl_ && impl_->observers.Remove(observer);
}

void Hold::Cancel()
{
    if (!impl_ || impl_->busy || impl_->marks.empty()) return;
    std::size_t mark = impl_->marks.back();
    impl_->marks.pop_back();
    Records& open = impl_->open;
    {
        BusyScope busy(impl_->busy);
        for (std::size_t i = open.size(); i-- > mark;) open[i]->UndoChange(0);
        for (std::size_t i = mark; i < open.size(); ++i) delete open[i];
    }
    open.resize(mark);
    if (impl_->marks.empty()) {
        impl_->failed = false;
        impl_->Closed();
    }
}

bool Hold::CancelOpenGroups(int depth)
{
    if (depth < 0) depth = 0;
    while (Holding() > depth) {
        const int open = Holding();
        Cancel();
        if (Holding() == open) return false;  // an undo or a redo is running
    }
    return true;
}

void Hold::SetMemoryBudget(std::size_t bytes)
{
    if (!impl_) return;
    impl_->budget = bytes;
    if (!impl_->busy) impl_->KeepWithinBudget();
}

std::size_t Hold::MemoryBudget() const { return impl_ ? impl_->budget : 0; }

std::size_t Hold::HeldBytes() const
{
    return impl_ ? BytesOf(impl_->undo) + BytesOf(impl_->redo) : 0;
}

int Hold::TakeDroppedSteps()
{
    if (!impl_) return 0;
    const int dropped = impl_->dropped;
    impl_->dropped = 0;
    return dropped;
}

int Hold::Holding() const { return impl_ ? static_cast<int>(impl_->marks.size()) : 0; }

bool Hold::Restoring() const { return impl_ && impl_->busy; }

std::uint64_t Hold::Position() const
{
    if (!impl_) return 0;
    return impl_->undo.empty() ? impl_->emptyId : impl_->undo.back().id;
}

// A step that fails midway stands as it was, on the stack it came from, and the failure
// is reported.
bool Hold::Undo()
{
    if (!impl_ || impl_->busy || Holding() || impl_->undo.empty()) return false;
    if (!MakeRoom(impl_->redo)) {
        ReportStopped(true);
        return false;
    }
    return impl_->Run(impl_->undo, impl_->redo, true);
}

bool Hold::Redo()
{
    if (!impl_ || impl_->busy || Holding() || impl_->redo.empty()) return false;
    if (!MakeRoom(impl_->undo)) {
        ReportStopped(true);
        return false;
    }
    return impl_->Run(impl_->redo, impl_->undo, false);
}

std::uint64_t Hold::StepPosition(int undoStep) const
{
    if (!impl_ || undoStep < 0 || undoStep > UndoCount()) return 0;
    if (undoStep == UndoCount()) return impl_->emptyId;
    return impl_->undo[impl_->undo.size() - 1 - static_cast<std::size_t>(undoStep)].id;
}

int Hold::UndoCount() const { return impl_ ? static_cast<int>(impl_->undo.size()) : 0; }

int Hold::RedoCount() const { return impl_ ? static_cast<int>(impl_->redo.size()) : 0; }

const char* Hold::UndoName() const
{
    return impl_ && !impl_->undo.empty() ? impl_->undo.back().name.data() : "";
}

const char* Hold::RedoName() const
{
    return impl_ && !impl_->redo.empty() ? impl_->redo.back().name.data() : "";
}

int Hold::RecordCount(int undoStep) const
{
    if (!impl_ || undoStep < 0 || undoStep >= UndoCount()) return -1;
    const Step& step = impl_->undo[impl_->undo.size() - 1 - static_cast<std::size_t>(undoStep)];
    return static_cast<int>(step.records.size());
}

void Hold::Clear()
{
    // A record running its own code must not see itself deleted underneath it.
    if (!impl_ || impl_->busy) return;
    const bool wasHolding = !impl_->marks.empty();
    {
        BusyScope busy(impl_->busy);
        DeleteSteps(impl_->undo);
        DeleteSteps(impl_->redo);
        DeleteRecords(impl_->open);
        impl_->marks.clear();
        impl_->failed = false;
    }
    impl_->emptyId = ++impl_->lastId;
    if (wasHolding) impl_->Closed();
}
