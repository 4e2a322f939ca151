#include "scenetext.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "progress.h"

namespace {

const char kHeader[] = "scene 1";
const char kByteOrderMark[] = "\xEF\xBB\xBF";
const char kLoneCarriageReturns[] =
    "lines end in lone CRs (carriage returns without line feeds); only LF or CR LF end a line";

struct NodeEntry {
    int depth;
    std::string name;
    std::string props;
    bool hidden;
    int line = 0;
    bool hasProps = false;
};

class LineReader {
public:
    // A UTF-8 byte-order mark before the first line is no part of it.
    explicit LineReader(const std::string& text)
        : text_(text), pos_(text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0)
    {
    }
    bool Next(std::string& line)
    {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) end = text_.size();
        line.assign(text_, pos_, end - pos_);  // into the line's own room, kept between lines
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos_ = end + 1;
        ++number_;
        return true;
    }
    int Number() const { return number_; }
    // Reading the lines is the first half of opening a file, making the nodes the second.
    int Percent() const { return text_.empty() ? 0 : static_cast<int>(pos_ * 50.0 / text_.size()); }

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

bool DecodeEscape(const std::string& line, size_t& pos, std::string& out)
{
    if (pos >= line.size()) return false;
    switch (line[pos]) {
    case '\\': out += '\\'; break;
    case '"': out += '"'; break;
    case 'r': out += '\r'; break;
    case 'n': out += '\n'; break;
    case 't': out += '\t'; break;
    case 'x': {
        if (pos + 2 >= line.size()) return false;
        const int high = HexValue(line[pos + 1]);
        const int low = HexValue(line[pos + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        pos += 2;
        break;
    }
    default:
        return false;
    }
    ++pos;
    return true;
}

// Reads a quoted text starting at pos (at the opening quote); pos ends after the closing one.
bool ReadQuoted(const std::string& line, size_t& pos, std::string& out, std::string& problem)
{
    if (pos >= line.size() || line[pos] != '"') {
        problem = "expected a quoted text";
        return false;
    }
    ++pos;
    while (pos < line.size() && line[pos] != '"') {
        if (line[pos] != '\\') {
            const size_t plain = line.find_first_of("\\\"", pos);
            const size_t end = plain == std::string::npos ? line.size() : plain;
            out.append(line, pos, end - pos);
            pos = end;
            continue;
        }
        ++pos;
        if (!DecodeEscape(line, pos, out)) {
            problem = "bad escape in quoted text";
            return false;
        }
        // Names and texts are C strings: a NUL would cut off the rest of them unseen.
        if (out.back() == '\0') {
            problem = "\\x00 is not allowed in quoted text";
            return false;
        }
    }
    if (pos >= line.size()) {
        problem = "quoted text is not closed";
        return false;
    }
    ++pos;
    return true;
}

void SkipSpaces(const std::string& line, size_t& pos)
{
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

std::string Word(const std::string& line, size_t& pos)
{
    SkipSpaces(line, pos);
    const size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    return line.substr(start, pos - start);
}

// Depths go as deep as a node's depth can count (an int).
bool ParseDepth(const std::string& word, int previousDepth, int& depth, std::string& problem)
{
    depth = 0;
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos) {
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
        problem = "depth " + word + " skips a level (the node before has depth " +
                  std::to_string(previousDepth) + ")";
        return false;
    }
    return true;
}

bool ParseNode(const std::string& line, size_t pos, int previousDepth, NodeEntry& entry,
               std::string& problem)
{
    if (!ParseDepth(Word(line, pos), previousDepth, entry.depth, problem)) return false;
    SkipSpaces(line, pos);
    if (!ReadQuoted(line, pos, entry.name, problem)) return false;
    const std::string flag = Word(line, pos);
    if (flag == "hidden") {
        entry.hidden = true;
    } else if (!flag.empty()) {
        problem = "unknown node flag '" + flag + "'";
        return false;
    }
    if (!Word(line, pos).empty()) {
        problem = "unexpected text after the node";
        return false;
    }
    return true;
}

bool ParseProps(const std::string& line, size_t pos, NodeEntry& entry, std::string& problem)
{
    SkipSpaces(line, pos);
    std::string props;
    if (!ReadQuoted(line, pos, props, problem)) return false;
    if (!Word(line, pos).empty()) {
        problem = "unexpected text after the properties";
        return false;
    }
    if (entry.hasProps) {
        problem = "a second 'props' line for the node of line " + std::to_string(entry.line);
        return false;
    }
    entry.props = std::move(props);
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

bool ParseEntries(const std::string& text, std::vector<NodeEntry>& entries, size_t longestText,
                  SceneFileError& error)
{
    LineReader reader(text);
    std::string line;
    bool sawHeader = false;
    // A file whose lines end in lone CRs reads as one long line: say so rather than what
    // went wrong within it.
    auto refuse = [&](const std::string& problem) {
        return Fail(error, reader.Number(),
                    line.find('\r') != std::string::npos ? kLoneCarriageReturns : problem);
    };
    auto tooLong = [&](const std::string& text) { return text.size() > longestText; };
    const std::string tooLongProblem =
        "the text is too long: a node holds at most " + std::to_string(longestText) + " bytes";
    while (reader.Next(line)) {
        ReportProgress(reader.Percent(), 100);
        size_t pos = 0;
        const std::string keyword = Word(line, pos);
        std::string problem;
        if (keyword.empty() || keyword[0] == '#') continue;
        if (!sawHeader) {
            if (line != kHeader) return refuse("not a scene file (expected 'scene 1')");
            sawHeader = true;
        } else if (line.find('\0') != std::string::npos) {
            return refuse("the line holds a NUL byte");
        } else if (keyword == "node") {
            NodeEntry entry = {0, "", "", false};
            entry.line = reader.Number();
            const int previous = entries.empty() ? 0 : entries.back().depth;
            if (!ParseNode(line, pos, previous, entry, problem)) return refuse(problem);
            if (tooLong(entry.name)) return refuse(tooLongProblem);
            entries.push_back(std::move(entry));
        } else if (keyword == "props") {
            if (entries.empty()) return refuse("'props' before any node");
            if (!ParseProps(line, pos, entries.back(), problem)) return refuse(problem);
            if (tooLong(entries.back().props)) return refuse(tooLongProblem);
        } else {
            return refuse("unknown keyword '" + keyword + "'");
        }
    }
    if (!sawHeader) return Fail(error, reader.Number(), "not a scene file (expected 'scene 1')");
    return true;
}

void AppendQuoted(std::string& out, const char* text)
{
    out += '"';
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

}  // namespace

bool ParseSceneText(const std::string& text, Scene& scene, SceneFileError& error,
                    size_t longestText)
{
    std::vector<NodeEntry> entries;
    if (!ParseEntries(text, entries, longestText, error)) return false;
    if (!scene.Clear()) return Fail(error, 0, "a command is still running in the scene");
    std::vector<SceneNode*> parents = {scene.Root()};
    for (size_t i = 0; i < entries.size(); ++i) {
        const NodeEntry& entry = entries[i];
        ReportProgress(static_cast<int>(50 + i * 50 / entries.size()), 100);
        parents.resize(entry.depth);
        SceneNode* node = scene.CreateNode(parents.back(), entry.name.c_str(),
                                           entry.props.c_str(), entry.hidden);
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

std::string FormatSceneText(const Scene& scene)
{
    NodeTab nodes;
    scene.CollectNodes(nodes);
    std::string text = std::string(kHeader) + "\n";
    for (int i = 0; i < nodes.Count(); ++i) {
        ReportProgress(i, nodes.Count());
        const SceneNode* node = nodes[i];
        text += "node " + std::to_string(node->Depth()) + " ";
        AppendQuoted(text, node->NodeName());
        text += node->IsHidden() ? " hidden\n" : "\n";
        const char* props = node->UserPropText().data();
        if (!*props) continue;
        text += "props ";
        AppendQuoted(text, props);
        text += '\n';
    }
    return text;
}

const SceneFormat& SceneTextFormat()
{
    static const class SceneTextFormat format;
    return format;
}
