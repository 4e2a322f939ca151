// The floater's list of selected nodes, rebuilt from the host's selection in the order of
// the scene hierarchy and indented by depth.
#pragma once

#include "interface.h"

class NodeListRefresher : public HostCallback {
public:
    // Rebuilds the list from ip's selection, makes the first item current and loads its
    // text into the editor. Without a floater window only the scene walk happens.
    void Notify(Interface* ip) override;

    // Lists node when it is still in copy (removing it there), then the nodes below it, a
    // node before its children. copy holds the selected nodes not listed yet.
    void ListNodeTree(SceneNode* node, NodeTab& copy, int depth);
};

// Constructed at module load after the floater; never destroyed by the host.
extern NodeListRefresher theNodeListRefresher;
