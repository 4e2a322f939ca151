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
#include <vector>

#include <nlohmann/json.hpp>

#include "textcodec.h"

using Json = nlohmann::ordered_json;

// A node's text and what it was made from, so that saving can tell what the user changed.
struct ExtrasText {
    struct Line {
        std::string text;  // as shown, in the host's code page
        std::string key;   // the member as read
        Json value;
    };
    std::string text;  // the lines joined with CR LF
    std::vector<Line> lines;
    bool lost = false;     // a character the code page lacks is shown as '?'
    std::string refusal;   // why the node's extras cannot take lines; empty when they can
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
// The extras for a node's new text; a line the same as one read keeps that member as it was.
// On failure problem says which line and why.
// kept, when given, gets for each member of extras the index of the line read that it keeps,
// or -1 for a new one.
bool ExtrasOfText(const std::string& text, const ExtrasText& asRead, const TextCodec& codec,
                  Json& extras, std::string& problem, std::vector<int>* kept = nullptr);
