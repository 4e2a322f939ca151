#include "gltfreader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "gltfextras.h"

namespace {

// RapidJSON's own check of UTF-8 reads past the end of a text cut inside a character, so the
// strings are checked here (IsUtf8).
constexpr unsigned kReadFlags =
    rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
// Within a text that has been read whole once: one value, then stop.
constexpr unsigned kValueFlags = rapidjson::kParseIterativeFlag |
                                 rapidjson::kParseNumbersAsStringsFlag |
                                 rapidjson::kParseStopWhenDoneFlag;

enum ChildrenKind : uint8_t { kAbsent, kList, kNotList };

// What a value is to the scene, by where it stands.
enum class Slot : uint8_t {
    kOther, kRoot, kAsset, kVersion, kScene, kScenes, kSceneObject, kSceneNodes, kSceneEntry,
    kNodes, kNode, kName, kChildren, kChild, kExtras, kResources, kResource, kUri
};

size_t SkipSpace(const std::string& json, size_t at)
{
    while (at < json.size() && IsJsonBlank(json[at])) ++at;
    return at;
}

// Where the string, number or literal that begins at json[begin] ends.
size_t TokenEnd(const std::string& json, size_t begin)
{
    size_t at = begin;
    if (at < json.size() && json[at] == '"') {
        for (++at; at < json.size() && json[at] != '"'; ++at)
            if (json[at] == '\\') ++at;
        return at + 1;
    }
    for (; at < json.size(); ++at) {
        switch (json[at]) {
        case ' ': case '\t': case '\n': case '\r': case ',': case ']': case '}': case ':': case '\0':
            return at;
        default: break;
        }
    }
    return at;
}

// Where the value after a key that ends at keyEnd begins.
size_t ValueAfterKey(const std::string& json, size_t keyEnd)
{
    const size_t colon = SkipSpace(json, keyEnd);
    return SkipSpace(json, colon + 1);
}

// Well-formed UTF-8: no overlong forms, no surrogates (which RapidJSON writes for a lone \u
// escape of one), nothing past U+10FFFF.
bool IsUtf8(const char* text, size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        const unsigned c = bytes[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t tails = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            tails = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            tails = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            tails = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (length - i <= tails) return false;
        if (bytes[i + 1] < low || bytes[i + 1] > high) return false;
        for (size_t k = 2; k <= tails; ++k)
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return false;
        i += tails + 1;
    }
    return true;
}

int LineAt(const std::string& text, size_t byte)
{
    const size_t end = byte < text.size() ? byte : text.size();
    int line = 1;
    for (size_t i = 0; i < end; ++i) line += text[i] == '\n';
    return line;
}

bool FailAt(SceneFileError& error, const std::string& json, bool binary, size_t at,
            const std::string& message)
{
    const int line = LineAt(json, at);
    error.line = binary ? 0 : line;
    error.message = binary ? message + " (line " + std::to_string(line) + ")" : message;
    return false;
}

bool Fail(SceneFileError& error, const std::string& message)
{
    error.line = 0;
    error.message = message;
    return false;
}

// A reading of a text by nlohmann's parser that builds nothing: the events a reader does
// not need are passed over.
class PassingSax : public nlohmann::json_sax<Json> {
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
};

// nlohmann's account of a syntax error, the words users of the program know, without its
// "parse error at line L, column C: " prefix.
class SyntaxErrorFinder : public PassingSax {
public:
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& failure) override
    {
        found = true;
        byte = position;
        const std::string what = failure.what();
        const size_t column = what.find("column ");
        const size_t start =
            column == std::string::npos ? std::string::npos : what.find(": ", column);
        const size_t named = what.find("] ");
        if (start != std::string::npos)
            message = what.substr(start + 2);
        else
            message = named == std::string::npos ? what : what.substr(named + 2);
        return false;
    }
    bool found = false;
    size_t byte = 0;
    std::string message;
};

bool SyntaxError(SceneFileError& error, const std::string& json, bool binary, size_t at,
                 const std::string& fallback)
{
    SyntaxErrorFinder finder;
    Json::sax_parse(json, &finder);
    std::string message = fallback;
    if (finder.found) {
        message = finder.message;
        at = finder.byte > 0 ? finder.byte - 1 : 0;
    }
    if (binary) return FailAt(error, json, true, at, "its JSON chunk is not valid JSON");
    return FailAt(error, json, false, at, "not valid JSON: " + message);
}

