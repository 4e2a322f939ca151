#include "scriptlanguage.h"

#include <cstring>

#include "nodewalk.h"

namespace {

struct CommandShape {
    ScriptCommandId id;
    const char* name;
    const char* usage;
};

const CommandShape kCommands[] = {
#define SCRIPT_COMMAND_SHAPE(handler, name, usage) {ScriptCommandId::handler, name, usage},
    SCRIPT_COMMANDS(SCRIPT_COMMAND_SHAPE)
#undef SCRIPT_COMMAND_SHAPE
};

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// "props, selection, ..." for "expect", "props PATH, selection, ..." for "print".
std::string KindsOf(const std::string& command, bool withUsage)
{
    std::string kinds;
    for (const CommandShape& shape : kCommands) {
        const std::string name = shape.name;
        if (!StartsWith(name, command + " ") || name == "print window") continue;
        kinds += (kinds.empty() ? "" : ", ") + name.substr(command.size() + 1);
        if (withUsage && *shape.usage) kinds += std::string(" ") + shape.usage;
    }
    return kinds;
}

const char kLoneCarriageReturns[] =
    "lines end in lone CRs (carriage returns without line feeds); only LF or CR LF end a line";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string> Words(const char* text)
{
    std::vector<std::string> words;
    std::string word;
    for (const char* p = text;; ++p) {
        if (*p && *p != ' ') {
            word += *p;
            continue;
        }
        if (!word.empty()) words.push_back(word);
        word.clear();
        if (!*p) return words;
    }
}

const CommandShape* FindShape(const std::string& name)
{
    for (const CommandShape& shape : kCommands)
        if (name == shape.name) return &shape;
    return nullptr;
}

struct Placeholder {
    std::string name;
    bool optional = false;
    bool repeats = false;
};

Placeholder ReadPlaceholder(std::string word)
{
    Placeholder placeholder;
    if (word.front() == '[') {
        placeholder.optional = true;
        word = word.substr(1, word.size() - 2);
    }
    if (word.size() > 3 && word.compare(word.size() - 3, 3, "...") == 0) {
        placeholder.repeats = true;
        word.resize(word.size() - 3);
    }
    placeholder.name = word;
    return placeholder;
}

bool IsNumberPlaceholder(const std::string& name)
{
    return name == "INDEX" || name == "X" || name == "Y" || name == "W" || name == "H";
}

// A word in lower case stands for itself; one in capitals for whatever the script gives.
bool IsLiteralWord(const std::string& word)
{
    if (word.empty()) return false;
    for (char c : word)
        if (c < 'a' || c > 'z') return false;
    return true;
}

bool CheckArgument(const std::string& placeholder, const std::string& arg, std::string& problem)
{
    int number = 0;
    if (IsNumberPlaceholder(placeholder) && !ParseWholeNumber(arg, number)) {
        problem = placeholder + " must be a whole number, not " + QuotedText(arg);
        return false;
    }
    if (IsLiteralWord(placeholder) && arg != placeholder) {
        problem = "expected " + placeholder + ", not " + QuotedText(arg);
        return false;
    }
    const size_t bar = placeholder.find('|');
    if (bar != std::string::npos && IsLiteralWord(placeholder.substr(0, bar)) &&
        arg != placeholder.substr(0, bar) && arg != placeholder.substr(bar + 1)) {
        problem = "expected " + placeholder.substr(0, bar) + " or " + placeholder.substr(bar + 1) +
                  ", not " + QuotedText(arg);
        return false;
    }
    return true;
}

bool CheckArguments(const CommandShape& shape, const std::vector<std::string>& args,
                    std::string& problem)
{
    std::vector<Placeholder> placeholders;
    for (const std::string& word : Words(shape.usage)) placeholders.push_back(ReadPlaceholder(word));
    size_t least = 0;
    bool unlimited = false;
    for (const Placeholder& placeholder : placeholders) {
        least += placeholder.optional ? 0 : 1;
        unlimited = unlimited || placeholder.repeats;
    }
    if (args.size() < least || (!unlimited && args.size() > placeholders.size())) {
        problem = std::string("usage: ") + shape.name + (*shape.usage ? " " : "") + shape.usage;
        return false;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const Placeholder& placeholder = placeholders[i < placeholders.size() ? i : placeholders.size() - 1];
        if (!CheckArgument(placeholder.name, args[i], problem)) return false;
    }
    return true;
}

// The command's full name ("expect props") and its arguments, from a line's words.
bool NameCommand(std::vector<std::string>& words, ScriptCommand& command, std::string& problem)
{
    command.name = words.front();
    words.erase(words.begin());
    if (command.name == "expect") {
        if (words.empty() || !FindShape("expect " + words.front())) {
            problem = "expect what? one of: " + KindsOf("expect", false);
            return false;
        }
        command.name += " " + words.front();
        words.erase(words.begin());
    } else if (command.name == "print") {
        if (words.empty()) {
            problem = "print what? " + KindsOf("print", true) + " or a WINDOW";
            return false;
        }
        if (words.front() != "window" && FindShape("print " + words.front())) {
            command.name += " " + words.front();
            words.erase(words.begin());
        } else {
            command.name = "print window";
        }
    }
    command.args = words;
    if (const CommandShape* shape = FindShape(command.name)) {
        command.id = shape->id;
        return CheckArguments(*shape, command.args, problem);
    }
    problem = "unknown command " + QuotedText(command.name);
    return false;
}

bool ReadEscape(char c, std::string& word)
{
    switch (c) {
    case 'r': word += '\r'; return true;
    case 'n': word += '\n'; return true;
    case 't': word += '\t'; return true;
    case '"': word += '"'; return true;
    case '\\': word += '\\'; return true;
    case '/': word += "\\/"; return true;  // left for the node path to read
    default: return false;
    }
}

bool ReadString(const std::string& line, size_t& pos, std::string& word, std::string& problem)
{
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            if (pos < line.size() && !IsBlank(line[pos])) {
                problem = "a closing quote must be followed by a blank";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            word += c;
            continue;
        }
        if (++pos >= line.size()) break;
        if (!ReadEscape(line[pos], word)) {
            problem = std::string("unknown escape \\") + line[pos] +
                      " (a string knows \\r \\n \\t \\\" and \\\\)";
            return false;
        }
    }
    problem = "the string is not closed";
    return false;
}

