#include "linematcher.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textlines.h"

namespace {

bool ContainsLower(const char* begin, const char* end, const std::string& part)
{
    for (const char* at = begin; end - at >= static_cast<std::ptrdiff_t>(part.size()); ++at)
        if (StartsWithLowered(std::string_view(at, end - at), part)) return true;
    return false;
}

// The whole line against a lower-cased pattern of `*` (any run) and `?` (any character).
// On a mismatch only the latest `*` takes one more character, so the work stays within
// line length times pattern length.
bool WildcardLower(const char* begin, const char* end, const std::string& pattern)
{
    size_t p = 0;
    const char* at = begin;
    size_t starP = std::string::npos;
    const char* starAt = nullptr;
    while (at < end) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == LowerAscii(*at))) {
            ++p;
            ++at;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starAt = at;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            at = ++starAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string Lowered(const std::string& text)
{
    std::string lower(text);
    LowerAsciiInPlace(lower.data(), lower.data() + lower.size());
    return lower;
}

// The next line at or after at: [line, lineEnd), or line == end when none is left.
void NextLine(const char* at, const char* end, const char*& line, const char*& lineEnd)
{
    line = SkipLineBreaks(at, end);
    lineEnd = LineEnd(line, end);
}

// The first c in [at, end), or null, looked for eight characters at a time: the library's
// memchr is a plain loop on some systems.
const char* FindChar(const char* at, const char* end, char c)
{
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t highs = 0x8080808080808080u;
    const std::uint64_t pattern = ones * static_cast<unsigned char>(c);
    for (; end - at >= 8; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        const std::uint64_t differs = word ^ pattern;  // a zero byte where c is
        if ((differs - ones) & ~differs & highs) break;
    }
    for (; at < end; ++at)
        if (*at == c) return at;
    return nullptr;
}

// The first occurrence of part (not empty) in [at, end), or null.
const char* FindText(const char* at, const char* end, const std::string& part)
{
    const size_t length = part.size();
    while (static_cast<size_t>(end - at) >= length) {
        at = FindChar(at, end - length + 1, part[0]);
        if (!at) return nullptr;
        if (std::equal(part.begin() + 1, part.end(), at + 1)) return at;
        ++at;
    }
    return nullptr;
}

bool IsSpecialInExpression(char c)
{
    return c == '\0' || IsLineBreak(c) || std::strchr("\\^$.|?*+()[]{}", c);
}

// Whether what follows a run of plain characters at stop leaves the run's last character
// as it is: the end, a class, any character, or a group that is not a comment, a switch or
// a verb. Anything else (a quantifier, an escape that may quote nothing) might repeat it or
// make it optional.
bool KeepsCharacterBefore(const std::string& pattern, size_t stop)
{
    if (stop == pattern.size()) return true;
    const char c = pattern[stop];
    if (c == '[' || c == '.') return true;
    if (c != '(' || stop + 1 == pattern.size() || pattern[stop + 1] == '*') return false;
    if (pattern[stop + 1] != '?') return true;
    return stop + 2 < pattern.size() && std::strchr(":=!<>|'P(", pattern[stop + 2]) &&
           pattern[stop + 2] != '\0';
}

// The characters every match of the expression begins with: the plain ones it starts with,
// after a ^, short of the last one when what follows might repeat it. None where it has
// alternatives.
std::string LeadingLiteral(const std::string& pattern)
{
    if (pattern.find('|') != std::string::npos) return std::string();
    const size_t start = !pattern.empty() && pattern[0] == '^' ? 1 : 0;
    size_t stop = start;
    while (stop < pattern.size() && !IsSpecialInExpression(pattern[stop])) ++stop;
    if (stop > start && !KeepsCharacterBefore(pattern, stop)) --stop;
    return pattern.substr(start, stop - start);
}

// Whether a group opening "(?" followed by kind is plain grouping: capture, names, branch
// reset, comments and the i, s and x switches.
bool IsPlainGroup(const std::string& kind)
{
    if (kind.empty()) return false;
    if (kind[0] == ':' || kind[0] == '|' || kind[0] == '#' || kind[0] == '\'') return true;
    if (kind[0] == '<' || kind.compare(0, 2, "P<") == 0) {
        const char next = kind.size() > 1 ? kind[1] : '\0';
        return next != '=' && next != '!';
    }
    const size_t switches = kind.find_first_not_of("isx-");
    return switches > 0 && switches != std::string::npos &&
           (kind[switches] == ':' || kind[switches] == ')');
}

// Whether a match of the expression inside one line depends on nothing beyond that line but
// whether a line starts or ends there, and whether the engine finds it again when the text
// goes on past the line. Lookaround, the text's own start and end, \K, the m switch,
// conditions, recursion, possessive and atomic matching and the backtracking verbs do not
// qualify; nor does quoting, which is not looked into.
bool IsLineLocal(const std::string& pattern)
{
    bool afterQuantifier = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c == '\\') {
            if (next && std::strchr("AzZG`'KQ", next)) return false;
            ++i;
            afterQuantifier = false;
            continue;
        }
        if (c == '+' && afterQuantifier) return false;  // possessive
        if (c == '(' && (next == '*' || (next == '?' && !IsPlainGroup(pattern.substr(i + 2, 8)))))
            return false;
        afterQuantifier = c == '*' || c == '+' || c == '?' || c == '}';
    }
    return true;
}

}  // namespace

