// The undo hold: records changes between Begin and Accept as one named undo step.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cstr.h"
#include "hostapi.h"

// Base class of undo records. The hold owns a record from Put on and deletes it through
// the virtual destructor, so the record's memory goes back to the module that allocated it.
class CORE_API RestoreObj {
public:
    RestoreObj();
    virtual ~RestoreObj();
    // Puts the state before the change back; with saveRedo nonzero, first keeps the state
    // after it for RedoChange.
    virtual void UndoChange(int saveRedo) = 0;
    virtual void RedoChange() = 0;
    virtual int SizeHint();
    virtual void HoldEnded();
    virtual CStr Describe();
    virtual int Command(int command, intptr_t first, intptr_t second, intptr_t third);

private:
    [[maybe_unused]] intptr_t holdFlags_;  // the hold's own bookkeeping; records leave them alone
    [[maybe_unused]] intptr_t holdData_;
};

// Hears when the outermost group opens, when Accept has made it an undo step, and when it
// closed (after StepAccepted, or without a step); and around the records an Undo or Redo
// runs. The host gathers the scene's changes meanwhile and shows them once, at the end.
// An observer must not throw: the hold is in the middle of its own work when it tells.
class CORE_API HoldObserver {
public:
    virtual ~HoldObserver() = default;
    virtual void GroupOpened() noexcept {}
    virtual void StepAccepted() noexcept = 0;
    virtual void GroupClosed() noexcept {}
    virtual void StepRunning() noexcept {}
    virtual void StepRan() noexcept {}
};

class CORE_API Hold {
public:
    Hold();
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

    // Opens a group. Groups nest; only the outermost Accept makes an undo step.
    void Begin();
    // Takes ownership of record. Outside a group there is nothing to undo into, and the
    // record is deleted at once.
    void Put(RestoreObj* record);
    // Closes the group as one step named by a copy of name. A group that holds no record
    // makes no step.
    void Accept(const char* name);
    // Closes the group, undoing (without redo) and deleting every record put since Begin.
    void Cancel();
    // Cancels every group opened above depth (0: all), innermost first: what a failure that
    // stopped a command midway leaves open. Nothing while an undo or a redo runs: it closes
    // its own. True when no group above depth is left open.
    bool CancelOpenGroups(int depth = 0);
    int Holding() const;  // depth of open groups
    // True while records run their own code: an undo, a redo or a Cancel putting things back.
    bool Restoring() const;
    // Where the undo history stands: the identity of the newest step that Undo would take
    // back, or of the empty history since the last Clear. A step's identity is never reused,
    // so a position that was undone away and then replaced by a new step never comes back.
    std::uint64_t Position() const;
    // The identity of undo step undoStep (0 = newest); for UndoCount(), of the history
    // beneath the oldest step. 0 past that.
    std::uint64_t StepPosition(int undoStep) const;

    // Host side: the undo and redo stacks. Both refuse while a group is open.
    bool Undo();
    bool Redo();
    int UndoCount() const;
    int RedoCount() const;
    const char* UndoName() const;  // name of the step Undo would take back, or ""
    const char* RedoName() const;
    int RecordCount(int undoStep) const;  // records of step undoStep (0 = newest), or -1
    void Clear();                         // drops both stacks, deleting every record

    // The memory the history may hold, in bytes (0: no limit). A new step that takes it past
    // that drops the oldest steps, never itself.
    void SetMemoryBudget(std::size_t bytes);
    std::size_t MemoryBudget() const;
    std::size_t HeldBytes() const;  // what the records of both stacks hold
    // How many of the oldest steps went for the budget since the last call.
    int TakeDroppedSteps();
    // Host side. Each observer is told in the order added; false for null, for one added
    // already, or when memory runs out.
    bool AddObserver(HoldObserver* observer);
    bool RemoveObserver(HoldObserver* observer);

private:
    struct Impl;
    Impl* impl_;
};

extern CORE_API Hold theHold;
