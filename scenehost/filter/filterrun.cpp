#include "filterrun.h"

#include <string>

std::shared_ptr<const NodeListing> NodeListing::Take(const Scene& scene)
{
    auto listing = std::make_shared<NodeListing>();
    NodeTab nodes;
    scene.CollectNodes(nodes);
    const int count = nodes.Count();
    listing->nodes_.reserve(count);
    listing->parents_.reserve(count);
    std::vector<int> path;  // indices of the nodes above the current one
    for (int i = 0; i < count; ++i) {
        SceneNode* node = nodes[i];
        while (!path.empty() && listing->nodes_[path.back()] != node->Parent()) path.pop_back();
        listing->nodes_.push_back(node);
        listing->parents_.push_back(path.empty() ? -1 : path.back());
        path.push_back(i);
    }
    return listing;
}

std::string FilterResult::CountText() const
{
    std::string text =
        std::to_string(matchingNodes) + (matchingNodes == 1 ? " node, " : " nodes, ") +
        std::to_string(matchingLines) + (matchingLines == 1 ? " line matches" : " lines match");
    if (gaveUpLines > 0) text += " (" + std::to_string(gaveUpLines) + " too complex to search)";
    return text;
}

void FilterResult::CollectMatchingNodes(NodeTab& nodes) const
{
    nodes.SetCount(0);
    for (const FilterRow& row : rows)
        if (!row.context) nodes.Append(row.node, matchingNodes);
}

namespace {

// Adds the ancestors of a node not shown yet, top down, as context rows. Nodes come in
// hierarchy order, so such an ancestor has no row after it yet.
void AddAncestorRows(const NodeListing& nodes, int node, std::vector<char>& shown,
                     std::vector<int>& unshown, std::vector<FilterRow>& rows)
{
    unshown.clear();
    for (int up = nodes.Parent(node); up >= 0 && !shown[up]; up = nodes.Parent(up))
        unshown.push_back(up);
    for (auto up = unshown.rbegin(); up != unshown.rend(); ++up) {
        shown[*up] = 1;
        rows.push_back(FilterRow{nodes.Node(*up), true, 0, 0});
    }
}

}  // namespace

bool RunFilter(const NodeListing& nodes, LineMatcher& matcher,
               const std::atomic<bool>& cancel, FilterResult& result)
{
    // The vectors keep what a result used before, so that a search run again over as many
    // nodes takes no memory afresh.
    result.rows.clear();
    result.rows.reserve(nodes.Count());
    result.matchedLineStarts.clear();
    result.matchingNodes = result.matchingLines = result.gaveUpLines = 0;
    std::vector<int>& starts = result.matchedLineStarts;
    std::vector<char> shown(nodes.Count(), 0);
    std::vector<int> ancestors;
    for (int i = 0; i < nodes.Count(); ++i) {
        if (cancel.load(std::memory_order_relaxed)) return false;
        const int before = static_cast<int>(starts.size());
        result.gaveUpLines +=
            matcher.MatchLines(nodes.TextBegin(i), nodes.TextEnd(i), starts, &cancel);
        const int matches = static_cast<int>(starts.size()) - before;
        if (matches == 0) continue;
        ++result.matchingNodes;
        result.matchingLines += matches;
        AddAncestorRows(nodes, i, shown, ancestors, result.rows);
        shown[i] = 1;
        result.rows.push_back(FilterRow{nodes.Node(i), false, before, matches});
    }
    // A cancel seen inside the last node's text left it half searched.
    return !cancel.load(std::memory_order_relaxed);
}
