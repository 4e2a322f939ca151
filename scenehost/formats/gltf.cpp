#include "gltf.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "fileio.h"
#include "glb.h"
#include "gltfextras.h"
#include "gltfreader.h"

namespace {

// How the file's JSON was laid out, so that what a save prints looks like the rest.
struct JsonLayout {
    int indent = -1;  // -1: all on one line
    char indentChar = ' ';
    bool finalNewline = false;
    std::string newline = "\n";
};

JsonLayout LayoutOf(const std::string& json)
{
    JsonLayout layout;
    const size_t last = json.find_last_not_of(" \t\r\n");
    if (last == std::string::npos) return layout;
    layout.finalNewline = json.find('\n', last) != std::string::npos;
    const size_t newline = json.find('\n');
    if (newline != std::string::npos && newline > 0 && json[newline - 1] == '\r')
        layout.newline = "\r\n";
    if (newline > last) return layout;
    const size_t lineStart = newline + 1;
    layout.indentChar = json[lineStart] == '\t' ? '\t' : ' ';
    const size_t indent = json.find_first_not_of(" \t", lineStart) - lineStart;
    layout.indent = static_cast<int>(indent < 8 ? indent : 8);
    return layout;
}

std::string Dump(const Json& json, const JsonLayout& layout)
{
    return json.dump(layout.indent, layout.indentChar) + (layout.finalNewline ? "\n" : "");
}

struct GltfNode {
    size_t index;   // in the file's nodes
    uint64_t hash;  // of its text as read
};

using NodeSpan = GltfOutline::Span;

class GltfDocument : public SceneDocument {
public:
    std::string bytes;  // the file as read
    std::string json;   // a .glb's JSON chunk; a .gltf's JSON is bytes
    bool binary = false;
    std::string chunksAfterJson;
    JsonLayout layout;
    std::vector<NodeSpan> spans;  // the file's nodes
    std::vector<GltfNode> nodes;  // the scene's nodes in hierarchy order
    // Scene::LatestVersion once the scene was built: a node no later has the text read.
    std::uint64_t builtVersion = 0;
    std::vector<GltfOutline::Reference> references;  // buffers and images, as read
    std::vector<std::string> uris;                   // theirs since the last save
    // What the latest write for another folder gave them, theirs once that save went through.
    mutable std::vector<std::string> written;

