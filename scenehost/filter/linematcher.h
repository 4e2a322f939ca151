// Whether a line of a node's user properties matches the filter's pattern, in one of four
// ways. Plain C++: no window code. A search may run on another thread, reading the nodes'
// texts in place; it polls a cancel flag so that it can be stopped quickly.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <boost/regex.hpp>

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
    // Appends where each matching line of a node's text starts (its offset in the text);
    // returns how many lines gave up. Once cancel is set, the lines left are not searched.
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
