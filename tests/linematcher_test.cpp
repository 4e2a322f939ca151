// The filter's line matcher without windows: the four ways a line matches, expressions that
// give up or stop at the limit, and a node's text searched whole or a line at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "linematcher.h"

namespace {

const std::vector<std::string> kLines = {"LOD=1",         "lodBias=2",      " lod=1",
                                         "export=static", "Export=Static2", "light=spot"};

// Which of kLines match, as a string of 0 and 1.
std::string MatchesOf(LineMatcher& matcher)
{
    std::string marks;
    for (const std::string& line : kLines) {
        const LineMatch match = matcher.Match(line.data(), line.data() + line.size());
        marks += match == LineMatch::Yes ? '1' : '0';
    }
    return marks;
}

TEST(LineMatcher, EachModeAgainstTheSameLines)
{
    struct Case {
        MatchMode mode;
        const char* pattern;
        const char* matches;
    } cases[] = {
        {MatchMode::StartsWith, "lod", "110000"},
        {MatchMode::StartsWith, "LOD=1", "100000"},
        {MatchMode::StartsWith, "=", "000000"},
        {MatchMode::Contains, "lod", "111000"},
        {MatchMode::Contains, "STATIC", "000110"},
        {MatchMode::Wildcard, "*=static", "000100"},
        {MatchMode::Wildcard, "lod=?", "100000"},
        {MatchMode::Wildcard, "*o*=*", "111110"},
        {MatchMode::Wildcard, "export", "000000"},
        {MatchMode::Wildcard, "*c?", "000010"},
        {MatchMode::RegularExpression, "^lod", "010000"},
        {MatchMode::RegularExpression, "(?i)^lod", "110000"},
        {MatchMode::RegularExpression, "=[0-9]$", "111000"},
        {MatchMode::RegularExpression, "static|spot", "000101"},
    };
    for (const Case& c : cases) {
        LineMatcher matcher;
        ASSERT_TRUE(matcher.Compile(c.mode, c.pattern)) << c.pattern << ": " << matcher.Error();
        EXPECT_TRUE(matcher.Active());
        EXPECT_EQ(MatchesOf(matcher), c.matches)
            << "mode " << static_cast<int>(c.mode) << " pattern " << c.pattern;
    }
}

TEST(LineMatcher, EmptyPatternFiltersNothingAndABadExpressionSaysWhy)
{
    for (MatchMode mode : {MatchMode::StartsWith, MatchMode::Contains, MatchMode::Wildcard,
                           MatchMode::RegularExpression}) {
        LineMatcher matcher;
        EXPECT_TRUE(matcher.Compile(mode, ""));
        EXPECT_FALSE(matcher.Active()) << "mode " << static_cast<int>(mode);
    }
    for (const char* bad : {"lod(", "[a-", "*x", "a{2,1}"}) {
        LineMatcher matcher;
        EXPECT_FALSE(matcher.Compile(MatchMode::RegularExpression, bad)) << bad;
        EXPECT_FALSE(matcher.Active());
        EXPECT_FALSE(matcher.Error().empty());
    }
    LineMatcher wildcard;
    EXPECT_TRUE(wildcard.Compile(MatchMode::Wildcard, "lod(")) << "only expressions can be bad";
}

TEST(LineMatcher, HostileOrLongLinesGiveUpOrStopAtTheLimitInsteadOfRunningAway)
{
    const std::string as(10000, 'a');
    for (const char* hostile : {"(a*)*b", "(a|aa)*c"}) {
        LineMatcher matcher;
        ASSERT_TRUE(matcher.Compile(MatchMode::RegularExpression, hostile));
        EXPECT_EQ(matcher.Match(as.data(), as.data() + as.size()), LineMatch::GaveUp) << hostile;
    }
    std::string tail(kRegexLineLimit, 'x');
    tail += "needle";
    LineMatcher needle;
    ASSERT_TRUE(needle.Compile(MatchMode::RegularExpression, "needle"));
    EXPECT_EQ(needle.Match(tail.data(), tail.data() + tail.size()), LineMatch::No)
        << "past the limit";
    LineMatcher end;
    ASSERT_TRUE(end.Compile(MatchMode::RegularExpression, "x$"));
    EXPECT_EQ(end.Match(tail.data(), tail.data() + tail.size()), LineMatch::No) << "$ at the cut";
    LineMatcher contains;
    ASSERT_TRUE(contains.Compile(MatchMode::Contains, "needle"));
    EXPECT_EQ(contains.Match(tail.data(), tail.data() + tail.size()), LineMatch::Yes)
        << "the other modes read the whole line";
}

// The non-blank lines of text that match when each is searched on its own, and how many of
// them were too complex to search.
std::vector<int> LinesMatchingAlone(LineMatcher& matcher, const std::string& text, int& gaveUp)
{
    std::vector<int> lines;
    gaveUp = 0;
    size_t at = 0;
    while ((at = text.find_first_not_of("\r\n", at)) != std::string::npos) {
        const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const LineMatch match = matcher.Match(text.data() + at, text.data() + end);
        if (match == LineMatch::Yes) lines.push_back(static_cast<int>(at));
        if (match == LineMatch::GaveUp) ++gaveUp;
        at = end;
    }
    return lines;
}

TEST(LineMatcher, ANodesTextSearchedWholeMatchesTheSameLinesAsEachLineAlone)
{
    const std::string texts[] = {"ab\r\nb\r\n\r\nxa\nb", "\r\n\nab\rab\n", "a \r\nb a",
                                 "x\r\nx\r\nx",          "\n\n",              "abc",
                                 std::string(kRegexLineLimit, 'a') + "\nab", "x\fab\r\nyab",
                                 "ax\r\nx"};
    // Matches that run across lines or start among the breaks, empty matches, and what
    // looks past a line or commits to what it took there: lookaround, the text's start and
    // end, \K, the m switch, verbs, possessive and atomic matching. Expressions that begin
    // with plain characters are looked for by those first, also where a quantifier (after a
    // comment or an empty quote too), an alternative or a form feed (where ^ matches too)
    // makes them less than they seem.
    const char* patterns[] = {"^b",        "a$",        "$",         "^$",         "x*",
                              "b",         "a\\s*b",    "a[^x]*b",   "\\nb",       "a\\Rb",
                              "\\bb",      "b\\b",      "a.b",       "(?=\\nb)",   "a(?!\\r)",
                              "(?<=\\n)b", "(?<!a)b",   "\\Ab",      "a\\z",       "a\\Z",
                              "\\Gb",      "a\\s*\\Kb", "(?-m)^b",   "(?m)a$",     "(*COMMIT)b",
                              "\\\\(?=b)", "\\Qa\\E$", "(?i)A$",    "(?(?=a)ab|b)",
                              "a\\s*+$",   "(?>a\\s*)$", "^ab",       "ab?x",      "ab{0}x",
                              "xa|b",      "y(?=a)",    "ab*$",      "ab(?#c)?x", "ab\\Q\\E?x"};
    for (const char* pattern : patterns) {
        LineMatcher matcher;
        ASSERT_TRUE(matcher.Compile(MatchMode::RegularExpression, pattern)) << pattern;
        for (const std::string& text : texts) {
            std::vector<int> whole;
            const int gaveUp = matcher.MatchLines(text.data(), text.data() + text.size(), whole);
            int gaveUpAlone = 0;
            EXPECT_EQ(whole, LinesMatchingAlone(matcher, text, gaveUpAlone))
                << pattern << " in " << testing::PrintToString(text.substr(0, 20));
            EXPECT_EQ(gaveUp, gaveUpAlone) << pattern;
        }
    }
}

TEST(LineMatcher, PlainCharactersAreFoundAcrossStretchesOfALongTextAndCancelStopsTheSearch)
{
    // Short lines up to just before 64 KiB, then a line that runs across that mark.
    std::string text;
    while (text.size() < 65532) text += "xx\n";
    const int needleAt = static_cast<int>(text.size());
    text += "needle=1\nneedle=2";
    LineMatcher matcher;
    ASSERT_TRUE(matcher.Compile(MatchMode::RegularExpression, "needle=1"));
    std::vector<int> starts;
    EXPECT_EQ(matcher.MatchLines(text.data(), text.data() + text.size(), starts), 0);
    EXPECT_EQ(starts, std::vector<int>{needleAt});

    const std::atomic<bool> cancel{true};
    starts.clear();
    matcher.MatchLines(text.data(), text.data() + text.size(), starts, &cancel);
    EXPECT_TRUE(starts.empty());
}

}  // namespace
