// Any bytes as the value of a node's extras in a file, and as a typed line: opened, saved or
// refused, never a crash or a stack overflow, and a file that opens nests within the limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gltf.h"
#include "gltfextras.h"
#include "gltfreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string value(reinterpret_cast<const char*>(data), size);
    const std::string file = R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],)"
                             R"("nodes":[{"name":"A","extras":{"v":)" + value + "}}]}";
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    if (GltfFormat().Read(file, scene, document, error)) {
        if (JsonDepth(file) > kMaxJsonDepth) std::abort();
    } else if (error.message.empty()) {
        std::abort();
    }
    Scene typed;
    SceneNode* node = typed.CreateNode(nullptr, "A", ("v=" + value).c_str());
    if (!node) return 0;
    std::string bytes;
    if (!GltfFormat().Write(typed, nullptr, bytes, error)) {
        if (error.message.empty()) std::abort();
        return 0;
    }
    Scene back;
    if (!GltfFormat().Read(bytes, back, document, error)) std::abort();  // a save opens again
    return 0;
}
