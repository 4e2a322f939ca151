#include "userproplines.h"

#include <cstring>
#include <new>

namespace {

// Spare elements added, beyond as many as the array holds, whenever it is full: one list
// serves a whole command, so it settles at the size of the node with the most lines.
constexpr int kLineReserve = 10;

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether text begins with find, both with A to Z lower-cased. With endsAtBreak, a line
// break in text ends it as its terminating zero does.
bool BeginsWith(const char* text, const char* find, bool endsAtBreak)
{
    for (; *find; ++text, ++find) {
        if (!*text || (endsAtBreak && IsLineBreak(*text))) return false;
        if (Lower(*text) != Lower(*find)) return false;
    }
    return true;
}

}  // namespace

bool LineMatches(const CStr& line, const CStr& lowerFind)
{
    return BeginsWith(line.data(), lowerFind.data(), false);
}

bool TextHasMatchingLine(const char* text, const CStr& find)
{
    const char* p = text;
    while (*p) {
        if (IsLineBreak(*p)) {
            ++p;
            continue;
        }
        if (BeginsWith(p, find.data(), true)) return true;
        while (*p && !IsLineBreak(*p)) ++p;
    }
    return false;
}

UserPropLines::~UserPropLines() { Clear(); }

void UserPropLines::Clear()
{
    for (int i = 0; i < lines_.Count(); ++i) delete lines_[i];
    for (int i = 0; i < spare_.Count(); ++i) delete spare_[i];
    lines_.Free();
    spare_.Free();
}

int UserPropLines::Count() const { return lines_.Count(); }

void UserPropLines::Parse(const CStr& text)
{
    // Keeps the storage: the list is refilled for every node of a command.
    for (int i = Count(); i-- > 0;) Retire(lines_[i]);
    lines_.SetCount(0);
    const char* chars = text.data();
    for (int start = 0; chars[start];) {
        if (IsLineBreak(chars[start])) {
            ++start;
            continue;
        }
        int end = start;
        while (chars[end] && !IsLineBreak(chars[end])) ++end;
        AppendText(chars + start, end - start);
        start = end;
    }
}

CStr UserPropLines::Join() const
{
    int total = 0;
    for (int i = 0; i < Count(); ++i) total += lines_[i]->Length() + (i > 0 ? 2 : 0);
    CStr joined;
    // One allocation, filled in place; without it the text comes back short, which a writer
    // can tell by its length.
    if (!joined.Resize(total)) return joined;
    char* out = joined.data();
    for (int i = 0; i < Count(); ++i) {
        if (i > 0) {
            *out++ = '\r';
            *out++ = '\n';
        }
        const int length = lines_[i]->Length();
        std::memcpy(out, lines_[i]->data(), static_cast<size_t>(length));
        out += length;
    }
    *out = 0;
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

void UserPropLines::Append(const CStr& text) { AppendText(text.data(), text.Length()); }

int UserPropLines::CountMatches(const CStr& find) const
{
    int matches = 0;
    for (int i = 0; i < Count(); ++i)
        if (LineMatches(*lines_[i], find)) ++matches;
    return matches;
}

int UserPropLines::RemoveMatches(const CStr& find)
{
    // One pass: the lines kept move down over the removed ones and keep their order, so a
    // text of many thousand lines costs no more than reading it.
    const int count = Count();
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        CStr* line = lines_[i];
        if (LineMatches(*line, find))
            Retire(line);
        else
            lines_.Set(kept++, line);
    }
    lines_.SetCount(kept);
    return count - kept;
}

int UserPropLines::ReplaceMatches(const CStr& find, const CStr& replacement)
{
    int replaced = 0;
    for (int i = 0; i < Count(); ++i) {
        if (!LineMatches(*lines_[i], find)) continue;
        SetLine(i, replacement);
        ++replaced;
    }
    return replaced;
}

void UserPropLines::AppendText(const char* text, int length)
{
    CStr* line = nullptr;
    if (spare_.Count() > 0) {
        line = spare_[spare_.Count() - 1];
        spare_.Delete(spare_.Count() - 1, 1);
    } else {
        line = new (std::nothrow) CStr;
        if (!line) return;
    }
    if (!line->Assign(text, length) || lines_.Append(line, lines_.Count() + kLineReserve) < 0)
        Retire(line);
}

void UserPropLines::Retire(CStr* line)
{
    if (spare_.Append(line, spare_.Count() + kLineReserve) < 0) delete line;
}
