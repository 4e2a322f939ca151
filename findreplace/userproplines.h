// A node's user-property text as a list of separate, owned lines, and the match rule: a
// line matches a find text when it begins with it, ignoring case.
#pragma once

#include "cstr.h"
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
    void Parse(CStr text);
    // The lines joined with CR LF, no break after the last.
    CStr Join() const;
    CStr* Line(int index) const;  // null for an index out of range
    void SetLine(int index, const CStr& text);
    void Append(const CStr& text);

    int CountMatches(CStr find) const;
    int RemoveMatches(CStr find);
    int ReplaceMatches(CStr find, CStr replacement);

private:
    void AppendText(const char* text);  // nothing is added when memory runs out
    void DestroyLines();                // leaves the count and the storage as they were

    Tab<CStr*> lines_;  // owned
};

// lowerFind must already be lower-cased.
bool LineMatches(const CStr& line, const CStr& lowerFind);