    const std::string& Text() const { return binary ? json : bytes; }
    bool SameAsRead(const Scene& scene, const SceneFormat& format) const override;
    // Whether node i of the scene's, in hierarchy order, has the text it was read with.
    bool TextAsRead(const NodeTab& sceneNodes, int i) const;
    void Saved(const char* savedPath) override
    {
        SceneDocument::Saved(savedPath);
        if (!written.empty()) uris = written;
        written.clear();
    }
};

bool Fail(SceneFileError& error, const std::string& message, int line = 0)
{
    error.line = line;
    error.message = message;
    return false;
}

uint64_t HashOf(const CStr& text) { return ContentHash(text.data(), text.Length()); }

// --- Reading ---------------------------------------------------------------------------

// The outline's names and texts are given back block by block as the nodes take them.
bool BuildScene(GltfDocument& document, GltfOutline& outline, const TextCodec& codec,
                Scene& scene, SceneFileError& error)
{
    if (!scene.Clear()) return Fail(error, "a command is still running in the scene");
    std::vector<SceneNode*> parents = {scene.Root()};
    document.nodes.reserve(outline.order.size());
    document.spans = std::move(outline.spans);
    outline.StartTaking();
    // UTF-8 names and texts go from the outline to the nodes as they are.
    const bool asRead = &codec == &Utf8TextCodec();
    std::string name, text;
    for (const GltfOutline::Visit& visit : outline.order) {
        const GltfOutline::Node& node = outline.nodes[visit.index];
        const char* nameRead = outline.NameOf(node);
        const char* textRead = outline.TextOf(node);
        if (!nameRead || !textRead) {
            scene.Clear();
            return Fail(error, "cannot be read: node " + std::to_string(visit.index) +
                                   " lost its text before it was built");
        }
        bool lost = false;
        if (!node.hasName) {
            name = "node " + std::to_string(visit.index);
            nameRead = name.c_str();
        } else if (!asRead) {
            name = codec.FromUtf8(std::string(nameRead, node.nameLength), lost);
            nameRead = name.c_str();
        }
        if (!asRead) {
            text = codec.FromUtf8(std::string(textRead, node.textLength), lost);
            textRead = text.c_str();
        }
        parents.resize(visit.depth);
        SceneNode* created = scene.CreateNode(parents.back(), nameRead, textRead);
        if (!created) {
            scene.Clear();
            return Fail(error, "is too large to hold in memory");
        }
        outline.Taken(visit.index);
        parents.push_back(created);
        document.nodes.push_back({visit.index, HashOf(created->UserPropText())});
    }
    scene.SetModified(false);
    document.builtVersion = Scene::LatestVersion();
    return true;
}

// --- Writing -----------------------------------------------------------------------------

std::string Quoted(const SceneNode* node)
{
    return std::string("node \"") + node->NodeName() + "\": ";
}

bool ExtrasOfNode(const SceneNode* node, const ExtrasText& asRead, const TextCodec& codec,
                  Json& extras, SceneFileError& error)
{
    std::string problem;
    if (ExtrasOfText(node->UserPropText().data(), asRead, codec, extras, problem))
        return true;
    return Fail(error, Quoted(node) + problem);
}

bool GltfDocument::TextAsRead(const NodeTab& sceneNodes, int i) const
{
    const SceneNode* node = sceneNodes[i];
    return node->TextVersion() <= builtVersion ||
           HashOf(node->UserPropText()) == nodes[static_cast<size_t>(i)].hash;
}

bool GltfDocument::SameAsRead(const Scene& scene, const SceneFormat& format) const
{
    NodeTab sceneNodes;
    scene.CollectNodes(sceneNodes);
    if (std::string(format.Extension()) != (binary ? "glb" : "gltf") ||
        static_cast<size_t>(sceneNodes.Count()) != nodes.size())
        return false;
    for (size_t i = 0; i < references.size(); ++i)
        if (uris[i] != references[i].uri) return false;
    for (int i = 0; i < sceneNodes.Count(); ++i) {
        PrefetchNode(sceneNodes, i);
        if (!TextAsRead(sceneNodes, i)) return false;
    }
    return true;
}

// How a node's members are laid out, for the text a save puts among them.
struct MemberStyle {
    bool multiline = false;
    std::string newline;
    std::string base;   // the indentation of the node's members
    std::string unit;   // one level more
    std::string colon;  // between a key and its value
    std::string comma;  // between members on one line
};

// The blanks before at on its line, when only blanks stand there.
bool IndentBefore(const std::string& json, size_t at, std::string& indent)
{
    size_t start = at;
    while (start > 0 && (json[start - 1] == ' ' || json[start - 1] == '\t')) --start;
    if (start > 0 && json[start - 1] != '\n') return false;
    indent = json.substr(start, at - start);
    return true;
}

MemberStyle StyleOf(const std::string& json, const JsonLayout& layout, const NodeSpan& span,
                    const std::vector<JsonMember>& members)
{
    MemberStyle style;
    style.newline = layout.newline;
    style.unit.assign(layout.indent > 0 ? layout.indent : 0, layout.indentChar);
    if (members.empty()) {
        std::string nodeIndent;
        style.multiline = layout.indent >= 0 && IndentBefore(json, span.begin, nodeIndent);
        style.base = nodeIndent + style.unit;
    } else {
        style.multiline = IndentBefore(json, members[0].keyBegin, style.base);
    }
    style.colon = style.multiline ? ": " : ":";
    if (!members.empty()) {
        const JsonMember& first = members[0];
        const std::string colon = json.substr(first.keyEnd, first.valueBegin - first.keyEnd);
        if (colon.find('\n') == std::string::npos) style.colon = colon;
    }
    style.comma = style.colon.back() == ' ' ? ", " : ",";
    if (members.size() >= 2) {
        const std::string comma =
            json.substr(members[0].valueEnd, members[1].keyBegin - members[0].valueEnd);
        if (comma.find('\n') == std::string::npos) style.comma = comma;
    }
    return style;
}

void PrintValue(const Json& value, const MemberStyle& style, const std::string& indent,
                std::string& out)
{
    if (!value.is_structured() || value.empty()) {
        out += value.dump();
        return;
    }
    const bool object = value.is_object();
    const std::string inner = indent + style.unit;
    out += object ? '{' : '[';
    bool first = true;
    for (auto at = value.begin(); at != value.end(); ++at) {
        if (!first) out += style.multiline ? std::string(",") : style.comma;
        first = false;
        if (style.multiline) out += style.newline + inner;
        if (object) out += Json(at.key()).dump() + style.colon;
        PrintValue(at.value(), style, inner, out);
    }
    if (style.multiline) out += style.newline + indent;
    out += object ? '}' : ']';
}

// A node's new extras, appended to out: members kept from the file as they were written, new
// ones printed.
void PrintExtras(const std::string& json, const std::vector<ExtrasMember>& extras,
                 const std::vector<JsonMember>& read, const MemberStyle& style, std::string& out)
{
    const std::string inner = style.base + style.unit;
    out += '{';
    for (size_t i = 0; i < extras.size(); ++i) {
        if (i > 0) out += style.multiline ? std::string_view(",") : std::string_view(style.comma);
        if (style.multiline) {
            out += style.newline;
            out += inner;
        }
        const ExtrasMember& member = extras[i];
        if (member.kept < 0) {
            out += Json(member.key).dump();
            out += style.colon;
            PrintValue(member.value, style, inner, out);
            continue;
        }
        // The lines read are made from these members, one each.
        if (static_cast<size_t>(member.kept) >= read.size())
            throw std::logic_error("a kept line has no member");
        const JsonMember& kept = read[member.kept];
        out.append(json, kept.keyBegin, kept.keyEnd - kept.keyBegin);
        out += style.colon;
        out.append(json, kept.valueBegin, kept.valueEnd - kept.valueBegin);
    }
    if (style.multiline) {
        out += style.newline;
        out += style.base;
    }
    out += '}';
}

// A change of the file's text: [from, to) becomes the size bytes at text.
struct Edit {
    size_t from;
    size_t to;
    const char* text;
    size_t size;
};

// The same while its text is still being put together: the size bytes at at of a buffer.
struct PartEdit {
    size_t from;
    size_t to;
    size_t at;
    size_t size;
};

// What the library calls the type of a JSON value, by its first byte.
const char* TypeNameOf(char first)
{
    switch (first) {
    case '{': return "object";
    case '[': return "array";
    case '"': return "string";
    case 't':
    case 'f': return "boolean";
    case 'n': return "null";
    default: return "number";
    }
}

// The lines a node's extras gave as read, from the pass over the node.
void ReadExtras(const std::string& json, const NodeSpan& span, const NodeMembers& read,
                const TextCodec& codec, ExtrasText& asRead)
{
    asRead.Clear();
    if (span.extrasBegin == span.extrasEnd) return;
    if (json[span.extrasBegin] != '{') {
        RefuseExtrasOfType(asRead, TypeNameOf(json[span.extrasBegin]));
        return;
    }
    size_t begin = 0;
    for (size_t i = 0; i < read.extras.size(); ++i) {
        const size_t end = read.valueEnds[i];
        if (!AddExtrasLine(asRead, read.extras[i].key, read.values.data() + begin, end - begin,
                           codec))
            return;
        begin = end;
    }
}

// The edit that gives the node extras, its new text appended to out.
PartEdit EditOf(const std::string& json, const JsonLayout& layout, const NodeSpan& span,
                const NodeMembers& read, const std::vector<ExtrasMember>& extras, std::string& out)
{
    const std::vector<JsonMember>& members = read.node;
    const MemberStyle style = StyleOf(json, layout, span, members);
    size_t at = 0;
    while (at < members.size() && members[at].key != "extras") ++at;
    const bool has = at < members.size();
    const size_t start = out.size();
    const auto made = [&out, start](size_t from, size_t to) {
        return PartEdit{from, to, start, out.size() - start};
    };
    if (extras.empty()) {
        if (at > 0) return made(members[at - 1].valueEnd, members[at].valueEnd);
        if (members.size() > 1) return made(members[0].keyBegin, members[1].keyBegin);
        return made(span.begin + 1, span.end - 1);
    }
    if (has) {
        PrintExtras(json, extras, read.extras, style, out);
        return made(members[at].valueBegin, members[at].valueEnd);
    }
    const auto member = [&] {
        out += "\"extras\"";
        out += style.colon;
        PrintExtras(json, extras, read.extras, style, out);
    };
    if (members.empty()) {
        if (!style.multiline) {
            member();
            return made(span.begin + 1, span.end - 1);
        }
        std::string nodeIndent;
        IndentBefore(json, span.begin, nodeIndent);
        out += style.newline;
        out += style.base;
        member();
        out += style.newline;
        out += nodeIndent;
        return made(span.begin + 1, span.end - 1);
    }
    if (style.multiline) {
        out += ',';
        out += style.newline;
        out += style.base;
    } else {
        out += style.comma;
    }
    member();
    return made(members.back().valueEnd, members.back().valueEnd);
}

// The changed nodes' work is split over threads, each taking a run of them in file order, with
// at least this many changed nodes a thread.
const size_t kChangedPerWorker = 2048;
const size_t kMostWorkers = 8;
size_t workersForTests = 0;  // SetSaveWorkersForTests

// Calls work(part, begin, end) for consecutive parts of [0, count), on threads of their own
// but the first, which runs on the calling one, and returns when all are done, with what each
// part threw. A part whose thread cannot be started runs on the calling thread.
template <typename Work>
std::vector<std::exception_ptr> InParts(size_t count, size_t parts, const Work& work)
{
    std::vector<std::exception_ptr> thrown(parts);
    const auto run = [&work, &thrown, parts, count](size_t part) noexcept {
        try {
            work(part, count * part / parts, count * (part + 1) / parts);
        } catch (...) {
            thrown[part] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(parts);
    std::vector<size_t> here = {0};
    here.reserve(parts);
    for (size_t part = 1; part < parts; ++part) {
        try {
            threads.emplace_back(run, part);
        } catch (const std::system_error&) {
            here.push_back(part);
        }
    }
    for (const size_t part : here) run(part);
    for (std::thread& thread : threads) thread.join();
    return thrown;
}

size_t PartsFor(size_t count)
{
    if (workersForTests > 0) return std::min(workersForTests, std::max<size_t>(count, 1));
    if (!ThreadsAllocateAtOnce()) return 1;
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max<size_t>(1, std::min({cores, kMostWorkers, count / kChangedPerWorker}));
}

// One thread's share of a save: the edits of its nodes, and those nodes in files of their
// own, read back with every check of an open (every other byte of the save is as read).
struct EditsPart {
    std::vector<PartEdit> edits;
    std::string texts;  // the edits' new texts, one after another
    bool failed = false;
    SceneFileError error;
    bool readsBack = true;
};

// What a part keeps from node to node for the room it holds.
struct NodeWork {
    NodeMembers read;
    ExtrasText asRead;
    std::vector<ExtrasMember> extras;
};

// Adds the edit of a changed node to part; false when its text cannot be saved. changed is
// false where the text gives the extras it was read from.
bool EditOfNode(const SceneNode* node, const std::string& json, const JsonLayout& layout,
                const NodeSpan& span, const TextCodec& codec, NodeWork& work, EditsPart& part,
                bool& changed)
{
    changed = false;
    ReadNodeMembers(json, span.begin, work.read);
    ReadExtras(json, span, work.read, codec, work.asRead);
    const std::string_view text = node->UserPropText().data();
    if (work.asRead.text == text) return true;
    std::string problem;
    if (!MembersOfText(text, work.asRead, codec, work.extras, problem))
        return Fail(part.error, Quoted(node) + problem);
    // Blank lines give no properties to extras that cannot take any.
    if (work.extras.empty() &&
        (!work.asRead.refusal.empty() || span.extrasBegin == span.extrasEnd))
        return true;
    part.edits.push_back(EditOf(json, layout, span, work.read, work.extras, part.texts));
    changed = true;
    return true;
}

// The changed nodes are read back a few at a time, so that no text and outline of them all
// are held at once.
const size_t kReadBackText = size_t(1) << 20;

void MakePart(const NodeTab& nodes, const std::vector<int>& touched, size_t begin, size_t end,
              const GltfDocument& document, bool binary, const TextCodec& codec,
              EditsPart& part)
{
    const std::string& json = document.Text();
    const char* const head = "{\"asset\":{\"version\":\"2.0\"},\"nodes\":[";
    std::string changed = head;
    size_t inChanged = 0;
    const auto readBack = [&] {
        if (inChanged == 0) return;
        changed += "]}";
        SceneFileError problem;
        if (part.readsBack) part.readsBack = CheckGltf(changed, binary, problem);
        changed.assign(head);
        inChanged = 0;
    };
    NodeWork work;
    for (size_t i = begin; i < end; ++i) {
        const int index = touched[i];
        const NodeSpan& span = document.spans[document.nodes[index].index];
        bool has = false;
        if (!EditOfNode(nodes[index], json, document.layout, span, codec, work, part, has)) {
            part.failed = true;
            return;
        }
        if (!has) continue;
        const PartEdit& edit = part.edits.back();
        if (inChanged++ > 0) changed += ',';
        changed.append(json, span.begin, edit.from - span.begin);
        changed.append(part.texts, edit.at, edit.size);
        changed.append(json, edit.to, span.end - edit.to);
        if (changed.size() >= kReadBackText) readBack();
    }
    readBack();
}

// The edits of the nodes whose text changed, in file order, their texts held by text.
// readsBack is false when the changed nodes would not read back on their own.
bool Edits(const Scene& scene, const GltfDocument& document, bool binary, const TextCodec& codec,
           std::vector<Edit>& edits, SavedText& text, bool& readsBack, SceneFileError& error)
{
    NodeTab nodes;
    scene.CollectNodes(nodes);
    if (static_cast<size_t>(nodes.Count()) != document.nodes.size())
        return Fail(error, "the scene's nodes no longer match the file they were read from");
    const size_t count = static_cast<size_t>(nodes.Count());
    const size_t hashParts = PartsFor(count / 16);
    std::vector<std::vector<int>> touchedIn(hashParts);
    for (const std::exception_ptr& thrown :
         InParts(count, hashParts, [&](size_t part, size_t begin, size_t end) {
             for (size_t i = begin; i < end; ++i) {
                 PrefetchNode(nodes, static_cast<int>(i));
                 if (!document.TextAsRead(nodes, static_cast<int>(i)))
                     touchedIn[part].push_back(static_cast<int>(i));
             }
         }))
        if (thrown) std::rethrow_exception(thrown);
    std::vector<int> touched;
    for (const std::vector<int>& some : touchedIn)
        touched.insert(touched.end(), some.begin(), some.end());
    std::vector<EditsPart> parts(PartsFor(touched.size()));
    const std::vector<std::exception_ptr> thrown =
        InParts(touched.size(), parts.size(), [&](size_t part, size_t begin, size_t end) {
            MakePart(nodes, touched, begin, end, document, binary, codec, parts[part]);
        });
    // The first node in file order that fails decides, as if they were made one by one.
    readsBack = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (thrown[i]) std::rethrow_exception(thrown[i]);
        if (parts[i].failed) {
            error = parts[i].error;
            return false;
        }
        readsBack = readsBack && parts[i].readsBack;
    }
    size_t made = edits.size();
    for (const EditsPart& part : parts) made += part.edits.size();
    edits.reserve(made);
    for (EditsPart& part : parts) {
        text.texts.push_back(std::move(part.texts));
        const char* texts = text.texts.back().data();
        for (const PartEdit& edit : part.edits)
            edits.push_back({edit.from, edit.to, texts + edit.at, edit.size});
        std::vector<PartEdit>().swap(part.edits);
    }
    return true;
}

bool FinishFile(std::string json, bool binary, const std::string& chunksAfterJson,
                std::string& bytes, SceneFileError& error)
{
    if (binary) return JoinGlb(json, chunksAfterJson, bytes, error);
    if (!chunksAfterJson.empty())
        return Fail(error, "the binary chunk of a .glb file cannot be kept in a .gltf file; "
                           "save it as .glb");
    bytes = std::move(json);
    return true;
}

bool FinishFile(const TextPieces& json, bool binary, const std::string& chunksAfterJson,
                SavedText& text, SceneFileError& error)
{
    if (binary) return JoinGlb(json, chunksAfterJson, text, error);
    if (!chunksAfterJson.empty())
        return Fail(error, "the binary chunk of a .glb file cannot be kept in a .gltf file; "
                           "save it as .glb");
    text.pieces = json;
    return true;
}

// The file's text with the changed extras put in; every other byte stays as it was read, and
// the text's pieces point into the document's bytes.
bool WriteDocument(const Scene& scene, const GltfDocument& document, bool binary,
                   const TextCodec& codec, const std::vector<std::string>& uris,
                   SavedText& text, SceneFileError& error)
{
    std::vector<Edit> edits;
    bool readsBack = true;
    if (!Edits(scene, document, binary, codec, edits, text, readsBack, error)) return false;
    for (size_t i = 0; i < document.references.size(); ++i) {
        const GltfOutline::Reference& reference = document.references[i];
        if (uris[i] == reference.uri) continue;
        const std::string& uri = text.texts.emplace_back(Json(uris[i]).dump());
        edits.push_back({reference.begin, reference.end, uri.data(), uri.size()});
    }
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.from < b.from; });
    if (edits.empty() && binary == document.binary) {
        text.pieces = TextPieces(document.bytes);
        return true;
    }
    const std::string& json = document.Text();
    TextPieces out;
    size_t done = 0;
    for (const Edit& edit : edits) {
        out.Add(json.data() + done, edit.from - done);
        out.Add(edit.text, edit.size);
        done = edit.to;
    }
    size_t end = json.size();
    // The old padding of a .glb's JSON chunk is no part of the new one.
    if (document.binary && !edits.empty()) end = std::max(done, json.find_last_not_of(' ') + 1);
    out.Add(json.data() + done, end - done);
    // Only the changed nodes were read back; when they would not read, the whole text is
    // read, for the line and node it names.
    SceneFileError problem;
    if (!readsBack && !CheckGltf(out.Joined(), binary, problem))
        return Fail(error, "the saved text would not read back, so the file was left as it is (" +
                               (problem.line > 0 ? "line " + std::to_string(problem.line) + ": "
                                                 : std::string()) +
                               problem.message + ")");
    return FinishFile(out, binary, document.chunksAfterJson, text, error);
}

