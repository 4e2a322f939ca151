#include "scene.h"

#include <new>
#include <unordered_set>
#include <utility>

#include "hold.h"
#include "nodewalk.h"

namespace {

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

// base, then the selectable nodes of added that are not in it yet, in their order.
bool Union(const Scene* scene, const NodeTab& base, const NodeTab& added, NodeTab& result)
{
    try {
        std::unordered_set<const SceneNode*> seen;
        for (int i = 0; i < base.Count(); ++i) seen.insert(base[i]);
        if (!CopyNodes(base, result)) return false;
        for (int i = 0; i < added.Count(); ++i) {
            SceneNode* node = added[i];
            if (Selectable(scene, node) && seen.insert(node).second && !Push(result, node))
                return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// base without the nodes of removed.
bool Difference(const NodeTab& base, const NodeTab& removed, NodeTab& result)
{
    try {
        std::unordered_set<const SceneNode*> gone;
        for (int i = 0; i < removed.Count(); ++i) gone.insert(removed[i]);
        for (int i = 0; i < base.Count(); ++i)
            if (!gone.count(base[i]) && !Push(result, base[i])) return false;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
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

SceneNode::SceneNode(Scene* scene, SceneNode* parent, const char* name)
    : scene_(scene), parent_(parent), name_(name), hidden_(false)
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

int SceneNode::ChildCount() const { return children_.Count(); }

SceneNode* SceneNode::Child(int i) const { return children_[i]; }

const char* SceneNode::NodeName() const { return name_.data(); }

int SceneNode::IsExcluded(int, int) const { return hidden_ ? 1 : 0; }

void SceneNode::GetUserPropText(CStr& text) const { text = userProps_; }

void SceneNode::SetUserPropText(const CStr& text)
{
    userProps_ = text;
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
    scene_->NodeTextChanged(this);
}

int SceneNode::Depth() const
{
    int depth = 0;
    for (const SceneNode* node = parent_; node; node = node->parent_) ++depth;
    return depth;
}

Scene::Scene()
    : root_(new SceneNode(this, nullptr, "")),
      observer_(nullptr),
      changedOutsideSteps_(false),
      changedInGroup_(false),
      savedPosition_(theHold.Position())
{
}

Scene::~Scene()
{
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
                      (userProps && *userProps && node->userProps_.Length() == 0);
    if (lost || !Push(parent->children_, node)) {
        delete node;
        return nullptr;
    }
    changedOutsideSteps_ = true;
    return node;
}

int Scene::NodeCount() const
{
    int count = 0;
    VisitBelow(root_, [&count](SceneNode*) { ++count; });
    return count;
}

bool Scene::Clear()
{
    if (theHold.Holding()) return false;
    NodeTab none;
    ReplaceSelection(none, false);
    // Undo records may point at the nodes about to go.
    theHold.Clear();
    SelectionRestore::ForgetScene(this);
    for (int i = 0; i < root_->children_.Count(); ++i) delete root_->children_[i];
    root_->children_.Free();
    SetModified(false);
    if (observer_) observer_->SceneRebuilt();
    return true;
}

void Scene::CollectNodes(NodeTab& nodes) const
{
    nodes.SetCount(0);
    VisitBelow(root_, [&nodes](SceneNode* node) { Push(nodes, node); });
}

int Scene::SelectedCount() const { return selection_.Count(); }

SceneNode* Scene::SelectedNode(int i) const { return selection_[i]; }

bool Scene::IsSelected(const SceneNode* node) const
{
    return node && selection_.Find(const_cast<SceneNode*>(node)) >= 0;
}

void Scene::ClearSelection()
{
    NodeTab none;
    ReplaceSelection(none, true);
}

void Scene::SelectNodes(const NodeTab& nodes, bool select)
{
    NodeTab changed;
    bool built = select ? Union(this, selection_, nodes, changed)
                        : Difference(selection_, nodes, changed);
    if (built) ReplaceSelection(changed, true);
}

void Scene::SetSelection(const NodeTab& nodes) { ReplaceSelectionWith(nodes, true); }

void Scene::PickNodes(const NodeTab& nodes) { ReplaceSelectionWith(nodes, false); }

// The selection becomes those of nodes that belong to this scene, each once, in order.
void Scene::ReplaceSelectionWith(const NodeTab& nodes, bool record)
{
    NodeTab none;
    NodeTab changed;
    if (Union(this, none, nodes, changed)) ReplaceSelection(changed, record);
}

void Scene::ReplaceSelection(const NodeTab& nodes, bool record)
{
    if (SameNodes(selection_, nodes)) return;
    SelectionRestore* restore = nullptr;
    if (record && theHold.Holding()) {
        restore = new (std::nothrow) SelectionRestore(this);
        if (restore && !restore->SaveBefore()) {
            delete restore;
            restore = nullptr;
        }
    }
    if (!CopyNodes(nodes, selection_)) {
        delete restore;
        return;
    }
    if (restore) theHold.Put(restore);
    if (observer_) observer_->SelectionChanged();
}

void Scene::NodeTextChanged(SceneNode* node)
{
    ++textChanges_;
    NodeChanged(node);
}

bool Scene::Modified() const
{
    return changedOutsideSteps_ || changedInGroup_ || theHold.Position() != savedPosition_;
}

void Scene::SetModified(bool modified)
{
    changedOutsideSteps_ = modified;
    changedInGroup_ = false;
    if (!modified) savedPosition_ = theHold.Position();
}

// A change inside a group becomes part of its step, whose position then tells; one made by
// an undo, a redo or a Cancel is the history moving, and the position tells too.
void Scene::NodeChanged(SceneNode* node)
{
    if (theHold.Holding())
        changedInGroup_ = true;
    else if (theHold.Restoring())
        changedInGroup_ = false;
    else
        changedOutsideSteps_ = true;
    if (observer_) observer_->NodeChanged(node);
}
