// A node's user-property text as a list of separate, owned lines, and the match rule: a
// line matches a find text when it begins with it, ignoring case. Lines and case are those
// of textlines.h.
#pragma once

#include <climits>

#include "cstr.h"
#include "nodetextrestore.h"
#include "tab.h"

class UserPropLines {
public:
    UserPropLines() = default;
    ~UserPropLines();
    UserPropLines(const UserPropLines&) = delete;
    UserPropLines& operator=(const UserPropLines&) = delete;

    void Clear();
    int Count() const;
    // Replaces the contents with the non-empty lines of text; every run of CR and LF breaks.
    // False when memory ran out and a line is missing from the list.
    bool Parse(const CStr& text);
    // The lines joined with CR LF, no break after the last. False, leaving joined as it was,
    // when memory runs out.
    bool JoinInto(CStr& joined) const;
    CStr Join() const;  // empty when memory runs out
    CStr* Line(int index) const;  // null for an index out of range
    void SetLine(int index, const CStr& text);
    void Append(const CStr& text);

    // The find text is never changed; case plays no part on either side.
    int CountMatches(const CStr& find) const;
    int RemoveMatches(const CStr& find);
    int ReplaceMatches(const CStr& find, const CStr& replacement);

private:
    // Adds a line holding length characters of text. False, adding nothing, when memory runs
    // out.
    bool AppendText(const char* text, int length);

    // Owned. The first count_ are the list; the rest were taken out of it and wait for the
    // next lines, so that a list refilled for every node of a command allocates only while
    // it grows.
    Tab<CStr*> lines_;
    int count_ = 0;
};

// The match rule (StartsWithIgnoringCase of textlines.h): case plays no part on either side.
bool LineMatches(const CStr& line, const CStr& find);

// Whether the text has a line that matches find, read in place: the same answer as parsing
// the text and counting its matches, without a copy.
bool TextHasMatchingLine(const CStr& text, const CStr& find);

// The text Parse, then RemoveMatches (replacement null) or ReplaceMatches, then Join would
// give, made from the text in place without a line list. Returns how many lines matched; out
// is set only when some did, and no more than mostMatches. -1 when the result cannot be held:
// out is left as it was. lengths, when given, gets the lengths of text and out once out is set.
int RewriteMatchingLines(const CStr& text, const CStr& find, const CStr* replacement, CStr& out,
                         int mostMatches = INT_MAX, TextLengths* lengths = nullptr);
