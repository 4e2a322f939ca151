// Any bytes as a glTF file: a clear error or a scene, never a crash. A scene read must show
// each node's extras as the JSON library's document gives them, save unchanged as the same
// bytes, and every member's line must read back as the same value. Edited texts saved by the
// splice must give the JSON the whole-document writer gives, or both must refuse, and the
// same bytes whether its nodes are split over threads or not. The checks without the texts
// judge every file as the reading does.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../support/gltfreference.h"
#include "gltf.h"
#include "gltfextras.h"
#include "gltfreader.h"

namespace {

// JSON knows one kind of number; the parser files an integer as signed or unsigned by its
// spelling, so -0 comes back as an unsigned 0. Integers and floats must stay apart.
bool SameKind(const Json& a, const Json& b)
{
    return std::string(a.type_name()) == b.type_name() && a.is_number_float() == b.is_number_float();
}

void CheckLinesReadBack(const Json& json)
{
    const auto nodes = json.find("nodes");
    if (nodes == json.end() || !nodes->is_array()) return;
    for (const Json& node : *nodes) {
        const auto extras = node.is_object() ? node.find("extras") : node.end();
        if (extras == node.end() || !extras->is_object()) continue;
        for (const auto& member : extras->items()) {
            const Json back = ValueOfText(ValueText(member.value()));
            if (back != member.value() || !SameKind(back, member.value())) std::abort();
        }
    }
}

void CheckTextsAsTheDocumentGives(const Json& gltf, const Scene& scene)
{
    const std::vector<size_t> order = ReferenceOrder(gltf);
    NodeTab nodes;
    scene.CollectNodes(nodes);
    if (static_cast<size_t>(nodes.Count()) != order.size()) std::abort();
    for (int i = 0; i < nodes.Count(); ++i) {
        const Json& node = gltf["nodes"][order[i]];
        const auto extras = node.find("extras");
        const ExtrasText text = TextOfExtras(extras == node.end() ? nullptr : &*extras,
                                             Utf8TextCodec());
        if (text.text != nodes[i]->UserPropText().data()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    const bool read = GltfFormat().Read(bytes, scene, document, error);
    // The checks alone give the same verdict and message as the reading.
    GltfOutline outline;
    SceneFileError outlineError, checkError;
    const bool outlined = ReadGltfOutline(bytes, false, outline, outlineError);
    if (CheckGltf(bytes, false, checkError) != outlined ||
        checkError.message != outlineError.message || checkError.line != outlineError.line)
        std::abort();
    if (!read) {
        if (error.message.empty()) std::abort();
        return 0;
    }
    const Json gltf = Json::parse(bytes);
    CheckLinesReadBack(gltf);
    CheckTextsAsTheDocumentGives(gltf, scene);
    std::string saved;
    if (!GltfFormat().Write(scene, document.get(), saved, error) || saved != bytes) std::abort();

    NodeTab nodes;
    scene.CollectNodes(nodes);
    for (int i = 0; i < nodes.Count(); ++i) {
        const int kind = (i + static_cast<int>(size)) % 4;
        if (kind == 3) continue;
        CStr edited(kind == 0 ? "fuzz=1\r\n" : kind == 1 ? "" : "n={\"a\":[1.5e3,\"\\u00e9\"]}\r\n");
        if (kind != 1) edited += nodes[i]->UserPropText();
        nodes[i]->SetUserPropText(edited);
    }
    Json whole;
    std::string problem;
    const bool wholeSaved = ReferenceSave(bytes, scene, whole, problem);
    const bool spliced = GltfFormat().Write(scene, document.get(), saved, error);
    if (!spliced && error.message.empty()) std::abort();
    if (spliced != wholeSaved) std::abort();
    // Split over threads, the same bytes or the same refusal.
    SetSaveWorkersForTests(3);
    std::string threaded;
    SceneFileError threadError;
    const bool inThreads = GltfFormat().Write(scene, document.get(), threaded, threadError);
    SetSaveWorkersForTests(0);
    if (inThreads != spliced || threaded != (spliced ? saved : std::string()) ||
        (!spliced && threadError.message != error.message))
        std::abort();
    // Both through one printing, so that numbers compare as the document holds them.
    if (spliced && Json::parse(Json::parse(saved).dump()) != Json::parse(whole.dump()))
        std::abort();
    return 0;
}
