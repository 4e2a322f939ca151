#include "scene.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "guard.h"
#include "hold.h"
#include "nodewalk.h"
#include "progress.h"

namespace {

std::atomic<std::uint64_t> lastVersion(0);

// A version no scene and no node has had yet.
std::uint64_t NewVersion() { return ++lastVersion; }

// Appends with room to spare in proportion to the count, so long lists grow in few steps.
bool Push(NodeTab& nodes, SceneNode* node) { return nodes.Append(node, nodes.Count() + 10) >= 0; }

bool CopyNodes(const NodeTab& from, NodeTab& to)
{
    if (to.SetCount(from.Count()) < 0) return false;
    for (int i = 0; i < from.Count(); ++i) to.Set(i, from[i]);
    return true;
}

bool SameNodes(const NodeTab& a, const NodeTab& b)
{
    if (a.Count() != b.Count()) return false;
    for (int i = 0; i < a.Count(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The root and nodes of another scene are never selected.
bool Selectable(const Scene* scene, const SceneNode* node)
{
    return node && node->OwnerScene() == scene && node->Parent();
}

// Every node below top, a node before its children.
template <class Visit>
void VisitBelow(const SceneNode* top, Visit visit)
{
    NodeWalk walk(const_cast<SceneNode*>(top));
    walk.Next();  // top itself
    while (SceneNode* node = walk.Next()) visit(node);
}

}  // namespace

// Undo record of one selection change. Records may outlive their scene in the global hold,
// so every live record is listed and a dying scene cuts its records loose.
class SelectionRestore : public RestoreObj {
public:
    explicit SelectionRestore(Scene* scene) : scene_(scene), next_(first_)
    {
        if (next_) next_->previous_ = this;
        first_ = this;
    }
    ~SelectionRestore() override
    {
        if (previous_) previous_->next_ = next_;
        if (next_) next_->previous_ = previous_;
        if (first_ == this) first_ = next_;
    }
    SelectionRestore(const SelectionRestore&) = delete;
    SelectionRestore& operator=(const SelectionRestore&) = delete;

    bool SaveBefore() { return CopyNodes(scene_->selection_, before_); }

    void UndoChange(int saveRedo) override
    {
        if (!scene_) return;
        if (saveRedo) CopyNodes(scene_->selection_, after_);
        scene_->ReplaceSelection(before_, false);
    }
    void RedoChange() override
    {
        if (scene_) scene_->ReplaceSelection(after_, false);
    }
    CStr Describe() override { return CStr("Selection"); }
    int SizeHint() override
    {
        return static_cast<int>(sizeof(SceneNode*)) * (before_.Count() + after_.Count());
    }

    static void ForgetScene(const Scene* scene)
    {
        for (SelectionRestore* record = first_; record; record = record->next_)
            if (record->scene_ == scene) record->scene_ = nullptr;
    }

private:
    Scene* scene_;
    NodeTab before_;
    NodeTab after_;
    SelectionRestore* previous_ = nullptr;
    SelectionRestore* next_;
    static SelectionRestore* first_;
};

SelectionRestore* SelectionRestore::first_ = nullptr;

namespace {

// The hidden flag of one node, for undoing Hide/Unhide.
class HiddenRestore : public RestoreObj {
public:
    explicit HiddenRestore(SceneNode* node) : node_(node), wasHidden_(node->IsHidden()) {}
    void UndoChange(int) override { node_->SetHidden(wasHidden_); }
    void RedoChange() override { node_->SetHidden(!wasHidden_); }
    CStr Describe() override { return CStr("HiddenRestore"); }

private:
    SceneNode* node_;
    bool wasHidden_;
};

}  // namespace

SceneNode::SceneNode(Scene* scene, SceneNode* parent, const char* name)
    : scene_(scene), parent_(parent), name_(name), depth_(parent ? parent->depth_ + 1 : 0),
      hidden_(false)
{
}

// Takes the whole subtree down without recursion: each node's children are moved to the
// pending list before it is deleted, so its own destructor finds nothing left to do.
SceneNode::~SceneNode()
{
    NodeTab pending;
    std::swap(*pending.Header(), *children_.Header());
    while (pending.Count() > 0) {
        SceneNode* node = pending[pending.Count() - 1];
        pending.Delete(pending.Count() - 1, 1);
        int children = node->children_.Count();
        if (children > 0)
            TBInsertAt(pending.Header(), pending.Count(), children,
                       TBElements(*node->children_.Header()), sizeof(SceneNode*),
                       pending.Count());
        node->children_.Free();
        delete node;
    }
}

const char* SceneNode::NodeName() const { return name_.data(); }

void SceneNode::GetUserPropText(CStr& text) const { text = userProps_; }

void SceneNode::SetUserPropText(const CStr& text)
{
    scene_->TextsChanging();
    userProps_ = text;
    textVersion_ = NewVersion();
    scene_->NodeTextChanged(this);
}

void SceneNode::SwapUserPropText(CStr& text)
{
    scene_->TextsChanging();
    std::swap(userProps_, text);
    textVersion_ = NewVersion();
    scene_->NodeTextChanged(this);
}

void SceneNode::SetHidden(bool hidden)
{
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    scene_->NodeChanged(this);
}

void SceneNode::SetName(const char* name)
{
    if (name_ == name) return;
    name_ = name;
    scene_->treeVersion_ = NewVersion();
    scene_->NodeTextChanged(this);
}

Scene::Scene(Hold* history)
    : history_(history),
      root_(new SceneNode(this, nullptr, "")),
      changedOutsideSteps_(false),
      changedInGroup_(false),
      savedPosition_(Position()),
      treeVersion_(NewVersion())
{
    if (history_) history_->AddObserver(this);
}

Scene::~Scene()
{
    if (history_) history_->RemoveObserver(this);
    SelectionRestore::ForgetScene(this);
    delete root_;
}

SceneNode* Scene::CreateNode(SceneNode* parent, const char* name, const char* userProps,
                             bool hidden)
{
    if (!parent) parent = root_;
    if (parent->scene_ != this) return nullptr;
    auto* node = new (std::nothrow) SceneNode(this, parent, name);
    if (!node) return nullptr;
    node->userProps_ = userProps;
    node->hidden_ = hidden;
    // A string takes a text whole or not at all: an empty one here means it was too long to
    // hold or memory ran out, and a node without its text must not pass for the real one.
    const bool lost = (name && *name && !*node->name_.data()) ||
                      (userProps && *userProps && !*node->userProps_.data());
    if (lost || !Push(parent->children_, node)) {
        delete node;
        return nullptr;
    }
    ++nodeCount_;
    treeVersion_ = node->textVersion_ = NewVersion();
    changedOutsideSteps_ = true;
    return node;
}

bool Scene::Clear()
{
    if (Holding()) return false;
    TextsChanging();
    NodeTab none;
    ReplaceSelection(none, false);
    // Undo records may point at the nodes about to go.
    if (history_) history_->Clear();
    SelectionRestore::ForgetScene(this);
    for (int i = 0; i < root_->children_.Count(); ++i) delete root_->children_[i];
    root_->children_.Free();
    order_.Free();
    nodeCount_ = 0;
    treeVersion_ = NewVersion();
    SetModified(false);
    observers_.Tell([](SceneObserver& observer) { observer.SceneRebuilt(); });
    return true;
}

std::uint64_t Scene::LatestVersion() { return lastVersion; }

// At a million nodes the walk costs a cache miss a node, so its order is kept until the tree
// changes. A walk that memory cut short is not kept, nor is a copy of the order made.
void Scene::CollectNodes(NodeTab& nodes) const
{
    if (orderVersion_ != treeVersion_) {
        order_.SetCount(0);
        VisitBelow(root_, [this](SceneNode* node) { Push(order_, node); });
        orderVersion_ = order_.Count() == nodeCount_ ? treeVersion_ : 0;
    }
    if (orderVersion_ == treeVersion_ && nodes.CopyFrom(order_) >= 0) return;
    nodes.SetCount(0);
    VisitBelow(root_, [&nodes](SceneNode* node) { Push(nodes, node); });
}

int Scene::SelectedCount() const { return selection_.Count(); }

SceneNode* Scene::SelectedNode(int i) const { return selection_[i]; }

void Scene::ClearSelection()
{
    NodeTab none;
    ReplaceSelection(none, true);
}

void Scene::SelectNodes(const NodeTab& nodes, bool select)
{
    NodeTab changed;
    if (select) {
        // The selected nodes count as listed already: only new ones are added.
        if (CopyNodes(selection_, changed) && AppendUnlisted(nodes, changed))
            ReplaceSelection(changed, true);
        return;
    }
    for (int i = 0; i < nodes.Count(); ++i)
        if (Selectable(this, nodes[i])) nodes[i]->listed_ = true;
    bool built = true;
    for (int i = 0; i < selection_.Count() && built; ++i)
        if (!selection_[i]->listed_) built = Push(changed, selection_[i]);
    for (int i = 0; i < nodes.Count(); ++i)
        if (Selectable(this, nodes[i])) nodes[i]->listed_ = false;
    if (built) ReplaceSelection(changed, true);
}

void Scene::SetSelection(const NodeTab& nodes) { ReplaceSelectionWith(nodes, true); }

void Scene::PickNodes(const NodeTab& nodes) { ReplaceSelectionWith(nodes, false); }

// The selection becomes those of nodes that belong to this scene, each once, in order.
void Scene::ReplaceSelectionWith(const NodeTab& nodes, bool record)
{
    MarkSelected(false);
    NodeTab changed;
    const bool built = AppendUnlisted(nodes, changed);
    MarkSelected(true);
    if (built) ReplaceSelection(changed, record);
}

// Appends the selectable nodes of nodes that are neither selected nor in result yet, in
// their order. Every node's mark is clear again afterwards.
bool Scene::AppendUnlisted(const NodeTab& nodes, NodeTab& result)
{
    const int first = result.Count();
    bool built = true;
    for (int i = 0; i < nodes.Count() && built; ++i) {
        SceneNode* node = nodes[i];
        if (!Selectable(this, node) || node->selected_ || node->listed_) continue;
        built = Push(result, node);
        if (built) node->listed_ = true;
    }
    for (int i = first; i < result.Count(); ++i) result[i]->listed_ = false;
    return built;
}

// Sets every selected node's flag; clearing them lets a new selection be built from scratch.
void Scene::MarkSelected(bool selected)
{
    for (int i = 0; i < selection_.Count(); ++i) selection_[i]->selected_ = selected;
}

void Scene::ReplaceSelection(const NodeTab& nodes, bool record)
{
    if (SameNodes(selection_, nodes)) return;
    SelectionRestore* restore = nullptr;
    if (record && Holding()) {
        restore = new (std::nothrow) SelectionRestore(this);
        if (restore && !restore->SaveBefore()) {
            delete restore;
            restore = nullptr;
        }
    }
    MarkSelected(false);
    const bool copied = CopyNodes(nodes, selection_);
    MarkSelected(true);
    if (!copied) {
        delete restore;
        return;
    }
    if (restore) history_->Put(restore);
    observers_.Tell([](SceneObserver& observer) { observer.SelectionChanged(); });
}

void Scene::TextsChanging()
{
    observers_.Tell([](SceneObserver& observer) { observer.TextsChanging(); });
}

void Scene::NodeTextChanged(SceneNode* node)
{
    ++textChanges_;
    NodeChanged(node);
}

std::uint64_t Scene::Position() const
{
    if (!history_) return 0;
    const int steps = history_->UndoCount();
    for (int i = 0; i < steps; ++i) {
        const std::uint64_t step = history_->StepPosition(i);
        if (std::binary_search(changingSteps_.begin(), changingSteps_.end(), step)) return step;
    }
    return history_->StepPosition(steps);
}

// A step that changed a node counts; one that only selected does not.
void Scene::StepAccepted() noexcept
{
    if (!changedInGroup_) return;
    changedInGroup_ = false;
    try {
        changingSteps_.push_back(history_->Position());
    } catch (const std::bad_alloc&) {
        changedOutsideSteps_ = true;  // unknown from here on: counted as changed
    }
}

bool Scene::Modified() const
{
    return changedOutsideSteps_ || changedInGroup_ || Position() != savedPosition_;
}

void Scene::SetModified(bool modified)
{
    changedOutsideSteps_ = modified;
    changedInGroup_ = false;
    if (!modified) savedPosition_ = Position();
}

// A change inside a group becomes part of its step, whose position then tells; one made by
// an undo, a redo or a Cancel is the history moving, and the position tells too.
void Scene::NodeChanged(SceneNode* node)
{
    if (Holding())
        changedInGroup_ = true;
    else if (history_ && history_->Restoring())
        changedInGroup_ = false;
    else
        changedOutsideSteps_ = true;
    observers_.Tell([node](SceneObserver& observer) { observer.NodeChanged(node); });
}

HiddenCounts Scene::ChangeHidden(const NodeTab& nodes,
                                 const std::function<bool(const SceneNode*)>& hidden,
                                 const char* stepName)
{
    HiddenCounts counts;
    if (history_) history_->Begin();
    for (int i = 0; i < nodes.Count(); ++i) {
        ReportProgress(i, nodes.Count());
        SceneNode* node = nodes[i];
        if (!node || node->scene_ != this) continue;
        const bool wanted = hidden(node);
        if (wanted == node->IsHidden()) continue;
        HiddenRestore* record = nullptr;
        if (history_) {
            record = new (std::nothrow) HiddenRestore(node);
            if (!record) {
                // Memory ran out: the nodes changed so far are put back, and no step is left
                // that would do only a part of what was asked.
                history_->Cancel();
                ReportFailure(Failure::kOutOfMemory, nullptr);
                return HiddenCounts();
            }
        }
        node->SetHidden(wanted);
        if (record) history_->Put(record);
        ++(wanted ? counts.hid : counts.unhid);
    }
    if (history_) history_->Accept(stepName);
    return counts;
}
