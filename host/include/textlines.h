// Lines of 8-bit text as a node's user properties hold them, and ASCII case: the rules that
// Find/Replace and the node list's filter share. A line break is CR or LF, and a run of them
// breaks once, so blank lines do not count. Folding case turns A to Z into a to z and leaves
// every other byte as it is, whatever the code page. A text is a range [begin, end), or ends
// at its terminating zero; nothing here allocates. What a search calls for every character
// is inline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "hostapi.h"

inline char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Where the line holding at ends: at the next line break, or at end.
inline const char* LineEnd(const char* at, const char* end)
{
    // Eight characters at a time while none of them is below 14, as CR and LF are: such a
    // byte sets its high bit in (word - 0x0E0E...) & ~word.
    const std::uint64_t ones = 0x0101010101010101u;
    while (end - at >= 8) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        if (((word - ones * 14) & ~word & ones * 0x80) == 0) {
            at += 8;
            continue;
        }
        for (const char* stop = at + 8; at < stop; ++at)
            if (IsLineBreak(*at)) return at;
    }
    for (; at < end; ++at)
        if (IsLineBreak(*at)) return at;
    return end;
}

// The same for a text that ends at its terminating zero, as a CStr holds it, so that no
// length is taken first.
inline const char* LineEnd(const char* at)
{
    // Most bytes are told apart from all three ends by one comparison.
    for (;; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c <= '\r' && (c == 0 || c == '\r' || c == '\n')) return at;
    }
}

// Where the line holding at starts: just after the line break before it, or at begin.
inline const char* LineStart(const char* begin, const char* at)
{
    while (at > begin && !IsLineBreak(at[-1])) --at;
    return at;
}

// The first character at or after at that is no line break, or end.
inline const char* SkipLineBreaks(const char* at, const char* end)
{
    while (at < end && IsLineBreak(*at)) ++at;
    return at;
}

// Calls visit(line, lineEnd) for every line of [begin, end) in order, while it returns true.
// False when a visit stopped the walk.
template <class Visit>
bool ForEachLine(const char* begin, const char* end, Visit visit)
{
    for (const char* line = SkipLineBreaks(begin, end); line < end;) {
        const char* lineEnd = LineEnd(line, end);
        if (!visit(line, lineEnd)) return false;
        line = SkipLineBreaks(lineEnd, end);
    }
    return true;
}

// The same walk over a text that ends at its terminating zero. Returns where that zero is,
// or null when a visit stopped the walk.
template <class Visit>
const char* ForEachLineToEnd(const char* text, Visit visit)
{
    const char* line = text;
    while (*line) {
        if (IsLineBreak(*line)) {
            ++line;
            continue;
        }
        const char* lineEnd = LineEnd(line);
        if (!visit(line, lineEnd)) return nullptr;
        line = lineEnd;
    }
    return line;
}

template <class Visit>
bool ForEachLine(const char* text, Visit visit)
{
    return ForEachLineToEnd(text, visit) != nullptr;
}

inline bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// Find's match rule: text begins with prefix, case folded on both sides.
inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The same rule for a prefix folded once beforehand, as a search over many lines holds it.
inline bool StartsWithLowered(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size()) return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i)
        if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
    return true;
}

HOSTUTIL_API void LowerAsciiInPlace(char* begin, char* end);

// A line as a key and its value, split at the first '='. A line without one is all key.
struct LineKeyValue {
    std::string_view key;
    std::string_view value;  // empty, also when there is no '='
    bool hasEquals;
};
HOSTUTIL_API LineKeyValue SplitAtFirstEquals(std::string_view line);
