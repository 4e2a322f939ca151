#include "scenetext.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "progress.h"

namespace {

const char kHeader[] = "scene 1";
const char kByteOrderMark[] = "\xEF\xBB\xBF";
const char kLoneCarriageReturns[] =
    "lines end in lone CRs (carriage returns without line feeds); only LF or CR LF end a line";

// A node as read, its name and text decoded into the reader's one buffer of texts.
struct NodeEntry {
    int depth = 0;
    int line = 0;
    size_t name = 0;   // offsets into the texts, each ended by a zero
    size_t props = 0;  // 0: the empty text the buffer begins with
    bool hidden = false;
    bool hasProps = false;
};

using Line = std::string_view;

// The decoded names and texts of a whole file, back to back. A text decodes to no more bytes
// than its quoted form, and its zero takes the place of a quote, so the file's size is room
// enough: nothing is moved or allocated per node.
class Texts {
public:
    explicit Texts(size_t fileSize) : bytes_(new char[fileSize + 2]) { bytes_[0] = 0; }
    size_t Start() const { return end_; }
    char* End() { return bytes_.get() + end_; }
    void EndAt(const char* end) { end_ = static_cast<size_t>(end - bytes_.get()); }
    const char* At(size_t start) const { return bytes_.get() + start; }

private:
    std::unique_ptr<char[]> bytes_;
    size_t end_ = 1;
};

class LineReader {
public:
    // A UTF-8 byte-order mark before the first line is no part of it.
    explicit LineReader(const std::string& text)
        : text_(text), pos_(text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0)
    {
    }
    // hasNul: whether the line holds a NUL byte.
    bool Next(Line& line, bool& hasNul)
    {
        if (pos_ >= text_.size()) return false;
        const char* const start = text_.data() + pos_;
        const char* const end = text_.data() + text_.size();
        const char* at = start;
        hasNul = false;
        // Eight bytes at a time while none is a line feed or a zero: such a byte sets its
        // high bit in (word - 0x0101...) & ~word, with the line feeds turned to zeros first.
        const std::uint64_t ones = 0x0101010101010101u, highs = ones * 0x80;
        while (end - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, sizeof word);
            const std::uint64_t feeds = word ^ (ones * '\n');
            if ((((word - ones) & ~word) | ((feeds - ones) & ~feeds)) & highs) break;
            at += 8;
        }
        for (; at < end && *at != '\n'; ++at) hasNul = hasNul || *at == '\0';
        size_t length = static_cast<size_t>(at - start);
        pos_ += length + 1;
        if (length > 0 && start[length - 1] == '\r') --length;
        line = Line(start, length);
        ++number_;
        return true;
    }
    int Number() const { return number_; }
    // Reading the lines is the first half of opening a file, making the nodes the second.
    int Percent() const
    {
        return text_.empty() ? 0 : static_cast<int>(std::min(pos_, text_.size()) * 50.0 / text_.size());
    }

private:
    const std::string& text_;
    size_t pos_;
    int number_ = 0;
};

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at pos (at the opening quote) onto out, ended by a zero; pos
// ends after the closing quote.
bool ReadQuoted(Line line, size_t& pos, Texts& out, std::string& problem)
{
    if (pos >= line.size() || line[pos] != '"') {
        problem = "expected a quoted text";
        return false;
    }
    const char* p = line.data() + pos + 1;
    const char* const end = line.data() + line.size();
    char* put = out.End();
    while (p < end && *p != '"') {
        if (*p != '\\') {
            *put++ = *p++;
            continue;
        }
        const char escape = ++p < end ? *p++ : 0;
        char c;
        switch (escape) {
        case '\\': c = '\\'; break;
        case '"': c = '"'; break;
        case 'r': c = '\r'; break;
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'x': {
            const int high = end - p >= 2 ? HexValue(p[0]) : -1;
            const int low = high >= 0 ? HexValue(p[1]) : -1;
            if (low < 0) {
                problem = "bad escape in quoted text";
                return false;
            }
            c = static_cast<char>(high * 16 + low);
            p += 2;
            break;
        }
        default:
            problem = "bad escape in quoted text";
            return false;
        }
        // Names and texts are C strings: a NUL would cut off the rest of them unseen.
        if (c == '\0') {
            problem = "\\x00 is not allowed in quoted text";
            return false;
        }
        *put++ = c;
    }
    if (p >= end) {
        problem = "quoted text is not closed";
        return false;
    }
    *put++ = '\0';
    out.EndAt(put);
    pos = static_cast<size_t>(p + 1 - line.data());
    return true;
}

