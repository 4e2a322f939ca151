// One streaming pass over a glTF file's JSON: what the scene needs of it (the default scene's
// nodes, their names and children), where each node and its extras lie in the text, and the
// checks a glTF scene must pass. No document of the whole file is built. Plain C++: no window
// code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sceneformat.h"

// JSON in a glTF file nests at most this many levels. The file's object, "nodes", a node and
// its extras are the first four, so a value inside extras nests at most kMaxExtrasValueDepth.
const int kMaxJsonDepth = 1000;
const int kMaxExtrasValueDepth = kMaxJsonDepth - 4;

struct GltfOutline {
    struct Node {
        size_t begin = 0;        // the node's JSON value
        size_t end = 0;
        size_t extrasBegin = 0;  // extrasBegin == extrasEnd: the node has no extras
        size_t extrasEnd = 0;
        size_t nameBegin = 0;    // in names, when hasName
        size_t nameLength = 0;
        size_t textBegin = 0;    // in texts: the user-property text its extras give, UTF-8
        size_t textLength = 0;
        size_t childrenBegin = 0;  // in children
        size_t childrenCount = 0;
        bool isObject = false;
        bool hasName = false;     // a "name" that is a string
        uint8_t childrenKind = 0; // kAbsent, kList, kNotList
    };
    struct Visit {
        size_t index;  // in nodes
        int depth;     // 1 for the default scene's own nodes
    };
    std::vector<Node> nodes;   // in file order
    // The nodes' names and their texts (TextOfExtras), UTF-8, each followed by a NUL.
    std::string names;
    std::string texts;
    std::vector<Visit> order;  // the default scene's nodes depth first, in file order
    struct Reference {
        size_t begin;     // the "uri" string of a buffer or an image
        size_t end;
        std::string uri;  // as it reads
    };
    std::vector<Reference> references;
};

// Reads json, a .gltf file or a .glb's JSON chunk (binary: the line of a problem goes into
// the message, since a line of a binary file means nothing).
bool ReadGltfOutline(const std::string& json, bool binary, GltfOutline& outline,
                     SceneFileError& error);

// How deep the JSON text nests (0 for a scalar); -1 when it is no JSON text.
long JsonDepth(const std::string& text);

// The members of the object at json[begin] of a file ReadGltfOutline accepted, in order.
struct JsonMember {
    size_t keyBegin;    // the opening quote
    size_t keyEnd;      // after the closing quote
    size_t valueBegin;
    size_t valueEnd;
    std::string key;
};
std::vector<JsonMember> MembersOf(const std::string& json, size_t begin);
