#include "userproplines.h"

#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "textlines.h"

namespace {

// Spare elements added, beyond as many as the array holds, whenever it is full: one list
// serves a whole command, so it settles at the size of the node with the most lines.
constexpr int kLineReserve = 10;

std::string_view View(const CStr& text)
{
    return std::string_view(text.data(), static_cast<size_t>(text.Length()));
}

bool Matches(const CStr& line, std::string_view find)
{
    return StartsWithIgnoringCase(View(line), find);
}

bool Matches(const char* line, const char* end, std::string_view find)
{
    return StartsWithIgnoringCase(std::string_view(line, end - line), find);
}

}  // namespace

bool LineMatches(const CStr& line, const CStr& find) { return Matches(line, View(find)); }

bool TextHasMatchingLine(const CStr& text, const CStr& find)
{
    const std::string_view f = View(find);
    return !ForEachLine(text.data(), [f](const char* line, const char* end) {
        return !Matches(line, end, f);
    });
}

int RewriteMatchingLines(const CStr& text, const CStr& find, const CStr* replacement, CStr& out,
                         int mostMatches, TextLengths* lengths)
{
    const std::string_view f = View(find);
    const long long replacementLength = replacement ? replacement->Length() : 0;
    // The lines a text usually has are kept from the first pass, so that the second only copies.
    struct Line {
        const char* begin;
        const char* end;
        bool matches;
    };
    constexpr int kKeptLines = 32;
    Line lines[kKeptLines];
    int lineCount = 0;
    long long total = 0;
    int kept = 0;
    int matched = 0;
    const char* const begin = text.data();
    const char* const end = ForEachLineToEnd(begin, [&](const char* line, const char* lineEnd) {
        const bool matches = Matches(line, lineEnd, f);
        if (lineCount < kKeptLines) lines[lineCount] = {line, lineEnd, matches};
        ++lineCount;
        matched += matches;
        if (!matches || replacement)
            total += (kept++ > 0 ? 2 : 0) + (matches ? replacementLength : lineEnd - line);
        return true;
    });
    if (matched == 0 || matched > mostMatches) return matched;
    CStr rewritten;
    if (total > INT_MAX - 1 || !rewritten.Resize(static_cast<int>(total))) return -1;
    char* o = rewritten.data();
    bool first = true;
    const auto put = [&](const char* line, const char* lineEnd, bool matches) {
        if (matches && !replacement) return true;
        if (!first) {
            *o++ = '\r';
            *o++ = '\n';
        }
        first = false;
        const char* from = matches ? replacement->data() : line;
        const size_t size = static_cast<size_t>(matches ? replacementLength : lineEnd - line);
        std::memcpy(o, from, size);
        o += size;
        return true;
    };
    if (lineCount <= kKeptLines) {
        for (int i = 0; i < lineCount; ++i) put(lines[i].begin, lines[i].end, lines[i].matches);
    } else {
        ForEachLine(begin, [&](const char* line, const char* lineEnd) {
            return put(line, lineEnd, Matches(line, lineEnd, f));
        });
    }
    *o = 0;
    out = std::move(rewritten);
    if (lengths) *lengths = {static_cast<int>(end - begin), static_cast<int>(total)};
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
    const std::string_view f = View(find);
    int matches = 0;
    for (int i = 0; i < Count(); ++i)
        if (Matches(*lines_[i], f)) ++matches;
    return matches;
}

int UserPropLines::RemoveMatches(const CStr& find)
{
    // One pass: the lines kept move down over the removed ones and keep their order, so a
    // text of many thousand lines costs no more than reading it. The removed ones change
    // places with them and wait past the end for the next text.
    const std::string_view f = View(find);
    const int count = count_;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        CStr* line = lines_[i];
        if (Matches(*line, f)) continue;
        lines_.Set(i, lines_[kept]);
        lines_.Set(kept++, line);
    }
    count_ = kept;
    return count - kept;
}

int UserPropLines::ReplaceMatches(const CStr& find, const CStr& replacement)
{
    const std::string_view f = View(find);
    int replaced = 0;
    for (int i = 0; i < Count(); ++i) {
        if (!Matches(*lines_[i], f)) continue;
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
