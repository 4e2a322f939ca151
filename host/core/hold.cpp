#include "hold.h"

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

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
};

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

void UndoInReverse(Records& records, int saveRedo)
{
    const int count = static_cast<int>(records.size());
    for (int i = count; i-- > 0;) {
        ReportProgress(count - 1 - i, count);
        records[static_cast<std::size_t>(i)]->UndoChange(saveRedo);
    }
}

void RedoInOrder(Records& records)
{
    const int count = static_cast<int>(records.size());
    for (int i = 0; i < count; ++i) {
        ReportProgress(i, count);
        records[static_cast<std::size_t>(i)]->RedoChange();
    }
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
    // Moves a finished group onto the undo stack, which ends what could be redone.
    bool Store(Step&& step)
    {
        BusyScope scope(busy);
        DeleteSteps(redo);
        if (!MakeRoom(undo)) {
            DeleteRecords(step.records);
            return false;
        }
        step.id = ++lastId;
        undo.push_back(std::move(step));
        return true;
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

    void Tell(void (HoldObserver::*event)() noexcept)
    {
        observers.Tell([event](HoldObserver& observer) { (observer.*event)(); });
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
        delete record;
    }
}

void Hold::Accept(const char* name)
{
    if (!impl_ || impl_->busy || impl_->marks.empty()) return;
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
    if (impl_->marks.empty()) impl_->Closed();
}

int Hold::Holding() const { return impl_ ? static_cast<int>(impl_->marks.size()) : 0; }

bool Hold::Restoring() const { return impl_ && impl_->busy; }

std::uint64_t Hold::Position() const
{
    if (!impl_) return 0;
    return impl_->undo.empty() ? impl_->emptyId : impl_->undo.back().id;
}

bool Hold::Undo()
{
    if (!impl_ || impl_->busy || Holding() || impl_->undo.empty()) return false;
    if (!MakeRoom(impl_->redo)) return false;
    Step step = std::move(impl_->undo.back());
    impl_->undo.pop_back();
    impl_->Running();
    {
        BusyScope busy(impl_->busy);
        UndoInReverse(step.records, 1);
    }
    impl_->redo.push_back(std::move(step));
    impl_->Ran();
    return true;
}

bool Hold::Redo()
{
    if (!impl_ || impl_->busy || Holding() || impl_->redo.empty()) return false;
    if (!MakeRoom(impl_->undo)) return false;
    Step step = std::move(impl_->redo.back());
    impl_->redo.pop_back();
    impl_->Running();
    {
        BusyScope busy(impl_->busy);
        RedoInOrder(step.records);
    }
    impl_->undo.push_back(std::move(step));
    impl_->Ran();
    return true;
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
    }
    impl_->emptyId = ++impl_->lastId;
    if (wasHolding) impl_->Closed();
}
