// The scene model: nodes with names, children, a hidden flag and user-property text, and
// the selection in selection order. Plain C++: no window code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>
#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>
#endif

#include "cstr.h"
#include "hold.h"
#include "hostapi.h"
#include "observers.h"
#include "tab.h"

class Scene;

class CORE_API SceneNode {
public:
    int ChildCount() const { return children_.Count(); }
    // Null (and an assert1 report) for a bad index.
    SceneNode* Child(int i) const { return children_[i]; }
    const char* NodeName() const;
    // Nonzero for a hidden node: it takes no part in find, remove and replace.
    int IsExcluded(int, int) const { return hidden_ ? 1 : 0; }
    void GetUserPropText(CStr& text) const;
    void SetUserPropText(const CStr& text);
    // The text lent, not copied: valid until the node's text changes.
    const CStr& UserPropText() const { return userProps_; }
    // Exchanges the node's text with text, which then holds the old one: no copy either way.
    void SwapUserPropText(CStr& text);

    SceneNode* Parent() const { return parent_; }
    Scene* OwnerScene() const { return scene_; }
    bool IsHidden() const { return hidden_; }
    void SetHidden(bool hidden);
    void SetName(const char* name);
    int Depth() const { return depth_; }  // root 0, its children 1
    // Set anew, from a count shared by every scene, when the node is made and whenever its
    // text is written: a node whose version is no later than the LatestVersion a reader noted
    // has the text it read.
    std::uint64_t TextVersion() const { return textVersion_; }
    bool IsSelected() const { return selected_; }

private:
    friend class Scene;
    SceneNode(Scene* scene, SceneNode* parent, const char* name);
    ~SceneNode();

    Scene* scene_;
    SceneNode* parent_;
    CStr name_;
    CStr userProps_;
    NodeTab children_;  // owned
    int depth_;
    bool hidden_;
    bool selected_ = false;
    bool listed_ = false;  // the scene's scratch mark while it builds a selection
    std::uint64_t textVersion_ = 0;
};

// Asks the processor for memory a loop reads a few turns later: the cache line offset bytes
// past at, which need not lie in the same object.
inline void PrefetchForRead(const void* at, std::size_t offset = 0)
{
    const auto* line = reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(at) + offset);
#if defined(_MSC_VER) && !defined(__clang__)
    _mm_prefetch(line, _MM_HINT_T0);
#else
    __builtin_prefetch(line);
#endif
}

// For a loop over nodes, called at node i: fetches ahead a node some turns on. In a large
// scene the nodes a loop visits lie far apart, and each first read of one is otherwise a
// cache miss.
inline void PrefetchNode(const NodeTab& nodes, int i)
{
    const int kNodeAhead = 16;
    if (i + kNodeAhead >= nodes.Count()) return;
    const SceneNode* node = nodes[i + kNodeAhead];
    PrefetchForRead(node);
    PrefetchForRead(node, sizeof(SceneNode) - 1);  // it may straddle two cache lines
}

// The same for a loop that reads each node's text, whose text is fetched a few turns ahead
// as well, from the node fetched earlier.
inline void PrefetchNodeText(const NodeTab& nodes, int i)
{
    const int kTextAhead = 8;
    const int count = nodes.Count();
    PrefetchNode(nodes, i);
    if (i + kTextAhead < count)
        if (const SceneNode* node = nodes[i + kTextAhead]) {
            // A text of a few lines takes two cache lines.
            const char* text = node->UserPropText().data();
            PrefetchForRead(text);
            PrefetchForRead(text, 64);
        }
}

// What the host's views learn of the scene. An observer must not throw: the scene is in
// the middle of a change when it tells.
class SceneObserver {
public:
    virtual void SelectionChanged() noexcept {}
    virtual void NodeChanged(SceneNode* /*node*/) noexcept {}
    // Many nodes changed at once (one undo step, say): whatever shows them is out of date.
    virtual void NodesChanged() noexcept {}
    virtual void SceneRebuilt() noexcept {}
    // Called before a node's text changes or nodes are removed, unlike the others: whatever
    // reads texts on another thread must stop first.
    virtual void TextsChanging() noexcept {}

protected:
    ~SceneObserver() = default;
};

// What a Hide/Unhide changed.
struct HiddenCounts {
    int hid = 0;
    int unhid = 0;
};

