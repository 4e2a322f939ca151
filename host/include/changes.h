// Turns the scene's changes during a step into one batch: while an undo group is open, and
// while an undo or a redo runs, changes are gathered and handed on once, when it ends.
#pragma once

#include "hold.h"
#include "hostapi.h"
#include "scene.h"

// What one step, or one change outside a step, did to the scene.
struct ChangeBatch {
    SceneNode* node = nullptr;  // the one changed node, when exactly one changed
    int changedNodes = 0;       // more than one: whatever shows them is out of date
    bool selectionChanged = false;
    // The plug-ins' windows are to reload: the selection changed, or a step rewrote texts
    // (a Hide/Unhide, say, leaves them and the edits in them alone).
    bool reload = false;
};

// Where batches go: the host's views first, then the plug-ins.
class ChangeSink {
public:
    virtual void Deliver(const ChangeBatch& batch) noexcept = 0;
    // Passed on at once, never gathered.
    virtual void TextsChanging() noexcept = 0;
    virtual void SceneRebuilt() noexcept = 0;

protected:
    ~ChangeSink() = default;
};

class CORE_API ChangeGatherer : private SceneObserver, private HoldObserver {
public:
    // Listens to scene and to its history (if it has one) until destroyed.
    ChangeGatherer(Scene& scene, ChangeSink& sink);
    ~ChangeGatherer() override;
    ChangeGatherer(const ChangeGatherer&) = delete;
    ChangeGatherer& operator=(const ChangeGatherer&) = delete;

    // Hands on what was gathered so far: the user's own pick shows at once, even while a
    // command waits for an answer.
    void Deliver() noexcept;
    bool Gathering() const;

private:
    void SelectionChanged() noexcept override;
    void NodeChanged(SceneNode* node) noexcept override;
    void SceneRebuilt() noexcept override;
    void TextsChanging() noexcept override;
    void GroupOpened() noexcept override;
    void StepAccepted() noexcept override;
    void GroupClosed() noexcept override;
    void StepRunning() noexcept override;
    void StepRan() noexcept override;
    void NoteRewrites();

    Scene& scene_;
    ChangeSink& sink_;
    ChangeBatch gathered_;
    int textChangesAtOpen_ = 0;  // the scene's count when the group or the step began
    bool stepRunning_ = false;
    bool textsRewritten_ = false;  // by an accepted step, an undo or a redo
};
