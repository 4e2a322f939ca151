// The binary glTF container (*.glb): a 12-byte header, a JSON chunk and the chunks that
// follow it (usually one binary chunk). Plain C++: no window code.
#pragma once

#include <string>

#include "sceneformat.h"

struct GlbParts {
    std::string json;
    std::string chunksAfterJson;  // kept byte for byte
};

bool SplitGlb(const std::string& bytes, GlbParts& parts, SceneFileError& error);
// The JSON chunk is padded with spaces to a multiple of 4 bytes, as the container requires.
bool JoinGlb(const std::string& json, const std::string& chunksAfterJson, std::string& bytes,
             SceneFileError& error);
// JoinGlb in pieces: the header and the padding go into text's own texts, json's pieces and
// chunksAfterJson (which stays as long as text's pieces) are pointed into.
bool JoinGlb(const TextPieces& json, const std::string& chunksAfterJson, SavedText& text,
             SceneFileError& error);
