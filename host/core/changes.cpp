#include "changes.h"

ChangeGatherer::ChangeGatherer(Scene& scene, ChangeSink& sink) : scene_(scene), sink_(sink)
{
    scene_.AddObserver(this);
    if (Hold* history = scene_.History()) history->AddObserver(this);
}

ChangeGatherer::~ChangeGatherer()
{
    if (Hold* history = scene_.History()) history->RemoveObserver(this);
    scene_.RemoveObserver(this);
}

bool ChangeGatherer::Gathering() const
{
    const Hold* history = scene_.History();
    // A Cancel puts things back after its group has closed, before it says so.
    return (history && (history->Holding() > 0 || history->Restoring())) || stepRunning_;
}

void ChangeGatherer::Deliver() noexcept
{
    ChangeBatch batch = gathered_;
    if (batch.changedNodes > 1) batch.node = nullptr;
    batch.reload = batch.selectionChanged || textsRewritten_;
    gathered_ = ChangeBatch();
    textsRewritten_ = false;
    if (batch.changedNodes > 0 || batch.selectionChanged || batch.reload) sink_.Deliver(batch);
}

void ChangeGatherer::SelectionChanged() noexcept
{
    gathered_.selectionChanged = true;
    if (!Gathering()) Deliver();
}

// The same node changed twice still counts as one.
void ChangeGatherer::NodeChanged(SceneNode* node) noexcept
{
    if (!Gathering()) {
        ChangeBatch batch;
        batch.node = node;
        batch.changedNodes = 1;
        sink_.Deliver(batch);
        return;
    }
    if (gathered_.changedNodes++ == 0)
        gathered_.node = node;
    else if (gathered_.node == node)
        --gathered_.changedNodes;
}

void ChangeGatherer::SceneRebuilt() noexcept
{
    gathered_.node = nullptr;
    gathered_.changedNodes = 0;
    sink_.SceneRebuilt();
}

void ChangeGatherer::TextsChanging() noexcept { sink_.TextsChanging(); }

void ChangeGatherer::NoteRewrites()
{
    if (scene_.TextChanges() != textChangesAtOpen_) textsRewritten_ = true;
}

void ChangeGatherer::GroupOpened() noexcept { textChangesAtOpen_ = scene_.TextChanges(); }

void ChangeGatherer::StepAccepted() noexcept { NoteRewrites(); }

void ChangeGatherer::GroupClosed() noexcept { Deliver(); }

void ChangeGatherer::StepRunning() noexcept
{
    stepRunning_ = true;
    textChangesAtOpen_ = scene_.TextChanges();
}

void ChangeGatherer::StepRan() noexcept
{
    stepRunning_ = false;
    NoteRewrites();
    Deliver();
}