void SkipSpaces(Line line, size_t& pos)
{
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

Line Word(Line line, size_t& pos)
{
    SkipSpaces(line, pos);
    const size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    return line.substr(start, pos - start);
}

// Depths go as deep as a node's depth can count (an int).
bool ParseDepth(Line word, int previousDepth, int& depth, std::string& problem)
{
    depth = 0;
    if (word.empty() || word.find_first_not_of("0123456789") != Line::npos) {
        problem = "expected a depth (1 or more)";
        return false;
    }
    long long value = 0;
    for (const char digit : word) {
        value = value * 10 + (digit - '0');
        if (value > INT_MAX) {
            problem = "the depth is too large: a scene holds at most " + std::to_string(INT_MAX) +
                      " levels";
            return false;
        }
    }
    depth = static_cast<int>(value);
    if (depth < 1) {
        problem = "depth must be 1 or more";
        return false;
    }
    if (depth - 1 > previousDepth) {
        problem = "depth " + std::string(word) + " skips a level (the node before has depth " +
                  std::to_string(previousDepth) + ")";
        return false;
    }
    return true;
}

bool ParseNode(Line line, size_t pos, int previousDepth, NodeEntry& entry, Texts& texts,
               std::string& problem)
{
    if (!ParseDepth(Word(line, pos), previousDepth, entry.depth, problem)) return false;
    SkipSpaces(line, pos);
    entry.name = texts.Start();
    if (!ReadQuoted(line, pos, texts, problem)) return false;
    const Line flag = Word(line, pos);
    if (flag == "hidden") {
        entry.hidden = true;
    } else if (!flag.empty()) {
        problem = "unknown node flag '" + std::string(flag) + "'";
        return false;
    }
    if (!Word(line, pos).empty()) {
        problem = "unexpected text after the node";
        return false;
    }
    return true;
}

bool ParseProps(Line line, size_t pos, NodeEntry& entry, Texts& texts, std::string& problem)
{
    SkipSpaces(line, pos);
    const size_t props = texts.Start();
    if (!ReadQuoted(line, pos, texts, problem)) return false;
    if (!Word(line, pos).empty()) {
        problem = "unexpected text after the properties";
        return false;
    }
    if (entry.hasProps) {
        problem = "a second 'props' line for the node of line " + std::to_string(entry.line);
        return false;
    }
    entry.props = props;
    entry.hasProps = true;
    return true;
}

bool Fail(SceneFileError& error, int line, const std::string& message)
{
    error.line = line;
    error.message = message;
    return false;
}

class SceneTextFormat : public SceneFormat {
public:
    const char* Description() const override { return "Scene files"; }
    const char* Extension() const override { return "scene"; }
    bool Read(const std::string& bytes, Scene& scene, std::unique_ptr<SceneDocument>& document,
              SceneFileError& error) const override
    {
        document.reset();
        return ParseSceneText(bytes, scene, error);
    }
    bool Write(const Scene& scene, const SceneDocument*, std::string& bytes,
               SceneFileError&) const override
    {
        bytes = FormatSceneText(scene);
        return true;
    }
};

bool ParseEntries(const std::string& text, std::vector<NodeEntry>& entries, Texts& texts,
                  size_t longestText, SceneFileError& error)
{
    LineReader reader(text);
    Line line;
    bool hasNul = false;
    bool sawHeader = false;
    // A file whose lines end in lone CRs reads as one long line: say so rather than what
    // went wrong within it.
    auto refuse = [&](const std::string& problem) {
        return Fail(error, reader.Number(),
                    line.find('\r') != Line::npos ? kLoneCarriageReturns : problem);
    };
    // Length of the text that starts at start, without its zero.
    auto tooLong = [&](size_t start) { return texts.Start() - start - 1 > longestText; };
    const std::string tooLongProblem =
        "the text is too long: a node holds at most " + std::to_string(longestText) + " bytes";
    while (reader.Next(line, hasNul)) {
        ReportProgress(reader.Percent(), 100);
        size_t pos = 0;
        const Line keyword = Word(line, pos);
        std::string problem;
        if (keyword.empty() || keyword[0] == '#') continue;
        if (!sawHeader) {
            if (line != kHeader) return refuse("not a scene file (expected 'scene 1')");
            sawHeader = true;
        } else if (hasNul) {
            return refuse("the line holds a NUL byte");
        } else if (keyword == "node") {
            NodeEntry entry;
            entry.line = reader.Number();
            const int previous = entries.empty() ? 0 : entries.back().depth;
            if (!ParseNode(line, pos, previous, entry, texts, problem)) return refuse(problem);
            if (tooLong(entry.name)) return refuse(tooLongProblem);
            entries.push_back(entry);
        } else if (keyword == "props") {
            if (entries.empty()) return refuse("'props' before any node");
            if (!ParseProps(line, pos, entries.back(), texts, problem)) return refuse(problem);
            if (tooLong(entries.back().props)) return refuse(tooLongProblem);
        } else {
            return refuse("unknown keyword '" + std::string(keyword) + "'");
        }
    }
    if (!sawHeader) return Fail(error, reader.Number(), "not a scene file (expected 'scene 1')");
    return true;
}

// The bytes each character takes between the quotes: 1, 2 for \\ \" \r \n \t, 4 for \xHH.
struct QuotedSizes {
    unsigned char of[256];
    QuotedSizes()
    {
        for (int c = 0; c < 256; ++c) of[c] = c < 0x20 || c == 0x7F ? 4 : 1;
        for (const unsigned char c : {'\\', '"', '\r', '\n', '\t'}) of[c] = 2;
    }
};
const QuotedSizes kQuoted;

size_t QuotedSize(const char* text)
{
    size_t size = 2;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        size += kQuoted.of[*p];
    return size;
}

char* PutQuoted(char* out, const char* text)
{
    static const char kHex[] = "0123456789ABCDEF";
    *out++ = '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const unsigned char c = *p;
        if (kQuoted.of[c] == 1) {
            *out++ = static_cast<char>(c);
            continue;
        }
        *out++ = '\\';
        switch (c) {
        case '\r': *out++ = 'r'; break;
        case '\n': *out++ = 'n'; break;
        case '\t': *out++ = 't'; break;
        case '\\':
        case '"': *out++ = static_cast<char>(c); break;
        default:
            *out++ = 'x';
            *out++ = kHex[c >> 4];
            *out++ = kHex[c & 15];
        }
    }
    *out++ = '"';
    return out;
}

