#include "nodechanges.h"

#include <new>
#include <unordered_set>
#include <utility>

NodeChanges::~NodeChanges() { Watch(nullptr); }

void NodeChanges::Watch(Scene* scene, std::function<void()> textsChanging)
{
    if (scene_) scene_->RemoveObserver(this);
    scene_ = scene;
    textsChanging_ = std::move(textsChanging);
    if (scene_) scene_->AddObserver(this);
    Forget();
}

void NodeChanges::SetOn(bool on)
{
    on_ = on;
    if (!on) Forget();
}

void NodeChanges::Add(SceneNode* node) noexcept
{
    if (!on_ || lost_ || !node) return;
    try {
        nodes_.push_back(node);
    } catch (const std::bad_alloc&) {
        lost_ = true;
    }
}

bool NodeChanges::TakeRows(const std::vector<SceneNode*>& rows, std::vector<size_t>& changed)
{
    changed.clear();
    // Past a quarter of the rows, one pass over every text costs about what the lookups do.
    const bool few = !lost_ && nodes_.size() <= rows.size() / 4;
    std::unordered_set<const SceneNode*> wanted;
    if (few) wanted.insert(nodes_.begin(), nodes_.end());
    Forget();
    if (!few) return false;
    for (size_t row = 0; row < rows.size() && !wanted.empty(); ++row)
        if (wanted.erase(rows[row])) changed.push_back(row);
    return true;
}

void NodeChanges::Forget()
{
    nodes_.clear();
    lost_ = false;
}

void NodeChanges::NodeChanged(SceneNode* node) noexcept { Add(node); }

// The rows are made afresh after this, from every text.
void NodeChanges::SceneRebuilt() noexcept { Forget(); }

void NodeChanges::TextsChanging() noexcept
{
    if (textsChanging_) textsChanging_();
}
