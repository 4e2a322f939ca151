// The filter run: which nodes of a scene have lines that match, and which rows the node list
// then shows (the matching nodes and, for context, their ancestors). Plain C++: no window
// code.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "linematcher.h"
#include "scene.h"

// A scene's nodes in hierarchy order with their parents, taken again after each change: what
// a search runs over. The texts are read where the nodes hold them, not copied; a search on
// another thread must therefore be stopped before any text changes or nodes go (see
// SceneObserver::TextsChanging).
class NodeListing {
public:
    static std::shared_ptr<const NodeListing> Take(const Scene& scene);

    int Count() const { return static_cast<int>(nodes_.size()); }
    SceneNode* Node(int i) const { return nodes_[i]; }
    int Parent(int i) const { return parents_[i]; }  // -1 for a top-level node
    const char* TextBegin(int i) const { return nodes_[i]->UserPropText().data(); }
    const char* TextEnd(int i) const { return TextBegin(i) + nodes_[i]->UserPropText().Length(); }

private:
    std::vector<SceneNode*> nodes_;
    std::vector<int> parents_;
};

// Lines are those of textlines.h: blank lines do not count.
struct FilterRow {
    SceneNode* node;
    bool context;    // shown only as an ancestor of a match
    int firstMatch;  // into FilterResult::matchedLineStarts
    int matchCount;
};

struct FilterResult {
    std::vector<FilterRow> rows;    // hierarchy order
    std::vector<int> matchedLineStarts;  // offsets within their node's text
    int matchingNodes = 0;
    int matchingLines = 0;
    int gaveUpLines = 0;

    // "N nodes, M lines match".
    std::string CountText() const;
    void CollectMatchingNodes(NodeTab& nodes) const;
};

// Runs the search; polls cancel between nodes and returns false once it is set. The result's
// memory is reused.
bool RunFilter(const NodeListing& nodes, LineMatcher& matcher,
               const std::atomic<bool>& cancel, FilterResult& result);