// --- Files a glTF refers to -------------------------------------------------------------

size_t NameStart(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string FolderOf(const std::string& path) { return path.substr(0, NameStart(path)); }

bool SameFolder(const std::string& a, const std::string& b)
{
    const std::string x = FolderOf(a);
    const std::string y = FolderOf(b);
    return x.size() == y.size() &&
           std::equal(x.begin(), x.end(), y.begin(), [](char c, char d) {
               const auto fold = [](char e) { return e == '\\' ? '/' : std::tolower(e); };
               return fold(c) == fold(d);
           });
}

// A file beside the glTF, or in a folder below or above it: no scheme, no data, no root.
bool IsRelative(const std::string& uri)
{
    if (uri.empty() || uri[0] == '/' || uri[0] == '\\') return false;
    const size_t colon = uri.find(':');
    const size_t slash = uri.find_first_of("/\\");
    return colon == std::string::npos || (slash != std::string::npos && slash < colon);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescaped(const std::string& uri, std::string& path)
{
    path.clear();
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        if (i + 2 >= uri.size() || HexValue(uri[i + 1]) < 0 || HexValue(uri[i + 2]) < 0)
            return false;
        path += static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
        i += 2;
    }
    return path.find('\0') == std::string::npos;
}

std::string Escaped(const std::string& name)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("-._~", c)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

// name with -n before its extension: the n-th choice when the name is taken.
std::string NumberedName(const std::string& name, int n)
{
    if (n == 1) return name;
    const size_t dot = name.find_last_of('.');
    const size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, stem) + "-" + std::to_string(n) + name.substr(stem);
}