char* Put(char* out, const char* text, size_t size)
{
    std::memcpy(out, text, size);
    return out + size;
}

const char kNode[] = "node ";
const char kHidden[] = " hidden";
const char kProps[] = "props ";

}  // namespace

bool ParseSceneText(const std::string& text, Scene& scene, SceneFileError& error,
                    size_t longestText)
{
    std::vector<NodeEntry> entries;
    Texts texts(text.size());
    if (!ParseEntries(text, entries, texts, longestText, error)) return false;
    if (!scene.Clear()) return Fail(error, 0, "a command is still running in the scene");
    std::vector<SceneNode*> parents = {scene.Root()};
    for (size_t i = 0; i < entries.size(); ++i) {
        const NodeEntry& entry = entries[i];
        ReportProgress(static_cast<int>(50 + i * 50 / entries.size()), 100);
        parents.resize(entry.depth);
        SceneNode* node = scene.CreateNode(parents.back(), texts.At(entry.name),
                                           texts.At(entry.props), entry.hidden);
        // Half a scene must not pass for the file.
        if (!node) {
            scene.Clear();
            return Fail(error, entry.line, "not enough memory for the node; the scene is empty");
        }
        parents.push_back(node);
    }
    scene.SetModified(false);
    return true;
}

// Measured first, then written into its exact room: no byte is appended one at a time.
std::string FormatSceneText(const Scene& scene)
{
    NodeTab nodes;
    scene.CollectNodes(nodes);
    char depth[16];
    auto depthOf = [&](const SceneNode* node) {
        return static_cast<size_t>(std::to_chars(depth, depth + sizeof depth, node->Depth()).ptr - depth);
    };
    size_t size = sizeof kHeader;  // and its line feed
    for (int i = 0; i < nodes.Count(); ++i) {
        const SceneNode* node = nodes[i];
        size += sizeof kNode - 1 + depthOf(node) + 1 + QuotedSize(node->NodeName()) +
                (node->IsHidden() ? sizeof kHidden - 1 : 0) + 1;
        const char* props = node->UserPropText().data();
        if (*props) size += sizeof kProps - 1 + QuotedSize(props) + 1;
    }
    std::string text(size, '\0');
    char* out = Put(&text[0], kHeader, sizeof kHeader - 1);
    *out++ = '\n';
    for (int i = 0; i < nodes.Count(); ++i) {
        ReportProgress(i, nodes.Count());
        const SceneNode* node = nodes[i];
        out = Put(out, kNode, sizeof kNode - 1);
        out = Put(out, depth, depthOf(node));
        *out++ = ' ';
        out = PutQuoted(out, node->NodeName());
        if (node->IsHidden()) out = Put(out, kHidden, sizeof kHidden - 1);
        *out++ = '\n';
        const char* props = node->UserPropText().data();
        if (!*props) continue;
        out = Put(out, kProps, sizeof kProps - 1);
        out = PutQuoted(out, props);
        *out++ = '\n';
    }
    return text;
}

const SceneFormat& SceneTextFormat()
{
    static const class SceneTextFormat format;
    return format;
}
