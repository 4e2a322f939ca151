#include "userproplines.h"

#include <new>

namespace {

// Spare elements added whenever the array is full: one list serves a whole command, so it
// settles at the size of the node with the most lines.
constexpr int kLineReserve = 10;

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

bool LineMatches(const CStr& line, const CStr& lowerFind)
{
    CStr head = line.Substr(0, lowerFind.Length());
    head.toLower();
    return head == lowerFind;
}

UserPropLines::~UserPropLines() { Clear(); }

void UserPropLines::Clear()
{
    DestroyLines();
    lines_.Free();
}

int UserPropLines::Count() const { return lines_.Count(); }

void UserPropLines::Parse(CStr text)
{
    DestroyLines();
    // Keeps the storage: the list is refilled for every node of a command.
    lines_.SetCount(0);
    int length = text.Length();
    char* chars = text.data();
    // Cuts the own copy in place, so that each piece is read straight from it.
    for (int start = 0; start < length;) {
        if (IsLineBreak(chars[start])) {
            ++start;
            continue;
        }
        int end = start;
        while (end < length && !IsLineBreak(chars[end])) ++end;
        chars[end] = 0;
        AppendText(chars + start);
        start = end + 1;
    }
}

CStr UserPropLines::Join() const
{
    static const char kBreak[] = "\r\n";
    int total = 0;
    for (int i = 0; i < Count(); ++i) total += lines_[i]->Length() + (i > 0 ? 2 : 0);
    CStr joined;
    // One allocation up front; should it fail, += still grows the string on its own.
    joined.Resize(total);
    for (int i = 0; i < Count(); ++i) {
        if (i > 0) joined += kBreak;
        joined += *lines_[i];
    }
    return joined;
}

CStr* UserPropLines::Line(int index) const
{
    return index >= 0 && index < Count() ? lines_[index] : nullptr;
}

void UserPropLines::SetLine(int index, const CStr& text)
{
    if (CStr* line = Line(index)) *line = text;
}

void UserPropLines::Append(const CStr& text) { AppendText(text.data()); }

int UserPropLines::CountMatches(CStr find) const
{
    find.toLower();
    int matches = 0;
    for (int i = 0; i < Count(); ++i)
        if (LineMatches(*lines_[i], find)) ++matches;
    return matches;
}

int UserPropLines::RemoveMatches(CStr find)
{
    find.toLower();
    int removed = 0;
    // The index stays put after a removal: the next line has moved into it.
    for (int i = 0; i < Count();) {
        CStr* line = lines_[i];
        if (!LineMatches(*line, find)) {
            ++i;
            continue;
        }
        lines_.Delete(i, 1);
        delete line;
        ++removed;
    }
    return removed;
}

int UserPropLines::ReplaceMatches(CStr find, CStr replacement)
{
    find.toLower();
    int replaced = 0;
    for (int i = 0; i < Count(); ++i) {
        if (!LineMatches(*lines_[i], find)) continue;
        SetLine(i, replacement);
        ++replaced;
    }
    return replaced;
}

void UserPropLines::AppendText(const char* text)
{
    CStr* line = new (std::nothrow) CStr(text);
    if (!line) return;
    if (lines_.Append(line, kLineReserve) < 0) delete line;
}

void UserPropLines::DestroyLines()
{
    for (int i = 0; i < Count(); ++i) delete lines_[i];
}
