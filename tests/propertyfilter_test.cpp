// The property filter without windows: the four ways a line matches, the rows a search
// shows, the cell texts and the colours of an unfocused selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "propertyfilter.h"

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

class RunFilterTest : public testing::Test {
protected:
    void SetUp() override
    {
        base = scene.CreateNode(scene.Root(), "Base", "LOD=1\r\nlodBias=2");
        arm = scene.CreateNode(base, "Arm", "");
        hand = scene.CreateNode(arm, "Hand", "grip=1\r\n\r\nlod=2");
        lamp = scene.CreateNode(scene.Root(), "Lamp", "light=spot");
    }
    FilterResult Run(MatchMode mode, const char* pattern)
    {
        LineMatcher matcher;
        EXPECT_TRUE(matcher.Compile(mode, pattern));
        std::atomic<bool> cancel{false};
        FilterResult result;
        EXPECT_TRUE(RunFilter(*NodeListing::Take(scene), matcher, cancel, result));
        return result;
    }

    Scene scene;
    SceneNode* base = nullptr;
    SceneNode* arm = nullptr;
    SceneNode* hand = nullptr;
    SceneNode* lamp = nullptr;
};

TEST_F(RunFilterTest, ShowsMatchesWithTheirAncestorsAsContextAndCountsThem)
{
    const FilterResult result = Run(MatchMode::Contains, "lod");
    ASSERT_EQ(result.rows.size(), 3u);
    EXPECT_EQ(result.rows[0].node, base);
    EXPECT_FALSE(result.rows[0].context);
    EXPECT_EQ(result.rows[1].node, arm);
    EXPECT_TRUE(result.rows[1].context) << "shown as the way to Hand";
    EXPECT_EQ(result.rows[2].node, hand);
    EXPECT_EQ(result.rows[2].matchCount, 1);
    EXPECT_EQ(result.matchedLineStarts[result.rows[2].firstMatch], 10) << "where lod=2 starts";
    EXPECT_EQ(result.CountText(), "2 nodes, 3 lines match");
    NodeTab matches;
    result.CollectMatchingNodes(matches);
    ASSERT_EQ(matches.Count(), 2);
    EXPECT_EQ(matches[1], hand);

    EXPECT_EQ(Run(MatchMode::StartsWith, "light").CountText(), "1 node, 1 line matches");
    EXPECT_EQ(Run(MatchMode::StartsWith, "nothing").rows.size(), 0u);
}

TEST_F(RunFilterTest, AncestorsComeBeforeTheirMatchTopDownAndAReusedResultHoldsOnlyItsOwnRows)
{
    LineMatcher matcher;
    ASSERT_TRUE(matcher.Compile(MatchMode::StartsWith, "grip"));
    std::atomic<bool> cancel{false};
    FilterResult result = Run(MatchMode::Contains, "=");  // every node with a text
    ASSERT_TRUE(RunFilter(*NodeListing::Take(scene), matcher, cancel, result));
    ASSERT_EQ(result.rows.size(), 3u);
    EXPECT_EQ(result.rows[0].node, base);
    EXPECT_TRUE(result.rows[0].context);
    EXPECT_EQ(result.rows[1].node, arm);
    EXPECT_TRUE(result.rows[1].context);
    EXPECT_EQ(result.rows[2].node, hand);
    EXPECT_EQ(result.rows[2].firstMatch, 0);
    EXPECT_EQ(result.matchedLineStarts, std::vector<int>{0});
    EXPECT_EQ(result.CountText(), "1 node, 1 line matches");
}

TEST_F(RunFilterTest, CountsLinesTooComplexAndStopsWhenCancelled)
{
    lamp->SetUserPropText(CStr(std::string(3000, 'a').c_str()));
    EXPECT_EQ(Run(MatchMode::RegularExpression, "(a|aa)*c").CountText(),
              "0 nodes, 0 lines match (1 too complex to search)");

    LineMatcher matcher;
    matcher.Compile(MatchMode::Contains, "lod");
    std::atomic<bool> cancel{true};
    FilterResult result;
    EXPECT_FALSE(RunFilter(*NodeListing::Take(scene), matcher, cancel, result));
}

TEST(PropertiesCell, MarksTheMatchingLinesAndTheTipListsEveryLine)
{
    const char* text = "a=1\r\n\r\nb=2\nc=3";
    const int second[] = {7};
    const int firstAndLast[] = {0, 11};
    EXPECT_EQ(PropertiesCellText(text, nullptr, 0), "a=1  |  b=2  |  c=3");
    EXPECT_EQ(PropertiesCellText(text, second, 1), "a=1  |  \xC2\xBB b=2 \xC2\xAB  |  c=3");
    EXPECT_EQ(PropertiesCellText(text, firstAndLast, 2),
              "\xC2\xBB a=1 \xC2\xAB  |  b=2  |  \xC2\xBB c=3 \xC2\xAB");
    EXPECT_EQ(PropertiesTipText(text), "a=1\r\nb=2\r\nc=3");
}

TEST(SelectionColours, AnUnfocusedSelectionKeepsAContrastOfThreeToOne)
{
    EXPECT_NEAR(ContrastRatio(0xFFFFFF, 0x000000), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(0x808080, 0x808080), 1.0, 0.01);
    struct Case {
        unsigned highlight;
        unsigned background;
    } cases[] = {
        {0xD77800, 0xFFFFFF},  // a blue highlight on white
        {0x6A240A, 0xFFFFFF},  // a dark blue highlight
        {0xF5F5F5, 0xFFFFFF},  // a highlight as pale as the background
        {0xFF9933, 0x202020},  // a dark background
    };
    for (const Case& c : cases) {
        const unsigned fill = InactiveSelectionFill(c.highlight, c.background);
        EXPECT_GE(ContrastRatio(fill, c.background), 3.0) << std::hex << c.highlight;
        EXPECT_GE(ContrastRatio(TextColourOn(fill), fill), 4.5) << std::hex << c.highlight;
    }
    EXPECT_NE(InactiveSelectionFill(0x6A240A, 0xFFFFFF), 0x6A240Au)
        << "softer than the focused look";
}

}  // namespace