bool ReadBareWord(const std::string& line, size_t& pos, std::string& word, std::string& problem)
{
    for (; pos < line.size() && !IsBlank(line[pos]); ++pos) {
        if (line[pos] == '"') {
            problem = "a quote inside a word: put the whole text in quotes";
            return false;
        }
        if (line[pos] == '\r') {
            problem = kLoneCarriageReturns;
            return false;
        }
        word += line[pos];
    }
    return true;
}

// A path's names one after the other, each ended by a byte no name holds.
std::uint64_t HashName(std::uint64_t hash, const char* name, size_t size)
{
    return HashBytes("", 1, HashBytes(name, size, hash));
}

bool IsCommentOrBlank(const std::string& line)
{
    size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    return pos == line.size() || line[pos] == '#';
}

}  // namespace

bool SplitScriptLine(const std::string& line, std::vector<std::string>& words, std::string& problem)
{
    words.clear();
    if (line.find('\0') != std::string::npos) {
        problem = "a NUL byte";
        return false;
    }
    size_t pos = 0;
    for (;;) {
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos >= line.size()) return true;
        std::string word;
        const bool read = line[pos] == '"' ? ReadString(line, pos, word, problem)
                                           : ReadBareWord(line, pos, word, problem);
        if (!read) return false;
        words.push_back(word);
    }
}

bool IsUtf16Text(const std::string& bytes)
{
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return true;
    // Without a byte-order mark: plain Latin text has a NUL in every other byte.
    const size_t sample = bytes.size() < 256 ? bytes.size() & ~size_t(1) : 256;
    size_t evenNuls = 0, oddNuls = 0;
    for (size_t i = 0; i < sample; ++i) (i % 2 ? oddNuls : evenNuls) += bytes[i] == '\0';
    const size_t pairs = sample / 2;
    return pairs > 0 && (evenNuls == 0) != (oddNuls == 0) && 2 * (evenNuls + oddNuls) >= pairs;
}

FileLines::FileLines(const std::string& text)
    : text_(text), pos_(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0)
{
}