std::string DumpOf(const std::string& json, size_t begin, size_t end)
{
    return Json::parse(json.begin() + begin, json.begin() + end).dump();
}

// An index as written: digits only, within 64 bits.
bool IndexOf(const char* text, size_t length, uint64_t& index)
{
    if (length == 0 || length > 20) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    index = value;
    return true;
}

struct Entry {
    uint64_t index;  // UINT64_MAX: no index
    size_t begin;
    size_t end;
};

struct SceneRecord {
    bool isObject = false;
    uint8_t nodesKind = kAbsent;
    size_t entriesBegin = 0;
    size_t entriesCount = 0;
};

class OutlineHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, OutlineHandler> {
public:
    // texts false: the checks alone, without the names and texts.
    OutlineHandler(const std::string& json, size_t base, size_t textBlock, GltfOutline& outline,
                   bool texts)
        : json_(json), base_(base), textBlock_(textBlock > 0 ? textBlock : 1), texts_(texts),
          stream_(json.c_str() + base), outline_(outline)
    {
    }

    // The reader reports a string or a number while the stream stands at its start, a literal
    // after it, and a bracket before taking it.
    bool Null() { return Scalar("null", 4, Pos() - 4, false); }
    bool Bool(bool value)
    {
        return value ? Scalar("true", 4, Pos() - 4, false) : Scalar("false", 5, Pos() - 5, false);
    }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool)
    {
        if (!tooDeep_ && !FitsInExtras(text, length)) return false;
        return Scalar(text, length, Pos(), true);
    }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        if (!IsUtf8(text, length)) return BadText();
        return Scalar(text, length, Pos(), false, true);
    }
    bool StartObject() { return Start(true); }
    bool StartArray() { return Start(false); }
    bool EndObject(rapidjson::SizeType) { return End(); }
    bool EndArray(rapidjson::SizeType) { return End(); }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        if (!IsUtf8(text, length)) return BadText();
        if (tooDeep_) return true;
        Frame& frame = frames_[depth_ - 1];
        const std::string_view key(text, length);
        if (!FirstKey(frame, key)) return false;
        frame.pending = SlotOfMember(frame.slot, key);
        if (extrasDepth_ == 1 && texts_) TextKey(text, length);
        return true;
    }

    bool Read(bool binary, SceneFileError& error);

