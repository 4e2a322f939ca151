#include "gltf.h"

#include <map>
#include <vector>

#include "glb.h"
#include "gltfextras.h"

namespace {

// How the file's JSON was laid out, so that a saved file looks like the one read.
struct JsonLayout {
    int indent = -1;  // -1: all on one line
    char indentChar = ' ';
    bool finalNewline = false;
};

JsonLayout LayoutOf(const std::string& json)
{
    JsonLayout layout;
    const size_t last = json.find_last_not_of(" \t\r\n");
    if (last == std::string::npos) return layout;
    layout.finalNewline = json.find('\n', last) != std::string::npos;
    const size_t newline = json.find('\n');
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
    size_t index;  // in the file's nodes
    ExtrasText asRead;
};

class GltfDocument : public SceneDocument {
public:
    Json json;
    JsonLayout layout;
    std::string bytes;  // the file as read
    bool binary = false;
    std::string chunksAfterJson;
    std::vector<GltfNode> nodes;  // the scene's nodes in hierarchy order

    bool SameAsRead(const Scene& scene, const SceneFormat& format) const override;
};

bool Fail(SceneFileError& error, const std::string& message, int line = 0)
{
    error.line = line;
    error.message = message;
    return false;
}

// --- Reading ---------------------------------------------------------------------------

struct Visit {
    size_t index;
    int depth;      // 1 for the scene's own nodes
    long parent;    // -1 for the scene's own nodes
};

bool IsIndex(const Json& value, size_t count)
{
    return value.is_number_unsigned() && value.get<uint64_t>() < count;
}

const Json* Member(const Json& object, const char* name)
{
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

bool CheckVersion(const Json& gltf, std::string& problem)
{
    const Json* asset = gltf.is_object() ? Member(gltf, "asset") : nullptr;
    const Json* version = asset && asset->is_object() ? Member(*asset, "version") : nullptr;
    if (!version || !version->is_string()) {
        problem = "not a glTF file (no asset version)";
        return false;
    }
    const std::string& text = version->get_ref<const std::string&>();
    if (text.compare(0, 2, "2.") == 0) return true;
    problem = "glTF version " + text + " is not supported (only 2.x)";
    return false;
}

// The default scene: "scene", else the first of "scenes"; null when the file has none.
bool FindDefaultScene(const Json& gltf, const Json*& scene, std::string& problem)
{
    scene = nullptr;
    const Json* scenes = Member(gltf, "scenes");
    const Json* chosen = Member(gltf, "scene");
    if (scenes && !scenes->is_array()) {
        problem = "\"scenes\" is not a list";
        return false;
    }
    const size_t count = scenes ? scenes->size() : 0;
    if (chosen && !IsIndex(*chosen, count)) {
        problem = "\"scene\" is " + chosen->dump() + ", which is no scene's index";
        return false;
    }
    if (count > 0) scene = &(*scenes)[chosen ? chosen->get<size_t>() : 0];
    if (scene && !scene->is_object()) {
        problem = "the default scene is not an object";
        return false;
    }
    return true;
}

std::string NodeLabel(size_t index) { return "node " + std::to_string(index); }

bool IsAncestor(size_t node, long of, const std::vector<long>& parents)
{
    for (long at = of; at >= 0; at = parents[at])
        if (static_cast<size_t>(at) == node) return true;
    return false;
}

// Pushes the listed nodes, last first, so that they are visited in file order.
bool PushNodes(const Json* list, const std::string& owner, size_t count, int depth, long parent,
               std::vector<Visit>& pending, std::string& problem)
{
    if (!list) return true;
    if (!list->is_array()) {
        problem = owner + ": its node list is not a list";
        return false;
    }
    for (size_t i = list->size(); i-- > 0;) {
        if (!IsIndex((*list)[i], count)) {
            problem = owner + " lists " + (*list)[i].dump() + ", which is no node's index";
            return false;
        }
        pending.push_back({(*list)[i].get<size_t>(), depth, parent});
    }
    return true;
}

// The default scene's nodes depth first, in file order. A node reached twice is refused: a
// node has one parent at most, and the hierarchy has no cycles.
bool WalkDefaultScene(const Json& gltf, std::vector<Visit>& order, std::string& problem)
{
    const Json* scene = nullptr;
    if (!FindDefaultScene(gltf, scene, problem)) return false;
    if (!scene) return true;
    const Json* nodes = Member(gltf, "nodes");
    if (nodes && !nodes->is_array()) {
        problem = "\"nodes\" is not a list";
        return false;
    }
    const size_t count = nodes ? nodes->size() : 0;
    std::vector<long> parents(count, -2);  // -2: not reached yet
    std::vector<Visit> pending;
    if (!PushNodes(Member(*scene, "nodes"), "the default scene", count, 1, -1, pending, problem))
        return false;
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        const Json& node = (*nodes)[visit.index];
        if (parents[visit.index] != -2) {
            problem = NodeLabel(visit.index) + (IsAncestor(visit.index, visit.parent, parents)
                                                    ? " is its own descendant (a cycle)"
                                                    : " is reached twice (one parent at most)");
            return false;
        }
        if (!node.is_object()) {
            problem = NodeLabel(visit.index) + " is not an object";
            return false;
        }
        parents[visit.index] = visit.parent;
        order.push_back(visit);
        if (!PushNodes(Member(node, "children"), NodeLabel(visit.index), count, visit.depth + 1,
                       static_cast<long>(visit.index), pending, problem))
            return false;
    }
    return true;
}

std::string ShownName(const Json& node, size_t index, const TextCodec& codec)
{
    const Json* name = Member(node, "name");
    bool lost = false;
    if (name && name->is_string()) return codec.FromUtf8(name->get<std::string>(), lost);
    return NodeLabel(index);
}

bool BuildScene(GltfDocument& document, const std::vector<Visit>& order, const TextCodec& codec,
                Scene& scene, SceneFileError& error)
{
    std::vector<std::string> names;
    for (const Visit& visit : order) {
        const Json& node = document.json["nodes"][visit.index];
        names.push_back(ShownName(node, visit.index, codec));
        document.nodes.push_back({visit.index, TextOfExtras(Member(node, "extras"), codec)});
    }
    if (!scene.Clear()) return Fail(error, "a command is still running in the scene");
    std::vector<SceneNode*> parents = {scene.Root()};
    for (size_t i = 0; i < order.size(); ++i) {
        parents.resize(order[i].depth);
        ExtrasText& asRead = document.nodes[i].asRead;
        parents.push_back(scene.CreateNode(parents.back(), names[i].c_str(), asRead.text.c_str()));
        CStr stored;
        parents.back()->GetUserPropText(stored);
        asRead.text = stored.data();
    }
    scene.SetModified(false);
    return true;
}

// nlohmann's message after its "parse error at line L, column C: " prefix.
std::string ParseProblem(const Json::parse_error& failure)
{
    const std::string what = failure.what();
    const size_t column = what.find("column ");
    const size_t start = column == std::string::npos ? std::string::npos : what.find(": ", column);
    return start == std::string::npos ? what : what.substr(start + 2);
}

int LineAt(const std::string& text, size_t byte)
{
    const size_t end = byte < text.size() ? byte : text.size();
    int line = 1;
    for (size_t i = 0; i < end; ++i) line += text[i] == '\n';
    return line;
}

bool ParseJson(const std::string& text, bool binary, Json& json, SceneFileError& error)
{
    try {
        json = Json::parse(text);
        return true;
    } catch (const Json::parse_error& failure) {
        const int line = LineAt(text, failure.byte > 0 ? failure.byte - 1 : 0);
        if (binary)
            return Fail(error, "its JSON chunk is not valid JSON (line " + std::to_string(line) +
                                   "): " + ParseProblem(failure));
        return Fail(error, "not valid JSON: " + ParseProblem(failure), line);
    }
}

// --- Writing -----------------------------------------------------------------------------

std::string Quoted(const SceneNode* node)
{
    return std::string("node \"") + node->NodeName() + "\": ";
}

std::string TextOf(const SceneNode* node)
{
    CStr text;
    node->GetUserPropText(text);
    return text.data();
}

bool ExtrasOfNode(const SceneNode* node, const ExtrasText& asRead, const TextCodec& codec,
                  Json& extras, SceneFileError& error)
{
    std::string problem;
    if (ExtrasOfText(TextOf(node), asRead, codec, extras, problem)) return true;
    return Fail(error, Quoted(node) + problem);
}

bool GltfDocument::SameAsRead(const Scene& scene, const SceneFormat& format) const
{
    NodeTab sceneNodes;
    scene.CollectNodes(sceneNodes);
    if (std::string(format.Extension()) != (binary ? "glb" : "gltf") ||
        static_cast<size_t>(sceneNodes.Count()) != nodes.size())
        return false;
    for (int i = 0; i < sceneNodes.Count(); ++i)
        if (TextOf(sceneNodes[i]) != nodes[i].asRead.text) return false;
    return true;
}

struct ExtrasChange {
    size_t index;
    Json extras;
};

bool ChangedExtras(const Scene& scene, const GltfDocument& document, const TextCodec& codec,
                   std::vector<ExtrasChange>& changes, SceneFileError& error)
{
    NodeTab nodes;
    scene.CollectNodes(nodes);
    if (static_cast<size_t>(nodes.Count()) != document.nodes.size())
        return Fail(error, "the scene's nodes no longer match the file they were read from");
    for (int i = 0; i < nodes.Count(); ++i) {
        const GltfNode& read = document.nodes[i];
        if (TextOf(nodes[i]) == read.asRead.text) continue;
        Json extras;
        if (!ExtrasOfNode(nodes[i], read.asRead, codec, extras, error)) return false;
        // Blank lines give no properties to extras that cannot take any.
        if (extras.empty() && !read.asRead.refusal.empty()) continue;
        changes.push_back({read.index, std::move(extras)});
    }
    return true;
}

bool FinishFile(const std::string& json, bool binary, const std::string& chunksAfterJson,
                std::string& bytes, SceneFileError& error)
{
    if (binary) return JoinGlb(json, chunksAfterJson, bytes, error);
    if (!chunksAfterJson.empty())
        return Fail(error, "the binary chunk of a .glb file cannot be kept in a .gltf file; "
                           "save it as .glb");
    bytes = json;
    return true;
}

bool WriteDocument(const Scene& scene, const GltfDocument& document, bool binary,
                   const TextCodec& codec, std::string& bytes, SceneFileError& error)
{
    std::vector<ExtrasChange> changes;
    if (!ChangedExtras(scene, document, codec, changes, error)) return false;
    if (changes.empty() && binary == document.binary) {
        bytes = document.bytes;
        return true;
    }
    Json json = document.json;
    for (ExtrasChange& change : changes) {
        Json& node = json["nodes"][change.index];
        if (change.extras.empty())
            node.erase("extras");
        else
            node["extras"] = std::move(change.extras);
    }
    return FinishFile(Dump(json, document.layout), binary, document.chunksAfterJson, bytes, error);
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
    if (!binary) layout = {2, ' ', true};
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
        try {
            return ReadDocument(bytes, scene, document, error);
        } catch (const std::exception& failure) {
            return Fail(error, std::string("cannot be read: ") + failure.what());
        }
    }

