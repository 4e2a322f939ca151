// The regular-expression filter on any text: the first line of the input is the expression,
// the rest a node's text. Searching the text whole must find the same lines as searching
// each line alone.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "linematcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\n');
    if (split == std::string::npos) return 0;
    LineMatcher matcher;
    if (!matcher.Compile(MatchMode::RegularExpression, input.substr(0, split))) return 0;
    const char* begin = input.data() + split + 1;
    const char* end = input.data() + input.size();

    std::vector<int> whole;
    const int gaveUp = matcher.MatchLines(begin, end, whole);
    std::vector<int> alone;
    int gaveUpAlone = 0;
    for (const char* at = begin; at < end;) {
        const char* lineEnd = at;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
        if (lineEnd > at) {
            const LineMatch match = matcher.Match(at, lineEnd);
            if (match == LineMatch::Yes) alone.push_back(static_cast<int>(at - begin));
            if (match == LineMatch::GaveUp) ++gaveUpAlone;
        }
        at = lineEnd < end ? lineEnd + 1 : end;
    }
    // A line too complex alone may still be found inside a simpler search of the whole.
    if (gaveUpAlone == 0 && (whole != alone || gaveUp != 0)) std::abort();
    return 0;
}