// Copies the buffers and images the document refers to by relative paths beside the file
// at path, under their own names; where a different file holds a name there, under a free
// one that its URI then names. A file already there with the same bytes is used as it is.
bool CarryReferences(const GltfDocument& document, const char* path,
                     std::vector<std::string>& uris, std::vector<std::string>& copied,
                     SceneFileError& error)
{
    for (std::string& uri : uris) {
        std::string relative;
        if (!IsRelative(uri) || !Unescaped(uri, relative)) continue;
        std::string content;
        SceneFileError unread;
        const std::string source = FolderOf(document.path) + relative;
        if (!ReadWholeFile(source.c_str(), content, unread)) continue;  // nothing to take along
        // A file in another folder comes beside the new one.
        const std::string name = relative.substr(NameStart(relative));
        const std::string wanted = NameStart(relative) == 0 ? relative : name;
        for (int n = 1;; ++n) {
            const std::string chosen = NumberedName(wanted, n);
            const std::string target = FolderOf(path) + chosen;
            std::string there;
            if (FileExists(target.c_str())) {
                if (!ReadWholeFile(target.c_str(), there, unread) || there != content) continue;
            } else {
                if (!WriteFileSafely(target.c_str(), content, error)) {
                    error.message = target + ": " + error.message;
                    return false;
                }
                copied.push_back(chosen == relative ? chosen : relative + " as " + chosen);
            }
            if (chosen != relative) uri = Escaped(chosen);
            break;
        }
    }
    return true;
}

