// The node list's property filter: which lines of the nodes' user properties match a
// pattern, and which rows the list then shows (the matching nodes and, for context, their
// ancestors). Plain C++: no window code. A search may run on another thread, reading the
// nodes' texts in place; it polls a cancel flag so that it can be stopped quickly.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "scene.h"

enum class MatchMode { StartsWith, Contains, Wildcard, RegularExpression };

enum class LineMatch { No, Yes, GaveUp };

// Regular expressions look at no more than this many characters of a line; the rest of a
// longer line is not searched, and `$` does not match where the look stops.
const int kRegexLineLimit = 4096;

// One pattern, compiled for one match mode. Matching allocates nothing. Not shared between
// threads: each search holds a copy.
class LineMatcher {
public:
    // False for a pattern that cannot be used; Error() then says why.
    bool Compile(MatchMode mode, const std::string& pattern);
    const std::string& Error() const { return error_; }
    // An empty pattern filters nothing.
    bool Active() const { return !pattern_.empty() && error_.empty(); }

    // Whether the line [begin, end) matches. GaveUp: the expression grew too complex on this
    // line, which counts as no match.
    LineMatch Match(const char* begin, const char* end);
    // Appends where each matching non-blank line of a node's text starts (its offset in the
    // text); returns how many lines gave up. Once cancel is set, the lines left are not
    // searched.
    int MatchLines(const char* begin, const char* end, std::vector<int>& lineStarts,
                   const std::atomic<bool>* cancel = nullptr);

private:
    int MatchEachLine(const char* begin, const char* end, std::vector<int>& lineStarts,
                      const std::atomic<bool>* cancel);
    bool SearchWholeText(const char* begin, const char* end, std::vector<int>& lineStarts,
                         int& gaveUp);
    int MatchLinesHoldingLiteral(const char* begin, const char* end, std::vector<int>& lineStarts,
                                 const std::atomic<bool>* cancel);

    MatchMode mode_ = MatchMode::StartsWith;
    std::string pattern_;  // lower-cased for the modes that ignore case
    std::string error_;
    boost::regex regex_;
    bool lineLocal_ = false;  // see SearchWholeText
    std::string literal_;     // what every match of the expression begins with, if known
    boost::match_results<const char*> scratch_;
};

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

// A line is a run of characters between line breaks; blank lines do not count.
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

// The text of a properties cell: all lines on one line, the matching ones marked.
std::string PropertiesCellText(const char* text, const int* matchedLineStarts, int matchCount);
// The same text one line under the other, for a tooltip.
std::string PropertiesTipText(const char* text);

// Colours as 0xBBGGRR. Contrast as the WCAG defines it, from 1 (none) to 21.
double ContrastRatio(unsigned rgb1, unsigned rgb2);
// A fill for selected rows of a list without the focus: the highlight softened toward the
// background while it keeps a contrast of at least 3:1 with it.
unsigned InactiveSelectionFill(unsigned highlight, unsigned background);
// Black or white, whichever reads better on fill.
unsigned TextColourOn(unsigned fill);