    bool Write(const Scene& scene, const SceneDocument* document, std::string& bytes,
               SceneFileError& error) const override
    {
        try {
            const auto* gltf = dynamic_cast<const GltfDocument*>(document);
            if (gltf) return WriteDocument(scene, *gltf, binary_, codec_, bytes, error);
            return WriteNewFile(scene, binary_, codec_, bytes, error);
        } catch (const std::exception& failure) {
            return Fail(error, std::string("cannot be written: ") + failure.what());
        }
    }

private:
    bool ReadDocument(const std::string& bytes, Scene& scene,
                      std::unique_ptr<SceneDocument>& document, SceneFileError& error) const
    {
        auto read = std::make_unique<GltfDocument>();
        std::string json = bytes;
        if (binary_) {
            GlbParts parts;
            if (!SplitGlb(bytes, parts, error)) return false;
            json = std::move(parts.json);
            read->chunksAfterJson = std::move(parts.chunksAfterJson);
        }
        if (!ParseJson(json, binary_, read->json, error)) return false;
        std::vector<Visit> order;
        std::string problem;
        if (!CheckVersion(read->json, problem) || !WalkDefaultScene(read->json, order, problem))
            return Fail(error, problem);
        read->layout = LayoutOf(json);
        read->binary = binary_;
        if (!BuildScene(*read, order, codec_, scene, error)) return false;
        read->bytes = bytes;
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

std::unique_ptr<SceneFormat> MakeGltfFormat(bool binary, const TextCodec& codec)
{
    return std::make_unique<GltfSceneFormat>(binary, codec);
}