bool LineMatcher::Compile(MatchMode mode, const std::string& pattern)
{
    mode_ = mode;
    error_.clear();
    regex_ = boost::regex();
    lineLocal_ = false;
    literal_.clear();
    pattern_ = mode == MatchMode::RegularExpression ? pattern : Lowered(pattern);
    if (mode != MatchMode::RegularExpression || pattern.empty()) return true;
    try {
        regex_.assign(pattern, boost::regex::ECMAScript);
        lineLocal_ = IsLineLocal(pattern);
        literal_ = LeadingLiteral(pattern);
    } catch (const std::exception& e) {
        error_ = e.what();
        regex_ = boost::regex();
        return false;
    }
    return true;
}

LineMatch LineMatcher::Match(const char* begin, const char* end)
{
    switch (mode_) {
    case MatchMode::StartsWith:
        return StartsWithLowered(std::string_view(begin, end - begin), pattern_)
                   ? LineMatch::Yes
                   : LineMatch::No;
    case MatchMode::Contains:
        return ContainsLower(begin, end, pattern_) ? LineMatch::Yes : LineMatch::No;
    case MatchMode::Wildcard:
        return WildcardLower(begin, end, pattern_) ? LineMatch::Yes : LineMatch::No;
    case MatchMode::RegularExpression:
        if (regex_.empty()) return LineMatch::No;  // no pattern, or a bad one
        break;
    }
    boost::match_flag_type flags = boost::match_any;
    if (end - begin > kRegexLineLimit) {
        end = begin + kRegexLineLimit;
        flags |= boost::match_not_eol;
    }
    try {
        return boost::regex_search(begin, end, scratch_, regex_, flags) ? LineMatch::Yes
                                                                        : LineMatch::No;
    } catch (const std::exception&) {
        // Too complex for this line, or the engine's own memory ran out.
        return LineMatch::GaveUp;
    }
}

int LineMatcher::MatchLines(const char* begin, const char* end, std::vector<int>& lineStarts,
                            const std::atomic<bool>* cancel)
{
    if (mode_ == MatchMode::RegularExpression && !literal_.empty())
        return MatchLinesHoldingLiteral(begin, end, lineStarts, cancel);
    // One search over a short text of many lines costs less than one search per line.
    if (mode_ == MatchMode::RegularExpression && lineLocal_ && end - begin <= kRegexLineLimit) {
        const size_t before = lineStarts.size();
        int gaveUp = 0;
        if (SearchWholeText(begin, end, lineStarts, gaveUp)) return gaveUp;
        lineStarts.resize(before);
    }
    return MatchEachLine(begin, end, lineStarts, cancel);
}

int LineMatcher::MatchEachLine(const char* begin, const char* end, std::vector<int>& lineStarts,
                               const std::atomic<bool>* cancel)
{
    int gaveUp = 0;
    ForEachLine(begin, end, [&](const char* b, const char* e) {
        // A node of many long lines would otherwise hold up whoever waits for the search.
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        const LineMatch match = Match(b, e);
        if (match == LineMatch::Yes) lineStarts.push_back(static_cast<int>(b - begin));
        if (match == LineMatch::GaveUp) ++gaveUp;
        return true;
    });
    return gaveUp;
}

// Only a line holding the expression's leading characters can match, so a plain search for
// them picks the lines the engine looks at. The text is searched a stretch at a time, so that
// a cancel is seen soon even in a long text with nothing to find.
int LineMatcher::MatchLinesHoldingLiteral(const char* begin, const char* end,
                                          std::vector<int>& lineStarts,
                                          const std::atomic<bool>* cancel)
{
    const std::ptrdiff_t kStretch = 1 << 16;
    const std::ptrdiff_t overlap = static_cast<std::ptrdiff_t>(literal_.size()) - 1;
    int gaveUp = 0;
    for (const char* at = begin; end - at > overlap;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        const char* stretchEnd = end - at > kStretch + overlap ? at + kStretch + overlap : end;
        const char* found = FindText(at, stretchEnd, literal_);
        if (!found) {
            at = stretchEnd - overlap;
            continue;
        }
        const char* line = LineStart(begin, found);
        const char* lineEnd = LineEnd(found, end);
        const LineMatch match = Match(line, lineEnd);
        if (match == LineMatch::Yes) lineStarts.push_back(static_cast<int>(line - begin));
        if (match == LineMatch::GaveUp) ++gaveUp;
        at = lineEnd;
    }
    return gaveUp;
}

// For a line-local expression, the first match in the text starts no later than the first
// line that matches on its own. A match that stays inside its line is that line's; one that
// runs past it is checked against the line alone. Either way the search goes on at the next
// line. False when the expression grew too complex, so that each line is searched alone.
bool LineMatcher::SearchWholeText(const char* begin, const char* end,
                                  std::vector<int>& lineStarts, int& gaveUp)
{
    const char* line;
    const char* lineEnd;
    NextLine(begin, end, line, lineEnd);
    try {
        while (line < end) {
            const boost::match_flag_type flags =
                line == begin ? boost::match_any : boost::match_any | boost::match_prev_avail;
            if (!boost::regex_search(line, end, scratch_, regex_, flags)) return true;
            const char* found = scratch_[0].first;
            while (line < end && lineEnd < found) NextLine(lineEnd, end, line, lineEnd);
            if (line == end) break;
            if (found < line) continue;  // it began among the breaks before this line
            const LineMatch match =
                scratch_[0].second <= lineEnd ? LineMatch::Yes : Match(line, lineEnd);
            if (match == LineMatch::Yes) lineStarts.push_back(static_cast<int>(line - begin));
            if (match == LineMatch::GaveUp) ++gaveUp;
            NextLine(lineEnd, end, line, lineEnd);
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}