private:
    struct Frame {
        bool object = false;
        Slot slot = Slot::kOther;   // what the container is to the scene
        Slot entry = Slot::kOther;  // where it stands
        Slot pending = Slot::kOther;
        bool inExtras = false;
        long node = -1;  // the node the value lies in
        size_t begin = 0;
        size_t keysBegin = 0;
        size_t keyTextBegin = 0;
        // An object of many members finds a repeated key through this index.
        std::unique_ptr<std::unordered_multimap<size_t, size_t>> index;
    };
    struct KeyRecord {
        size_t begin;  // in keyText_
        size_t length;
    };
    // What the checks need of a node.
    struct Shape {
        size_t childrenBegin = 0;  // in children_
        size_t childrenCount = 0;
        bool isObject = false;
        uint8_t childrenKind = kAbsent;
    };

    size_t Pos() const { return base_ + stream_.Tell(); }

    // Room for what a container will hold at the end, judged by what the file has given it
    // so far, so that it is copied fewer times as it grows. It doubles as usual until a
    // sixty-fourth of the file is read; the room judged is at most half the file's size.
    template <class Container>
    void MakeRoom(Container& container, size_t more) const
    {
        const size_t wanted = container.size() + more;
        if (wanted <= container.capacity()) return;
        const size_t read = Pos() + 1;
        const size_t total = json_.size();
        size_t room = 2 * wanted;
        if (read >= total / 64) {
            const double judged = static_cast<double>(wanted) / read * total * 1.125;
            const double most = static_cast<double>(total / 2 / sizeof(*container.data()));
            room = std::max(wanted + wanted / 2, static_cast<size_t>(std::min(judged, most)));
        }
        container.reserve(room);
    }

    static Slot SlotOfMember(Slot container, std::string_view key)
    {
        switch (container) {
        case Slot::kRoot:
            if (key == "asset") return Slot::kAsset;
            if (key == "scene") return Slot::kScene;
            if (key == "scenes") return Slot::kScenes;
            if (key == "nodes") return Slot::kNodes;
            if (key == "buffers" || key == "images") return Slot::kResources;
            return Slot::kOther;
        case Slot::kAsset: return key == "version" ? Slot::kVersion : Slot::kOther;
        case Slot::kSceneObject: return key == "nodes" ? Slot::kSceneNodes : Slot::kOther;
        case Slot::kResource: return key == "uri" ? Slot::kUri : Slot::kOther;
        case Slot::kNode:
            if (key == "name") return Slot::kName;
            if (key == "children") return Slot::kChildren;
            if (key == "extras") return Slot::kExtras;
            return Slot::kOther;
        default: return Slot::kOther;
        }
    }
    static Slot SlotOfElement(Slot container)
    {
        switch (container) {
        case Slot::kScenes: return Slot::kSceneObject;
        case Slot::kSceneNodes: return Slot::kSceneEntry;
        case Slot::kNodes: return Slot::kNode;
        case Slot::kChildren: return Slot::kChild;
        case Slot::kResources: return Slot::kResource;
        default: return Slot::kOther;
        }
    }
    static bool IsEntry(Slot slot)
    {
        return slot == Slot::kScene || slot == Slot::kSceneEntry || slot == Slot::kChild;
    }

    // The slot of the value that begins now.
    Slot NextSlot() const
    {
        if (depth_ == 0) return Slot::kRoot;
        const Frame& frame = frames_[depth_ - 1];
        return frame.object ? frame.pending : SlotOfElement(frame.slot);
    }
    long NodeOf(Slot slot) const
    {
        if (slot == Slot::kNode) return static_cast<long>(outline_.nodes.size());
        return depth_ == 0 ? -1 : frames_[depth_ - 1].node;
    }

    bool Scalar(const char* text, size_t length, size_t begin, bool number, bool string = false)
    {
        if (tooDeep_) return true;
        const Slot slot = NextSlot();
        if (extrasDepth_ == 1 && !extrasRefused_ && texts_) {
            std::string& texts = outline_.blocks.back();
            if (string)
                AppendStringText(texts, text, length);
            else if (number)
                AppendNumberText(texts, text, length);
            else
                texts.append(text, length);
        }
        switch (slot) {
        case Slot::kRoot: rootIsObject_ = false; break;
        case Slot::kAsset: assetIsObject_ = false; break;
        case Slot::kVersion:
            versionIsString_ = string;
            if (string) version_.assign(text, length);
            break;
        case Slot::kScenes: scenesKind_ = kNotList; break;
        case Slot::kSceneObject: scenes_.emplace_back(); break;
        case Slot::kSceneNodes: scenes_.back().nodesKind = kNotList; break;
        case Slot::kNodes: nodesKind_ = kNotList; break;
        case Slot::kNode: AddNode(false, 0); break;
        case Slot::kName: {
            GltfOutline::Node& node = outline_.nodes.back();
            node.hasName = string;
            if (string && texts_) {
                std::string& names = outline_.blocks.back();
                node.nameBegin = names.size();
                node.nameLength = length;
                names.append(text, length);
                names += '\0';
            }
            break;
        }
        case Slot::kChildren: shapes_.back().childrenKind = kNotList; break;
        case Slot::kUri:
            if (string)
                outline_.references.push_back(
                    {begin, TokenEnd(json_, begin), std::string(text, length)});
            break;
        case Slot::kExtras: {
            GltfOutline::Span& span = outline_.spans.back();
            span.extrasBegin = begin;
            span.extrasEnd = TokenEnd(json_, begin);
            break;
        }
        case Slot::kScene:
        case Slot::kSceneEntry:
        case Slot::kChild: {
            uint64_t index = UINT64_MAX;
            if (!number || !IndexOf(text, length, index)) index = UINT64_MAX;
            AddEntry(slot, index, begin, TokenEnd(json_, begin));
            break;
        }
        default: break;
        }
        return true;
    }

    // A node begins. Its name and text go into the last block, or a new one when that one is
    // about full, so that no node's lie in two.
    void AddNode(bool object, size_t begin)
    {
        MakeRoom(outline_.nodes, 1);
        MakeRoom(outline_.spans, 1);
        MakeRoom(shapes_, 1);
        outline_.nodes.emplace_back();
        outline_.spans.emplace_back().begin = begin;
        shapes_.emplace_back().isObject = object;
        std::vector<std::string>& blocks = outline_.blocks;
        if (blocks.empty() || (blocks.back().size() >= textBlock_ - textBlock_ / 16 &&
                               blocks.size() < UINT32_MAX)) {
            blocks.emplace_back().reserve(texts_ ? textBlock_ : 0);
        }
        outline_.nodes.back().block = static_cast<uint32_t>(blocks.size() - 1);
    }

    void AddEntry(Slot slot, uint64_t index, size_t begin, size_t end)
    {
        if (slot == Slot::kScene) {
            sceneIndex_ = {index, begin, end};
            hasScene_ = true;
            return;
        }
        std::vector<Entry>& entries = slot == Slot::kChild ? children_ : sceneEntries_;
        MakeRoom(entries, 1);
        entries.push_back({index, begin, end});
    }

    bool Start(bool object)
    {
        ++level_;
        if (level_ > deepest_) deepest_ = level_;
        if (tooDeep_) return true;
        const Slot slot = NextSlot();
        const size_t begin = Pos();  // the iterative reader reports a bracket before taking it
        if (depth_ == static_cast<size_t>(kMaxJsonDepth)) {
            tooDeep_ = true;
            deepAt_ = begin;
            deepNode_ = NodeOf(slot);
            return true;
        }
        const long node = NodeOf(slot);
        const bool inExtras = slot == Slot::kExtras || (depth_ > 0 && frames_[depth_ - 1].inExtras);
        Slot own = slot;
        switch (slot) {
        case Slot::kRoot: rootIsObject_ = object; break;
        case Slot::kAsset: assetIsObject_ = object; break;
        case Slot::kVersion: versionIsString_ = false; break;
        case Slot::kScenes: scenesKind_ = object ? kNotList : kList; break;
        case Slot::kSceneObject:
            scenes_.emplace_back();
            scenes_.back().isObject = object;
            break;
        case Slot::kSceneNodes: {
            SceneRecord& scene = scenes_.back();
            scene.nodesKind = object ? kNotList : kList;
            scene.entriesBegin = sceneEntries_.size();
            break;
        }
        case Slot::kNodes: nodesKind_ = object ? kNotList : kList; break;
        case Slot::kNode: AddNode(object, begin); break;
        case Slot::kName: outline_.nodes.back().hasName = false; break;
        case Slot::kChildren: {
            Shape& shape = shapes_.back();
            shape.childrenKind = object ? kNotList : kList;
            shape.childrenBegin = children_.size();
            break;
        }
        case Slot::kExtras: {
            outline_.spans.back().extrasBegin = begin;
            outline_.nodes.back().textBegin = outline_.blocks.back().size();
            extrasDepth_ = 1;
            extrasRefused_ = !object;  // only an object gives lines
            extrasMembers_ = 0;
            break;
        }
        default:
            if (inExtras) {
                if (extrasDepth_ == 1) nestedBegin_ = begin;
                ++extrasDepth_;
            }
            break;
        }
        const bool wantsObject = slot == Slot::kRoot || slot == Slot::kAsset ||
                                 slot == Slot::kSceneObject || slot == Slot::kNode ||
                                 slot == Slot::kResource;
        const bool wantsList = slot == Slot::kScenes || slot == Slot::kSceneNodes ||
                               slot == Slot::kNodes || slot == Slot::kChildren ||
                               slot == Slot::kResources;
        if ((wantsObject && !object) || (wantsList && object)) own = Slot::kOther;
        if (frames_.size() <= depth_) frames_.emplace_back();
        Frame& frame = frames_[depth_++];
        frame.object = object;
        frame.slot = own;
        frame.entry = slot;
        frame.pending = Slot::kOther;
        frame.inExtras = inExtras;
        frame.node = node;
        frame.begin = begin;
        frame.keysBegin = keys_.size();
        frame.keyTextBegin = keyText_.size();
        if (frame.index) frame.index->clear();
        return true;
    }

    bool End()
    {
        --level_;
        if (tooDeep_) return true;
        Frame& frame = frames_[--depth_];
        const size_t end = Pos() + 1;
        switch (frame.entry) {
        case Slot::kScene:
        case Slot::kSceneEntry:
        case Slot::kChild: AddEntry(frame.entry, UINT64_MAX, frame.begin, end); break;
        case Slot::kSceneNodes:
            if (frame.slot == Slot::kSceneNodes)
                scenes_.back().entriesCount = sceneEntries_.size() - scenes_.back().entriesBegin;
            break;
        case Slot::kChildren:
            if (frame.slot == Slot::kChildren) {
                Shape& shape = shapes_[frame.node];
                shape.childrenCount = children_.size() - shape.childrenBegin;
            }
            break;
        case Slot::kNode: outline_.spans[frame.node].end = end; break;
        case Slot::kExtras: {
            GltfOutline::Node& node = outline_.nodes[frame.node];
            std::string& texts = outline_.blocks.back();
            outline_.spans[frame.node].extrasEnd = end;
            if (extrasRefused_) texts.resize(node.textBegin);
            node.textLength = texts.size() - node.textBegin;
            if (node.textLength > 0) texts += '\0';
            extrasDepth_ = 0;
            break;
        }
        default:
            if (frame.inExtras && --extrasDepth_ == 1 && !extrasRefused_ && texts_)
                outline_.blocks.back() += DumpOf(json_, nestedBegin_, end);
            break;
        }
        keys_.resize(frame.keysBegin);
        keyText_.resize(frame.keyTextBegin);
        return true;
    }

    // False, with the reason, when the object already has the key. A small object compares
    // its keys; a large one finds them by their hash.
    bool FirstKey(Frame& frame, std::string_view key)
    {
        const size_t count = keys_.size() - frame.keysBegin;
        bool repeated = false;
        size_t hash = 0;
        if (count < 16) {
            for (size_t i = frame.keysBegin; i < keys_.size() && !repeated; ++i)
                repeated = keys_[i].length == key.size() && KeyText(keys_[i]) == key;
        } else {
            const auto hashOf = [](std::string_view text) {
                return std::hash<std::string_view>()(text);
            };
            hash = hashOf(key);
            if (!frame.index)
                frame.index = std::make_unique<std::unordered_multimap<size_t, size_t>>();
            if (frame.index->empty())
                for (size_t i = frame.keysBegin; i < keys_.size(); ++i)
                    frame.index->emplace(hashOf(KeyText(keys_[i])), i);
            const auto range = frame.index->equal_range(hash);
            for (auto at = range.first; at != range.second && !repeated; ++at)
                repeated = KeyText(keys_[at->second]) == key;
            frame.index->emplace(hash, keys_.size());
        }
        if (repeated) {
            stopped_ = true;
            stopAt_ = Pos();
            stopMessage_ = NodePrefix(frame.node) + "the key " + Json(std::string(key)).dump() +
                           " appears twice in one object";
            return false;
        }
        keys_.push_back({keyText_.size(), key.size()});
        keyText_.append(key.data(), key.size());
        return true;
    }
    std::string_view KeyText(const KeyRecord& record) const
    {
        return std::string_view(keyText_).substr(record.begin, record.length);
    }
    // The extras' values become lines through the JSON library, which takes no number beyond
    // a double's range; elsewhere a number is kept as written.
    bool FitsInExtras(const char* text, size_t length)
    {
        const bool inExtras = NextSlot() == Slot::kExtras ||
                              (depth_ > 0 && frames_[depth_ - 1].inExtras);
        if (!inExtras || (length <= 20 && !std::memchr(text, 'e', length) &&
                          !std::memchr(text, 'E', length)))
            return true;
        if (std::isfinite(std::strtod(std::string(text, length).c_str(), nullptr))) return true;
        stopped_ = true;
        stopAt_ = Pos();
        stopMessage_ = NodePrefix(depth_ > 0 ? frames_[depth_ - 1].node : -1) +
                       "its extras hold the number " + std::string(text, length) +
                       ", which is too large to read";
        return false;
    }
    // A member of a node's extras begins its line; a key no line can hold leaves the node
    // no text.
    void TextKey(const char* text, size_t length)
    {
        if (extrasRefused_) return;
        for (size_t i = 0; i < length; ++i)
            if (text[i] == '\r' || text[i] == '\n' || text[i] == '\0') {
                extrasRefused_ = true;
                return;
            }
        std::string& texts = outline_.blocks.back();
        if (extrasMembers_++ > 0) texts += "\r\n";
        texts.append(text, length);
        texts += '=';
    }

    static std::string NodePrefix(long node)
    {
        return node >= 0 ? "node " + std::to_string(node) + ": " : std::string();
    }

    bool BadText()
    {
        stopped_ = true;
        syntax_ = true;
        stopAt_ = Pos();
        stopMessage_ = "a string is not UTF-8";
        return false;
    }

    std::string EntryText(const Entry& entry) const
    {
        if (entry.index != UINT64_MAX) return std::to_string(entry.index);
        return DumpOf(json_, entry.begin, entry.end);
    }
    bool Check(std::string& problem);
    bool PushEntries(size_t begin, size_t count, const std::vector<Entry>& entries,
                     const std::string& owner, int depth, long parent, std::string& problem);

    const std::string& json_;
    const size_t base_;
    const size_t textBlock_;
    const bool texts_;
    rapidjson::StringStream stream_;
    GltfOutline& outline_;

    std::vector<Frame> frames_;
    size_t depth_ = 0;  // frames open
    size_t level_ = 0;  // levels open, also past the limit
    size_t deepest_ = 0;
    std::vector<KeyRecord> keys_;
    std::string keyText_;

    // The text of the extras being read: their depth (1 for the object's own members), whether
    // they give none, their members so far, where a nested value began.
    int extrasDepth_ = 0;
    bool extrasRefused_ = false;
    size_t extrasMembers_ = 0;
    size_t nestedBegin_ = 0;

    bool tooDeep_ = false;
    size_t deepAt_ = 0;
    long deepNode_ = -1;
    bool stopped_ = false;
    bool syntax_ = false;
    size_t stopAt_ = 0;
    std::string stopMessage_;

    bool rootIsObject_ = false;
    bool assetIsObject_ = false;
    bool versionIsString_ = false;
    std::string version_;
    bool hasScene_ = false;
    Entry sceneIndex_{UINT64_MAX, 0, 0};
    uint8_t scenesKind_ = kAbsent;
    std::vector<SceneRecord> scenes_;
    std::vector<Entry> sceneEntries_;
    uint8_t nodesKind_ = kAbsent;
    std::vector<Shape> shapes_;  // beside outline_.nodes
    std::vector<Entry> children_;

    struct Pending {
        GltfOutline::Visit visit;
        long parent;
    };
    std::vector<Pending> pending_;
};