// A new file for a scene read from elsewhere: the hierarchy, names and texts.
bool WriteNewFile(const Scene& scene, bool binary, const TextCodec& codec, std::string& bytes,
                  SceneFileError& error)
{
    NodeTab nodes;
    scene.CollectNodes(nodes);
    std::map<const SceneNode*, size_t> indexOf;
    Json list = Json::array();
    Json roots = Json::array();
    for (int i = 0; i < nodes.Count(); ++i) {
        const SceneNode* node = nodes[i];
        Json entry = Json::object();
        std::string name;
        if (!codec.ToUtf8(node->NodeName(), name))
            return Fail(error, Quoted(node) + "its name holds bytes that are not text");
        entry["name"] = name;
        Json extras;
        if (!ExtrasOfNode(node, ExtrasText(), codec, extras, error)) return false;
        if (!extras.empty()) entry["extras"] = std::move(extras);
        indexOf[node] = static_cast<size_t>(i);
        const auto parent = indexOf.find(node->Parent());
        (parent == indexOf.end() ? roots : list[parent->second]["children"]).push_back(i);
        list.push_back(std::move(entry));
    }
    Json gltf = {{"asset", {{"generator", "Scene Host"}, {"version", "2.0"}}}};
    gltf["scene"] = 0;
    gltf["scenes"] = Json::array({roots.empty() ? Json::object() : Json{{"nodes", roots}}});
    if (!list.empty()) gltf["nodes"] = std::move(list);
    JsonLayout layout;
    if (!binary) layout.indent = 2, layout.finalNewline = true;
    return FinishFile(Dump(gltf, layout), binary, std::string(), bytes, error);
}

