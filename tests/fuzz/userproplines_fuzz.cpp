// The line list on any text: the first line of the input is the find text, the rest the
// node's text. Parse then Join gives the text with every run of breaks as one CR LF and none
// at either end, also when parsed again after RemoveMatches; after it no line matches. The
// one-pass rewrite gives the same text as the list.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "userproplines.h"

namespace {

std::string Normalised(const std::string& text)
{
    std::string joined, line;
    for (char c : text + "\n") {
        if (c != '\r' && c != '\n') {
            line += c;
        } else if (!line.empty()) {
            if (!joined.empty()) joined += "\r\n";
            joined += line;
            line.clear();
        }
    }
    return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Texts are C strings: they end at a NUL.
    const std::string input(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    const size_t split = input.find('\n');
    const std::string find = split == std::string::npos ? input : input.substr(0, split);
    const std::string text = split == std::string::npos ? "" : input.substr(split + 1);

    UserPropLines lines;
    lines.Parse(CStr(text.c_str()));
    if (std::string(lines.Join().data()) != Normalised(text)) std::abort();

    // The one-pass rewrite gives what the line list gives, removing and replacing.
    const CStr replacement("r=1");
    for (const CStr* replace : {static_cast<const CStr*>(nullptr), &replacement}) {
        UserPropLines list;
        list.Parse(CStr(text.c_str()));
        const int matches = replace ? list.ReplaceMatches(CStr(find.c_str()), *replace)
                                    : list.RemoveMatches(CStr(find.c_str()));
        CStr rewritten("unset");
        if (RewriteMatchingLines(text.c_str(), CStr(find.c_str()), replace, rewritten) != matches)
            std::abort();
        if (matches > 0 && std::string(rewritten.data()) != list.Join().data()) std::abort();
    }

    const int matching = lines.CountMatches(CStr(find.c_str()));
    const int count = lines.Count();
    if (lines.RemoveMatches(CStr(find.c_str())) != matching) std::abort();
    if (lines.Count() != count - matching || lines.CountMatches(CStr(find.c_str())) != 0) std::abort();
    CStr lowerFind(find.c_str());
    lowerFind.toLower();
    for (int i = 0; i < lines.Count(); ++i)
        if (LineMatches(*lines.Line(i), lowerFind)) std::abort();
    // The removed lines wait for the next text: parsed again, it comes back whole.
    lines.Parse(CStr(text.c_str()));
    if (std::string(lines.Join().data()) != Normalised(text)) std::abort();
    return 0;
}
