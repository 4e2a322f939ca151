// Any bytes as a glTF file: a clear error or a scene, never a crash. A scene read must save
// unchanged as the same bytes, every member's line must read back as the same value, and
// saving edited texts must succeed or name its reason.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gltf.h"
#include "gltfextras.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    if (!GltfFormat().Read(bytes, scene, document, error)) {
        if (error.message.empty()) std::abort();
        return 0;
    }
    CheckLinesReadBack(Json::parse(bytes));
    std::string saved;
    if (!GltfFormat().Write(scene, document.get(), saved, error) || saved != bytes) std::abort();

    NodeTab nodes;
    scene.CollectNodes(nodes);
    for (int i = 0; i < nodes.Count(); ++i) {
        CStr text;
        nodes[i]->GetUserPropText(text);
        CStr edited(i % 2 ? "" : "fuzz=1\r\n");
        edited += text;
        nodes[i]->SetUserPropText(edited);
    }
    if (!GltfFormat().Write(scene, document.get(), saved, error) && error.message.empty())
        std::abort();
    return 0;
}