class GltfSceneFormat : public SceneFormat {
public:
    GltfSceneFormat(bool binary, const TextCodec& codec) : binary_(binary), codec_(codec) {}
    const char* Description() const override
    {
        return binary_ ? "Binary glTF files" : "glTF files";
    }
    const char* Extension() const override { return binary_ ? "glb" : "gltf"; }

    bool Read(const std::string& bytes, Scene& scene, std::unique_ptr<SceneDocument>& document,
              SceneFileError& error) const override
    {
        return ReadOwned(std::string(bytes), scene, document, error);
    }

    bool ReadOwned(std::string&& bytes, Scene& scene, std::unique_ptr<SceneDocument>& document,
                   SceneFileError& error) const override
    {
        try {
            return ReadDocument(std::move(bytes), scene, document, error);
        } catch (const std::exception& failure) {
            return Fail(error, std::string("cannot be read: ") + failure.what());
        }
    }

    bool Write(const Scene& scene, const SceneDocument* document, std::string& bytes,
               SceneFileError& error) const override
    {
        std::vector<std::string> copied;
        return WriteFile(nullptr, scene, document, bytes, copied, error);
    }

    bool WriteFile(const char* path, const Scene& scene, const SceneDocument* document,
                   std::string& bytes, std::vector<std::string>& copied,
                   SceneFileError& error) const override
    {
        SavedText text;
        if (!WriteSaved(path, scene, document, text, copied, error)) return false;
        bytes = text.pieces.pieces.size() == 1 && text.pieces.pieces[0].data == text.bytes.data()
                    ? std::move(text.bytes)
                    : text.pieces.Joined();
        return true;
    }