bool OutlineHandler::Read(bool binary, SceneFileError& error)
{
    rapidjson::Reader reader;
    const rapidjson::ParseResult result = reader.Parse<kReadFlags>(stream_, *this);
    if (tooDeep_)
        return FailAt(error, json_, binary, deepAt_,
                      NodePrefix(deepNode_) + "nested too deeply (" + std::to_string(deepest_) +
                          " levels)");
    if (stopped_ && !syntax_) return FailAt(error, json_, binary, stopAt_, stopMessage_);
    if (!result)
        return SyntaxError(error, json_, binary, syntax_ ? stopAt_ : base_ + result.Offset(),
                           syntax_ ? stopMessage_ : rapidjson::GetParseError_En(result.Code()));
    if (Pos() != json_.size())  // a NUL byte ends the stream early
        return SyntaxError(error, json_, binary, Pos(), "a NUL byte");
    std::string problem;
    if (!Check(problem)) return Fail(error, problem);
    return true;
}

// Pushes the listed nodes, last first, so that they are visited in file order.
bool OutlineHandler::PushEntries(size_t begin, size_t count, const std::vector<Entry>& entries,
                                 const std::string& owner, int depth, long parent,
                                 std::string& problem)
{
    const size_t nodeCount = outline_.nodes.size();
    for (size_t i = begin + count; i-- > begin;) {
        if (entries[i].index >= nodeCount) {
            problem = owner + " lists " + EntryText(entries[i]) + ", which is no node's index";
            return false;
        }
        pending_.push_back({{static_cast<size_t>(entries[i].index), depth}, parent});
    }
    return true;
}

