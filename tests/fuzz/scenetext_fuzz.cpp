// The scene file reader on any bytes: it either refuses them with a reason, or reads a scene
// whose saved text reads back into the same scene.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scenetext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Scene scene;
    SceneFileError error;
    if (!ParseSceneText(text, scene, error)) {
        if (error.message.empty()) std::abort();
        return 0;
    }
    const std::string saved = FormatSceneText(scene);
    Scene again;
    if (!ParseSceneText(saved, again, error)) std::abort();
    if (FormatSceneText(again) != saved) std::abort();
    return 0;
}