    // path null: a file where the document's was read.
    bool WriteSaved(const char* path, const Scene& scene, const SceneDocument* document,
                    SavedText& text, std::vector<std::string>& copied,
                    SceneFileError& error) const override
    {
        try {
            const auto* gltf = dynamic_cast<const GltfDocument*>(document);
            if (!gltf) {
                if (!WriteNewFile(scene, binary_, codec_, text.bytes, error)) return false;
                text.pieces = TextPieces(text.bytes);
                return true;
            }
            if (path) gltf->written.clear();
            if (!path || gltf->path.empty() || SameFolder(gltf->path, path))
                return WriteDocument(scene, *gltf, binary_, codec_, gltf->uris, text, error);
            std::vector<std::string> uris = gltf->uris;
            if (!CarryReferences(*gltf, path, uris, copied, error) ||
                !WriteDocument(scene, *gltf, binary_, codec_, uris, text, error))
                return false;
            gltf->written = std::move(uris);
            return true;
        } catch (const std::exception& failure) {
            return Fail(error, std::string("cannot be written: ") + failure.what());
        }
    }

private:
    bool ReadDocument(std::string&& bytes, Scene& scene,
                      std::unique_ptr<SceneDocument>& document, SceneFileError& error) const
    {
        auto read = std::make_unique<GltfDocument>();
        read->binary = binary_;
        read->bytes = std::move(bytes);
        if (binary_) {
            GlbParts parts;
            if (!SplitGlb(read->bytes, parts, error)) return false;
            read->json = std::move(parts.json);
            read->chunksAfterJson = std::move(parts.chunksAfterJson);
        }
        GltfOutline outline;
        if (!ReadGltfOutline(read->Text(), binary_, outline, error)) return false;
        read->layout = LayoutOf(read->Text());
        read->references = std::move(outline.references);
        for (const GltfOutline::Reference& reference : read->references)
            read->uris.push_back(reference.uri);
        if (!BuildScene(*read, outline, codec_, scene, error)) return false;
        document = std::move(read);
        return true;
    }

    bool binary_;
    const TextCodec& codec_;
};

}  // namespace

const SceneFormat& GltfFormat()
{
    static const GltfSceneFormat format(false, SystemTextCodec());
    return format;
}

const SceneFormat& GlbFormat()
{
    static const GltfSceneFormat format(true, SystemTextCodec());
    return format;
}

void SetSaveWorkersForTests(size_t workers) { workersForTests = workers; }

std::unique_ptr<SceneFormat> MakeGltfFormat(bool binary, const TextCodec& codec)
{
    return std::make_unique<GltfSceneFormat>(binary, codec);
}