class CORE_API Scene : private HoldObserver {
public:
    // Records its changes into history; a scene with none (null) records nothing, and its
    // Clear leaves every undo history alone.
    explicit Scene(Hold* history = &theHold);
    ~Scene() override;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    SceneNode* Root() const { return root_; }
    // Null when the node or its name or text cannot be held (memory, or a text longer than
    // a string's int length allows).
    SceneNode* CreateNode(SceneNode* parent, const char* name, const char* userProps = "",
                          bool hidden = false);
    int NodeCount() const { return nodeCount_; }  // below the root
    // Removes every node but the root, the selection and the undo history that points at
    // them. Refused (false) while an undo group is open, since a command may hold nodes.
    bool Clear();
    // Depth-first, a node before its children: the order of the host's views.
    void CollectNodes(NodeTab& nodes) const;

    int SelectedCount() const;
    SceneNode* SelectedNode(int i) const;  // null (and an assert1 report) for a bad index
    bool IsSelected(const SceneNode* node) const
    {
        return node && node->scene_ == this && node->selected_;
    }
    // Selection changes are recorded in theHold while a group is open.
    void ClearSelection();
    void SelectNodes(const NodeTab& nodes, bool select);  // select or deselect each
    void SetSelection(const NodeTab& nodes);              // replaces the selection
    // The user's own pick in the host's views replaces the selection unrecorded: it is no
    // part of a command whose group is open while the command waits for an answer.
    void PickNodes(const NodeTab& nodes);

    // Sets each node's hidden flag to hidden(node) as one undo step named stepName; a node
    // whose change could not be undone is left as it is.
    HiddenCounts ChangeHidden(const NodeTab& nodes,
                              const std::function<bool(const SceneNode*)>& hidden,
                              const char* stepName);

    // Each observer is told in the order added; false for null or one added already.
    bool AddObserver(SceneObserver* observer) { return observers_.Add(observer); }
    bool RemoveObserver(SceneObserver* observer) { return observers_.Remove(observer); }
    Hold* History() const { return history_; }
    // Whether the scene differs from its file. It follows the undo history: undoing or
    // redoing back to where the scene was saved (SetModified(false)) makes it unmodified
    // again, unless a change was made that no undo step records. Steps that only select
    // count for nothing here.
    bool Modified() const;
    void SetModified(bool modified);
    // Counts writes of node names and user-property texts: a watcher compares two readings
    // to tell whether a command rewrote what the plug-ins show.
    int TextChanges() const { return textChanges_; }
    // The newest of every scene's tree versions and nodes' text versions so far.
    static std::uint64_t LatestVersion();
    // Changes whenever a node is added, renamed or removed, in any scene: what a node's path
    // depends on. An index by path compares two readings.
    std::uint64_t TreeVersion() const { return treeVersion_; }

private:
    friend class SceneNode;
    friend class SelectionRestore;
    void ReplaceSelectionWith(const NodeTab& nodes, bool record);
    void ReplaceSelection(const NodeTab& nodes, bool record);
    bool AppendUnlisted(const NodeTab& nodes, NodeTab& result);
    void MarkSelected(bool selected);
    void NodeChanged(SceneNode* node);
    void NodeTextChanged(SceneNode* node);
    void TextsChanging();

    bool Holding() const { return history_ && history_->Holding(); }
    // Where the history stands as far as what is saved goes: the newest undo step that
    // changed a node, or the history beneath them all.
    std::uint64_t Position() const;
    void StepAccepted() noexcept override;

    Hold* history_;
    SceneNode* root_;
    NodeTab selection_;
    ObserverList<SceneObserver> observers_;
    bool changedOutsideSteps_;  // a change that no undo step records
    bool changedInGroup_;       // a change inside an open group, not yet a step
    std::uint64_t savedPosition_;  // Position() when the scene was last saved
    std::vector<std::uint64_t> changingSteps_;  // steps that changed a node, oldest first
    int textChanges_ = 0;
    int nodeCount_ = 0;
    std::uint64_t treeVersion_;
    // CollectNodes' last walk, while the tree is as it was at orderVersion_ (0: none).
    mutable NodeTab order_;
    mutable std::uint64_t orderVersion_ = 0;
};
