// The language of scenehost --script: one command a line, words separated by blanks, texts
// in double quotes with the escapes \r \n \t \" \\, and node paths such as Base/Arm (a "/"
// inside a name written "\/"). Reading a script checks every line's command and arguments
// before anything runs. Plain C++: no window code.
#pragma once

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
    int line = 0;
    std::string message;
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
// The first node in hierarchy order whose path is path; null when there is none.
SceneNode* FindNodeByPath(const Scene& scene, const std::string& path);