bool IsAncestor(size_t node, long of, const std::vector<long>& parents)
{
    for (long at = of; at >= 0; at = parents[at])
        if (static_cast<size_t>(at) == node) return true;
    return false;
}

// The checks of a glTF scene, and the default scene's nodes depth first, in file order. A node
// reached twice is refused: a node has one parent at most, and the hierarchy has no cycles.
bool OutlineHandler::Check(std::string& problem)
{
    if (!rootIsObject_ || !assetIsObject_ || !versionIsString_) {
        problem = "not a glTF file (no asset version)";
        return false;
    }
    if (version_.compare(0, 2, "2.") != 0) {
        problem = "glTF version " + version_ + " is not supported (only 2.x)";
        return false;
    }
    if (scenesKind_ == kNotList) {
        problem = "\"scenes\" is not a list";
        return false;
    }
    const size_t sceneCount = scenes_.size();
    if (hasScene_ && sceneIndex_.index >= sceneCount) {
        problem = "\"scene\" is " + EntryText(sceneIndex_) + ", which is no scene's index";
        return false;
    }
    if (sceneCount == 0) return true;
    const SceneRecord& scene = scenes_[hasScene_ ? sceneIndex_.index : 0];
    if (!scene.isObject) {
        problem = "the default scene is not an object";
        return false;
    }
    if (nodesKind_ == kNotList) {
        problem = "\"nodes\" is not a list";
        return false;
    }
    if (scene.nodesKind == kNotList) {
        problem = "the default scene: its node list is not a list";
        return false;
    }
    std::vector<long> parents(shapes_.size(), -2);  // -2: not reached yet
    outline_.order.reserve(shapes_.size());
    if (!PushEntries(scene.entriesBegin, scene.entriesCount, sceneEntries_, "the default scene",
                     1, -1, problem))
        return false;
    while (!pending_.empty()) {
        const Pending next = pending_.back();
        pending_.pop_back();
        const size_t index = next.visit.index;
        const std::string label = "node " + std::to_string(index);
        if (parents[index] != -2) {
            problem = label + (IsAncestor(index, next.parent, parents)
                                   ? " is its own descendant (a cycle)"
                                   : " is reached twice (one parent at most)");
            return false;
        }
        const Shape& node = shapes_[index];
        if (!node.isObject) {
            problem = label + " is not an object";
            return false;
        }
        parents[index] = next.parent;
        outline_.order.push_back(next.visit);
        if (node.childrenKind == kNotList) {
            problem = label + ": its node list is not a list";
            return false;
        }
        if (!PushEntries(node.childrenBegin, node.childrenCount, children_, label,
                         next.visit.depth + 1, static_cast<long>(index), problem))
            return false;
    }
    return true;
}