bool FileLines::Next(std::string& line)
{
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string::npos) end = text_.size();
    line.assign(text_, pos_, end - pos_);
    pos_ = end + 1;
    ++number_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool ParseScript(const std::string& text, std::vector<ScriptCommand>& commands,
                 ScriptSyntaxError& error)
{
    commands.clear();
    if (IsUtf16Text(text)) {
        error = {0, "the script is UTF-16; save it as UTF-8"};
        return false;
    }
    FileLines lines(text);
    std::string line;
    while (lines.Next(line)) {
        if (IsCommentOrBlank(line)) continue;
        const int number = lines.Number();
        ScriptCommand command;
        command.line = number;
        std::vector<std::string> words;
        if (!SplitScriptLine(line, words, error.message) ||
            !NameCommand(words, command, error.message)) {
            // Lines that end in lone CRs read as one: say so rather than what went wrong in it.
            if (line.find('\r') != std::string::npos) error.message = kLoneCarriageReturns;
            error.line = number;
            return false;
        }
        commands.push_back(command);
    }
    return true;
}

std::string QuotedText(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '\r': quoted += "\\r"; break;
        case '\n': quoted += "\\n"; break;
        case '\t': quoted += "\\t"; break;
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        default: quoted += c;
        }
    }
    return quoted + "\"";
}

std::string ScriptWord(const std::string& text)
{
    bool bare = !text.empty() && text.front() != '#';
    for (unsigned char c : text) bare = bare && c > ' ' && c != '"' && c != 0x7F;
    return bare ? text : QuotedText(text);
}

bool ParseWholeNumber(const std::string& word, int& value)
{
    size_t digits = word.size() > 1 && (word[0] == '-' || word[0] == '+') ? 1 : 0;
    if (word.size() <= digits || word.size() - digits > 9) return false;
    if (word.find_first_not_of("0123456789", digits) != std::string::npos) return false;
    value = std::stoi(word);
    return true;
}

std::vector<std::string> SplitNodePath(const std::string& path)
{
    std::vector<std::string> names(1);
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\' && i + 1 < path.size() && (path[i + 1] == '/' || path[i + 1] == '\\'))
            names.back() += path[++i];
        else if (c == '/')
            names.emplace_back();
        else
            names.back() += c;
    }
    return names;
}

std::string NodePath(const SceneNode* node)
{
    std::vector<std::string> names;
    for (; node && node->Parent(); node = node->Parent()) {
        std::string name;
        for (const char* c = node->NodeName(); *c; ++c) {
            if (*c == '/' || *c == '\\') name += '\\';
            name += *c;
        }
        names.push_back(name);
    }
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        path += (name == names.rbegin() ? "" : "/") + *name;
    return path;
}

std::uint64_t HashBytes(const char* bytes, size_t size, std::uint64_t hash)
{
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    return hash;
}

SceneNode* NodePathIndex::Find(const Scene& scene, const std::string& path)
{
    if (&scene != scene_ || scene.TreeVersion() != version_) Build(scene);
    const std::vector<std::string> names = SplitNodePath(path);
    std::uint64_t hash = HashBytes("", 0);
    for (const std::string& name : names) hash = HashName(hash, name.data(), name.size());
    for (size_t slot = hash & mask_; slots_[slot].node; slot = (slot + 1) & mask_)
        if (slots_[slot].hash == hash && HasPath(slots_[slot].node, names)) return slots_[slot].node;
    return nullptr;
}

void NodePathIndex::Build(const Scene& scene)
{
    scene_ = &scene;
    version_ = scene.TreeVersion();
    // At most half full, so that every probe soon meets a free slot.
    size_t size = 16;
    while (size < 2 * static_cast<size_t>(scene.NodeCount()) + 2) size *= 2;
    slots_.assign(size, Slot());
    mask_ = size - 1;
    std::vector<std::uint64_t> hashes(1, HashBytes("", 0));  // of the path down to each depth
    NodeWalk walk(scene.Root());
    walk.Next();  // the root, which no path names
    while (SceneNode* node = walk.Next()) {
        ++visited_;
        const size_t depth = static_cast<size_t>(walk.Depth());
        hashes.resize(depth + 1);
        hashes[depth] = HashName(hashes[depth - 1], node->NodeName(), std::strlen(node->NodeName()));
        size_t slot = hashes[depth] & mask_;
        while (slots_[slot].node) slot = (slot + 1) & mask_;
        slots_[slot] = {hashes[depth], node};
    }
}

bool NodePathIndex::HasPath(const SceneNode* node, const std::vector<std::string>& names)
{
    for (size_t level = names.size(); level > 0; --level, node = node->Parent()) {
        ++visited_;
        if (!node->Parent() || names[level - 1] != node->NodeName()) return false;
    }
    return !node->Parent();
}

SceneNode* FindNodeByPath(const Scene& scene, const std::string& path)
{
    NodePathIndex index;
    return index.Find(scene, path);
}
