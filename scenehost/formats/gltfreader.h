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

// Nodes' names and texts go into blocks of about this many bytes: small enough for the heap
// to keep a block's memory when it is given back (Wine's heap gives blocks of a megabyte
// their own pages and returns them to the system), so that the nodes built from it reuse
// those pages instead of touching fresh ones.
const size_t kGltfTextBlock = size_t(1) << 19;

struct GltfOutline {
    struct Span {
        size_t begin = 0;        // the node's JSON value
        size_t end = 0;
        size_t extrasBegin = 0;  // extrasBegin == extrasEnd: the node has no extras
        size_t extrasEnd = 0;
    };
    // What the scene takes of a node. Its name and text lie in blocks[block], each followed by
    // a NUL.
    struct Node {
        size_t nameBegin = 0;   // when hasName
        size_t nameLength = 0;
        size_t textBegin = 0;   // the user-property text its extras give (TextOfExtras), UTF-8
        size_t textLength = 0;
        uint32_t block = 0;
        bool hasName = false;   // a "name" that is a string
    };
    struct Visit {
        size_t index;  // in nodes
        int depth;     // 1 for the default scene's own nodes
    };
    std::vector<Span> spans;   // in file order
    std::vector<Node> nodes;   // in file order
    // A node's name and text are in one block, so that a scene built from the outline can
    // give the blocks back as it goes (Taken).
    std::vector<std::string> blocks;
    std::vector<Visit> order;  // the default scene's nodes depth first, in file order
    struct Reference {
        size_t begin;     // the "uri" string of a buffer or an image
        size_t end;
        std::string uri;  // as it reads
    };
    std::vector<Reference> references;

    // The node's name and text, NUL-terminated; null once its block is given back.
    const char* NameOf(const Node& node) const { return InBlock(node, node.nameBegin); }
    const char* TextOf(const Node& node) const
    {
        return node.textLength > 0 ? InBlock(node, node.textBegin) : "";
    }
    // Before the scene takes the nodes of order: blocks no visit needs are given back.
    void StartTaking();
    // The scene has taken nodes[index], a node of order: its block goes once every node of
    // order in it has been taken.
    void Taken(size_t index);

private:
    const char* InBlock(const Node& node, size_t at) const
    {
        if (!waiting_.empty() && waiting_[node.block] == 0) return nullptr;
        return blocks[node.block].c_str() + at;
    }
    std::vector<size_t> waiting_;  // per block, the nodes of order not taken yet
};

// Reads json, a .gltf file or a .glb's JSON chunk (binary: the line of a problem goes into
// the message, since a line of a binary file means nothing), its names and texts in blocks of
// about textBlock bytes.
bool ReadGltfOutline(const std::string& json, bool binary, GltfOutline& outline,
                     SceneFileError& error, size_t textBlock = kGltfTextBlock);

// The checks of ReadGltfOutline alone, without the names and texts.
bool CheckGltf(const std::string& json, bool binary, SceneFileError& error);

// The four characters JSON lets stand between its tokens.
inline bool IsJsonBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// How deep the JSON text nests (0 for a scalar); -1 when it is no JSON text.
long JsonDepth(const std::string& text);

// A member of an object of a file ReadGltfOutline accepted.
struct JsonMember {
    size_t keyBegin;    // the opening quote
    size_t keyEnd;      // after the closing quote
    size_t valueBegin;
    size_t valueEnd;
    std::string key;
};

// What a save needs of a node, from one pass over it: where its members lie and, when its
// extras are an object, where theirs lie and the UTF-8 text each one's value gives its line.
// Kept from node to node for the room it holds.
struct NodeMembers {
    std::vector<JsonMember> node;
    std::vector<JsonMember> extras;
    std::string values;             // the extras' values' texts, one after another
    std::vector<size_t> valueEnds;  // per member of extras, where its text ends in values
};
// The node at json[begin] of a file ReadGltfOutline accepted.
void ReadNodeMembers(const std::string& json, size_t begin, NodeMembers& members);