class NodeMembersHandler
    : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, NodeMembersHandler> {
public:
    NodeMembersHandler(const std::string& json, size_t begin, NodeMembers& members)
        : json_(json), begin_(begin), stream_(json.c_str() + begin), members_(members)
    {
    }
    void Read()
    {
        // A reader of its own: one kept per thread (thread_local) is destroyed as a save's
        // worker thread ends, which the MinGW runtime under Wine was seen to fault on.
        rapidjson::Reader reader;
        reader.Parse<kValueFlags>(stream_, *this);
    }
    // Positions and texts as OutlineHandler receives them.
    bool Null() { return Literal("null", 4); }
    bool Bool(bool value) { return value ? Literal("true", 4) : Literal("false", 5); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool)
    {
        if (InExtrasMember()) AppendNumberText(members_.values, text, length);
        return Ended(TokenEnd(json_, Pos()));
    }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        if (InExtrasMember()) AppendStringText(members_.values, text, length);
        return Ended(TokenEnd(json_, Pos()));
    }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        std::vector<JsonMember>* owner =
            depth_ == 1 ? &members_.node : InExtrasMember() ? &members_.extras : nullptr;
        if (!owner) return true;
        const size_t keyBegin = Pos();
        const size_t keyEnd = TokenEnd(json_, keyBegin);
        owner->push_back(
            {keyBegin, keyEnd, ValueAfterKey(json_, keyEnd), 0, std::string(text, length)});
        return true;
    }
    bool StartObject() { return Open(true); }
    bool StartArray() { return Open(false); }
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

