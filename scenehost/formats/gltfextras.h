// A glTF node's extras as its user-property text: one line per member of the extras object,
// in the members' order, as key=value.
//
//   {"LOD": 1, "export": "static", "code": "007", "tags": ["a", "b"]}
//
//   LOD=1
//   export=static
//   code="007"
//   tags=["a","b"]
//
// A string is written as it is unless it holds a line break or NUL, starts with a quote or
// would read back as another JSON value: then it is written as a JSON string. Any other value
// is written as compact JSON. Read back, a value that is a complete JSON text is that value,
// anything else a string. Plain C++: no window code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "textcodec.h"

using Json = nlohmann::ordered_json;

// A node's text and what it was made from, so that saving can tell what the user changed.
struct ExtrasText {
    struct Line {
        size_t begin;     // in text, as shown, in the host's code page
        size_t length;
        std::string key;  // the member as read
        Json value;       // null where the text was made without a document (AddExtrasLine)
    };
    std::string text;  // the lines joined with CR LF
    std::vector<Line> lines;
    bool lost = false;     // a character the code page lacks is shown as '?'
    std::string refusal;   // why the node's extras cannot take lines; empty when they can

    // Empty again, keeping the room.
    void Clear();
};

// The value part of a line, in UTF-8.
std::string ValueText(const Json& value);
// A line's value part read back.
Json ValueOfText(const std::string& utf8);
// What ValueText gives for a JSON number as written, and for a string, appended to out.
void AppendNumberText(std::string& out, const char* number, size_t length);
void AppendStringText(std::string& out, const char* utf8, size_t length);

// extras is null for a node without them.
ExtrasText TextOfExtras(const Json* extras, const TextCodec& codec);
// The same member by member, for extras read without a document: the line of a member whose
// value's text (ValueText, UTF-8) is value; false, with the text refused, for a key no line
// can hold. RefuseExtrasOfType gives the text of extras of another type (a type_name of the
// library).
bool AddExtrasLine(ExtrasText& text, const std::string& key, const char* value, size_t length,
                   const TextCodec& codec, const Json* json = nullptr);
void RefuseExtrasOfType(ExtrasText& text, const char* typeName);

// A member of the extras a node's new text gives: a line read that it keeps as it was, or a
// new one with its key and value.
struct ExtrasMember {
    int kept;  // the index of the line read, -1 for a new member
    int line;  // in the new text, counting from 1
    std::string key;
    Json value;
};
// The members for a node's new text, in its lines' order; a line the same as one read keeps
// that member. On failure problem says which line and why. members is cleared first.
bool MembersOfText(std::string_view text, const ExtrasText& asRead, const TextCodec& codec,
                   std::vector<ExtrasMember>& members, std::string& problem);
// The extras for a node's new text, as MembersOfText gives them. A kept member takes its value
// from asRead's line, so asRead is one TextOfExtras made (or has no lines).
bool ExtrasOfText(const std::string& text, const ExtrasText& asRead, const TextCodec& codec,
                  Json& extras, std::string& problem);
