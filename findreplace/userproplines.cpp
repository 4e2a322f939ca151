#include "userproplines.h"

#include <new>
#include <utility>

namespace {

// Spare elements added, beyond as many as the array holds, whenever it is full: one list
// serves a whole command, so it settles at the size of the node with the most lines.
constexpr int kLineReserve = 10;

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// Where the line at p ends: at a line break or the terminating zero. Most characters are
// told apart from all three by one comparison.
const char* LineEnd(const char* p)
{
    for (;; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c <= '\r' && (c == 0 || c == '\r' || c == '\n')) return p;
    }
}

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

// Calls visit(line, end) for every non-empty line of text, in place, while it returns true.
// False when a visit stopped the walk.
template <class Visit>
bool ForEachLine(const char* text, Visit visit)
{
    for (const char* p = text; *p;) {
        if (IsLineBreak(*p)) {
            ++p;
            continue;
        }
        const char* end = LineEnd(p);
        if (!visit(p, end)) return false;
        p = end;
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
    return !ForEachLine(text, [&](const char* line, const char*) {
        return !BeginsWith(line, find.data(), true);
    });
}

int RewriteMatchingLines(const char* text, const CStr& find, const CStr* replacement, CStr& out,
                         int mostMatches)
{
    const long long replacementLength = replacement ? replacement->Length() : 0;
    long long total = 0;
    int kept = 0;
    int matched = 0;
    ForEachLine(text, [&](const char* line, const char* end) {
        const bool matches = BeginsWith(line, find.data(), true);
        matched += matches;
        if (!matches || replacement)
            total += (kept++ > 0 ? 2 : 0) + (matches ? replacementLength : end - line);
        return true;
    });
    if (matched == 0 || matched > mostMatches) return matched;
    CStr rewritten;
    if (total > INT_MAX - 1 || !rewritten.Resize(static_cast<int>(total))) return -1;
    char* o = rewritten.data();
    bool first = true;
    ForEachLine(text, [&](const char* line, const char* end) {
        const bool matches = BeginsWith(line, find.data(), true);
        if (matches && !replacement) return true;
        if (!first) {
            *o++ = '\r';
            *o++ = '\n';
        }
        first = false;
        const char* from = matches ? replacement->data() : line;
        const char* to = matches ? from + replacementLength : end;
        while (from < to) *o++ = *from++;
        return true;
    });
    *o = 0;
    out = std::move(rewritten);
    return matched;
}

UserPropLines::~UserPropLines() { Clear(); }

void UserPropLines::Clear()
{
    for (int i = 0; i < lines_.Count(); ++i) delete lines_[i];
    lines_.Free();
    count_ = 0;
}

int UserPropLines::Count() const { return count_; }

bool UserPropLines::Parse(const CStr& text)
{
    count_ = 0;
    return ForEachLine(text.data(), [this](const char* line, const char* end) {
        return AppendText(line, static_cast<int>(end - line));
    });
}

bool UserPropLines::JoinInto(CStr& joined) const
{
    int total = 0;
    for (int i = 0; i < Count(); ++i) total += lines_[i]->Length() + (i > 0 ? 2 : 0);
    // One allocation, filled in place.
    CStr text;
    if (!text.Resize(total)) return false;
    char* out = text.data();
    for (int i = 0; i < Count(); ++i) {
        if (i > 0) {
            *out++ = '\r';
            *out++ = '\n';
        }
        for (const char* in = lines_[i]->data(); *in;) *out++ = *in++;
    }
    *out = 0;
    joined = std::move(text);
    return true;
}

CStr UserPropLines::Join() const
{
    CStr joined;
    JoinInto(joined);
    return joined;
}

CStr* UserPropLines::Line(int index) const
{
    return index >= 0 && index < count_ ? lines_[index] : nullptr;
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
    // text of many thousand lines costs no more than reading it. The removed ones change
    // places with them and wait past the end for the next text.
    const int count = count_;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        CStr* line = lines_[i];
        if (LineMatches(*line, find)) continue;
        lines_.Set(i, lines_[kept]);
        lines_.Set(kept++, line);
    }
    count_ = kept;
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

bool UserPropLines::AppendText(const char* text, int length)
{
    if (count_ == lines_.Count()) {
        CStr* line = new (std::nothrow) CStr;
        if (!line) return false;
        if (lines_.Append(line, lines_.Count() + kLineReserve) < 0) {
            delete line;
            return false;
        }
    }
    if (!lines_[count_]->Assign(text, length)) return false;
    ++count_;
    return true;
}