private:
    size_t Pos() const { return begin_ + stream_.Tell(); }
    // Within the extras object, outside its members' values.
    bool InExtrasMember() const { return extras_ && depth_ == 2; }
    bool Literal(const char* text, size_t length)
    {
        if (InExtrasMember()) members_.values.append(text, length);
        return Ended(Pos());
    }
    bool Open(bool object)
    {
        if (depth_ == 1 && object && !members_.node.empty() && members_.node.back().key == "extras")
            extras_ = true;
        if (InExtrasMember()) nestedBegin_ = Pos();
        ++depth_;
        return true;
    }
    bool Close()
    {
        --depth_;
        const size_t end = Pos() + 1;
        if (InExtrasMember()) members_.values += DumpOf(json_, nestedBegin_, end);
        if (depth_ == 1) extras_ = false;
        return Ended(end);
    }
    bool Ended(size_t end)
    {
        if (depth_ == 1 && !members_.node.empty()) members_.node.back().valueEnd = end;
        if (InExtrasMember() && !members_.extras.empty()) {
            members_.extras.back().valueEnd = end;
            members_.valueEnds.push_back(members_.values.size());
        }
        return true;
    }

    const std::string& json_;
    const size_t begin_;
    rapidjson::StringStream stream_;
    NodeMembers& members_;
    int depth_ = 0;
    bool extras_ = false;  // the extras object is open
    size_t nestedBegin_ = 0;
};

