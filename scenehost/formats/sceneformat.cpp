#include "sceneformat.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "fileio.h"
#include "gltf.h"
#include "scenetext.h"

namespace {

const SceneFormat* const kFormats[] = {&SceneTextFormat(), &GltfFormat(), &GlbFormat()};

bool HasExtension(const char* path, const char* extension)
{
    const char* dot = std::strrchr(path, '.');
    if (!dot || std::strpbrk(dot, "\\/")) return false;
    const char* a = dot + 1;
    const char* b = extension;
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != *b) return false;
    return *a == 0 && *b == 0;
}

}  // namespace

const SceneFormat& FormatOf(const char* path)
{
    for (const SceneFormat* format : kFormats)
        if (HasExtension(path, format->Extension())) return *format;
    return SceneTextFormat();
}

bool LoadSceneFile(const char* path, Scene& scene, std::unique_ptr<SceneDocument>& document,
                   SceneFileError& error, FileStamp* stamp)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error, stamp)) return false;
    std::unique_ptr<SceneDocument> read;
    const std::uint64_t before = scene.TreeVersion();
    if (!FormatOf(path).ReadOwned(std::move(bytes), scene, read, error)) {
        // A read that failed once it had begun building leaves no half scene behind.
        if (scene.TreeVersion() != before) scene.Clear();
        return false;
    }
    if (read) read->path = path;
    document = std::move(read);
    return true;
}

bool LoadSceneFile(const char* path, Scene& scene, SceneFileError& error)
{
    std::unique_ptr<SceneDocument> document;
    return LoadSceneFile(path, scene, document, error);
}

bool SaveSceneFile(const char* path, const Scene& scene, const SceneDocument* document,
                   SceneFileError& error, FileStamp* stamp, std::vector<std::string>* copied)
{
    BegunSave save(path);  // the old text may be kept while the new one is made
    SavedText text;
    std::vector<std::string> taken;
    if (!FormatOf(path).WriteSaved(path, scene, document, text, taken, error) ||
        !save.Finish(text.pieces, error, stamp))
        return false;
    if (copied) *copied = std::move(taken);
    return true;
}

bool SaveSceneFile(const char* path, const Scene& scene, SceneFileError& error)
{
    return SaveSceneFile(path, scene, nullptr, error);
}

std::string SceneFileFilter()
{
    std::string all;
    for (const SceneFormat* format : kFormats)
        all += (all.empty() ? "*." : ";*.") + std::string(format->Extension());
    std::string filter = "All scene files (" + all + ")" + '\0' + all + '\0';
    for (const SceneFormat* format : kFormats) {
        const std::string pattern = std::string("*.") + format->Extension();
        filter += std::string(format->Description()) + " (" + pattern + ")";
        filter += '\0' + pattern + '\0';
    }
    filter += std::string("All files (*.*)") + '\0' + "*.*" + '\0';
    return filter;
}

std::string DescribeError(const char* path, const SceneFileError& error)
{
    std::string line = path;
    if (error.line > 0) line += ":" + std::to_string(error.line);
    return line + ": " + error.message;
}
