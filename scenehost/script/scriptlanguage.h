// The language of scenehost --script: one command a line, words separated by blanks, texts
// in double quotes with the escapes \r \n \t \" \\, and node paths such as Base/Arm (a "/"
// inside a name written "\/"). Reading a script checks every line's command and arguments
// before anything runs. Plain C++: no window code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scene.h"
#include "scriptcommands.h"

struct ScriptCommand {
    int line = 0;
    ScriptCommandId id = ScriptCommandId::New;
    std::string name;                // "select", "expect props", "print window", ...
    std::vector<std::string> args;   // the words after the name, quotes and escapes undone
};

struct ScriptSyntaxError {
    int line = 0;  // 0 when the message concerns the whole script
    std::string message;
};

// Whether bytes look like UTF-16 text, with or without a byte-order mark.
bool IsUtf16Text(const std::string& bytes);

// The lines of a script or of a list of files, each ended by LF or CR LF; a UTF-8 byte-order
// mark at the start is no part of the first.
class FileLines {
public:
    explicit FileLines(const std::string& text);
    bool Next(std::string& line);  // false once there is none
    int Number() const { return number_; }  // of the line Next gave last, from 1

private:
    const std::string& text_;
    size_t pos_;
    int number_ = 0;
};

// Reads a whole script; false, with the first bad line, when any line is wrong.
bool ParseScript(const std::string& text, std::vector<ScriptCommand>& commands,
                 ScriptSyntaxError& error);

// The words of one line; false, with what is wrong, for a bad line.
bool SplitScriptLine(const std::string& line, std::vector<std::string>& words,
                     std::string& problem);

// A text as the script writes it: in quotes with escapes, or bare where it needs no quotes.
std::string QuotedText(const std::string& text);
std::string ScriptWord(const std::string& text);

bool ParseWholeNumber(const std::string& word, int& value);

// The names along a node path, escapes undone.
std::vector<std::string> SplitNodePath(const std::string& path);
// The path of a node below the root, each name escaped.
std::string NodePath(const SceneNode* node);

// FNV-1a: bytes added to a hash, a new one by default.
std::uint64_t HashBytes(const char* bytes, size_t size,
                        std::uint64_t hash = 14695981039346656037ull);

// The nodes of a scene by their paths: made on first use and again once a node was added,
// renamed or removed, so that a lookup costs the length of its path, not the size of the
// scene.
class NodePathIndex {
public:
    // The first node in hierarchy order whose path is path; null when there is none.
    SceneNode* Find(const Scene& scene, const std::string& path);
    // Nodes looked at so far: in making the index, and in checking what a lookup found.
    std::uint64_t NodesVisited() const { return visited_; }

private:
    struct Slot {
        std::uint64_t hash = 0;
        SceneNode* node = nullptr;  // null: free
    };
    void Build(const Scene& scene);
    bool HasPath(const SceneNode* node, const std::vector<std::string>& names);

    const Scene* scene_ = nullptr;
    std::uint64_t version_ = 0;
    std::vector<Slot> slots_;  // open addressing; nodes of one path in hierarchy order
    size_t mask_ = 0;
    std::uint64_t visited_ = 0;
};

// The same, for a single lookup.
SceneNode* FindNodeByPath(const Scene& scene, const std::string& path);