// How deep a text nests, by nlohmann's own reading of it, without a document.
class DepthCounter : public PassingSax {
public:
    bool start_object(std::size_t) override { return Open(); }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override
    {
        valid = false;
        return false;
    }
    bool valid = true;
    long deepest = 0;

private:
    bool Open()
    {
        if (++depth_ > deepest) deepest = depth_;
        return true;
    }
    bool Close()
    {
        --depth_;
        return true;
    }
    long depth_ = 0;
};

// The reading behind both: a byte order mark before the text is skipped.
bool ReadOutline(const std::string& json, bool binary, GltfOutline& outline,
                 SceneFileError& error, size_t textBlock, bool texts)
{
    const size_t base = json.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    OutlineHandler handler(json, base, textBlock, outline, texts);
    return handler.Read(binary, error);
}

}  // namespace

bool ReadGltfOutline(const std::string& json, bool binary, GltfOutline& outline,
                     SceneFileError& error, size_t textBlock)
{
    outline = GltfOutline();
    return ReadOutline(json, binary, outline, error, textBlock, true);
}

bool CheckGltf(const std::string& json, bool binary, SceneFileError& error)
{
    GltfOutline outline;
    return ReadOutline(json, binary, outline, error, kGltfTextBlock, false);
}

void GltfOutline::StartTaking()
{
    waiting_.assign(blocks.size(), 0);
    for (const Visit& visit : order) ++waiting_[nodes[visit.index].block];
    for (size_t i = 0; i < blocks.size(); ++i)
        if (waiting_[i] == 0) std::string().swap(blocks[i]);
}

void GltfOutline::Taken(size_t index)
{
    const uint32_t block = nodes[index].block;
    if (block < waiting_.size() && waiting_[block] > 0 && --waiting_[block] == 0)
        std::string().swap(blocks[block]);
}

long JsonDepth(const std::string& text)
{
    DepthCounter counter;
    Json::sax_parse(text, &counter);
    return counter.valid ? counter.deepest : -1;
}

void ReadNodeMembers(const std::string& json, size_t begin, NodeMembers& members)
{
    members.node.clear();
    members.extras.clear();
    members.values.clear();
    members.valueEnds.clear();
    NodeMembersHandler handler(json, begin, members);
    handler.Read();
}
