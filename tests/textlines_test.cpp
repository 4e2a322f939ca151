// The text-line rules that Find/Replace and the filter share: where lines break, ASCII case,
// and a line as key and value.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "textlines.h"

namespace {

using Lines = std::vector<std::string>;

auto AddTo(Lines& lines)
{
    return [&lines](const char* b, const char* e) {
        lines.emplace_back(b, e);
        return true;
    };
}

// The lines of text by the walk over a range and, for a text without a zero byte, by the
// walk to the terminating zero, which must agree.
Lines LinesOf(const std::string& text)
{
    Lines lines;
    ForEachLine(text.data(), text.data() + text.size(), AddTo(lines));
    if (text.find('\0') != std::string::npos) return lines;
    Lines toZero;
    ForEachLine(text.c_str(), AddTo(toZero));
    EXPECT_EQ(toZero, lines) << testing::PrintToString(text);
    return lines;
}

TEST(TextLines, EveryRunOfBreaksBreaksOnceAndNothingElseDoes)
{
    struct Case {
        std::string text;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"\r\n\n\r", {}},
        {"a\rb\n\rc", {"a", "b", "c"}},
        {"  \r\n\tx \f", {"  ", "\tx \f"}},
        {"x=1\r\ny=22222222\r\nzzzzzzzzzzzzzzzz\n", {"x=1", "y=22222222", "zzzzzzzzzzzzzzzz"}},
        {"\t\t\t\t\t\t\t\ta\tb\fc\r\nd", {"\t\t\t\t\t\t\t\ta\tb\fc", "d"}},
        {std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinesOf(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(TextLines, CaseFoldsOnlyAToZOnBothSides)
{
    struct Case {
        const char* text;
        const char* prefix;
        bool starts;
    } cases[] = {
        {"lod", "LOD", true},      {"x", "", true},      {"lo", "LOD", false},
        {"\xC4=1", "\xE4", false}, {"[a]", "{A}", false}, {"@Z", "`z", false},
    };
    for (const Case& c : cases) {
        std::string lowered = c.prefix;
        LowerAsciiInPlace(lowered.data(), lowered.data() + lowered.size());
        EXPECT_EQ(StartsWithIgnoringCase(c.text, c.prefix), c.starts) << c.text << " / " << c.prefix;
        EXPECT_EQ(StartsWithLowered(c.text, lowered), c.starts) << c.text << " / " << c.prefix;
    }
    EXPECT_TRUE(EqualIgnoringCase("Export", "eXPORT"));
    EXPECT_FALSE(EqualIgnoringCase("export", "exports"));
}

TEST(TextLines, ALineSplitsAtItsFirstEquals)
{
    struct Case {
        const char* line;
        const char* key;
        const char* value;
        bool hasEquals;
    } cases[] = {
        {"LOD=1", "LOD", "1", true},   {"a=b=c", "a", "b=c", true}, {"flag", "flag", "", false},
        {"=x", "", "x", true},         {"key=", "key", "", true},   {"", "", "", false},
    };
    for (const Case& c : cases) {
        const LineKeyValue split = SplitAtFirstEquals(c.line);
        EXPECT_EQ(split.key, c.key) << c.line;
        EXPECT_EQ(split.value, c.value) << c.line;
        EXPECT_EQ(split.hasEquals, c.hasEquals) << c.line;
    }
}

}  // namespace
