// Edits of one key across nodes, as the property table makes them: set a value, remove the
// key's lines, rename the key keeping each value. Every edit keeps a node's other lines as
// they were, in their order, and writes the text's lines joined with CR LF, without blank
// lines, as the Find/Replace runs do. Each run over nodes is one undo step. Plain C++.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "propertycolumns.h"
#include "scene.h"

// A key a user may give: not empty, without '=' or line breaks.
bool IsUsableKey(std::string_view key);
// A value stays on its line: no line breaks.
bool IsUsableValue(std::string_view value);

// The first line of column's key gets value, its key spelled as it was; a node lacking the key
// gets "KEY=value" as its last line.
std::string TextWithValue(const char* text, const TableColumn& column, std::string_view value);
// Without the lines of column (for the other lines, every line without '=').
std::string TextWithoutKey(const char* text, const TableColumn& column);
// Every line of column's key under newKey, with its value.
std::string TextWithKeyRenamed(const char* text, const TableColumn& column, std::string_view newKey);
// How many lines of text hold key.
int LinesOfKey(const char* text, std::string_view key);

struct KeyEditResult {
    int changed = 0;  // nodes whose text changed
    int skipped = 0;  // nodes left alone at a question
    bool cancelled = false;
};

// Each run writes only the nodes whose text changes, as one undo step named stepName; a run
// that changes nothing leaves no step.
KeyEditResult SetKeyOn(const NodeTab& nodes, const TableColumn& column, std::string_view value,
                       const char* stepName);
KeyEditResult RemoveKeyFrom(const NodeTab& nodes, const TableColumn& column, const char* stepName);

enum class CollisionAnswer { RenameAnyway, Skip, Cancel };
// A node that would hold newKey on more than one line is asked about first, before anything
// is written: Cancel leaves every node as it was.
KeyEditResult RenameKeyIn(const NodeTab& nodes, const TableColumn& column, std::string_view newKey,
                          const std::function<CollisionAnswer(SceneNode*)>& ask,
                          const char* stepName);
