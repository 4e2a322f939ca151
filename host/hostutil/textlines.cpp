#include "textlines.h"

void LowerAsciiInPlace(char* begin, char* end)
{
    for (char* c = begin; c < end; ++c) *c = LowerAscii(*c);
}

LineKeyValue SplitAtFirstEquals(std::string_view line)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return LineKeyValue{line, std::string_view(), false};
    return LineKeyValue{line.substr(0, equals), line.substr(equals + 1), true};
}
