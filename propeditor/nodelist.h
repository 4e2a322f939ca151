// The floater's list of selected nodes, rebuilt from the host's selection in the order of
// the scene hierarchy and indented by depth.
#pragma once

#include <unordered_set>

#include "interface.h"

// The selected nodes not listed yet.
class PendingNodes {
public:
    explicit PendingNodes(Interface* ip);
    bool Empty() const { return nodes_.empty(); }
    bool Take(SceneNode* node) { return nodes_.erase(node) > 0; }  // false: not pending

private:
    std::unordered_set<SceneNode*> nodes_;
};

class NodeListRefresher : public HostCallback {
public:
    // Rebuilds the list from ip's selection, makes the first item current and loads its
    // text into the editor. Without a floater window only the scene walk happens.
    void Notify(Interface* ip) override;

    void Refresh(Interface* ip);

    // Lists node when it is still pending (taking it from there), then the nodes below it,
    // a node before its children.
    void ListNodeTree(SceneNode* node, PendingNodes& pending, int depth);
};

// Constructed at module load after the floater; never destroyed by the host.
extern NodeListRefresher theNodeListRefresher;
