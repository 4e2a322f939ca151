// glTF 2.0 scenes: *.gltf (JSON) and *.glb (the same JSON in a binary container). The scene
// is the file's default scene, its nodes under their names, each node's extras as its
// user-property text (gltfextras.h). Saving writes back only the extras of nodes whose text
// changed; everything else stays as it was read.
#pragma once

#include <cstddef>
#include <memory>

#include "sceneformat.h"
#include "textcodec.h"

const SceneFormat& GltfFormat();
const SceneFormat& GlbFormat();
// The same formats with texts in another code page than the process's. codec must outlive
// the format.
std::unique_ptr<SceneFormat> MakeGltfFormat(bool binary, const TextCodec& codec);
// For tests: a save's changed nodes go to this many threads, however few they are; 0: as
// many as the machine has cores, each with enough to do.
void SetSaveWorkersForTests(size_t workers);
