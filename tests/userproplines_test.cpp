// A node's text as a list of lines: splitting, joining, the prefix match and the three
// match operations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "userproplines.h"

namespace {

const char kSample[] = "LOD=1\r\n\r\nlodBias=2\nname=x";

std::vector<std::string> Lines(const UserPropLines& lines)
{
    std::vector<std::string> all;
    for (int i = 0; i < lines.Count(); ++i) all.push_back(lines.Line(i)->data());
    return all;
}

using Texts = std::vector<std::string>;

class LineList : public testing::Test {
protected:
    void SetUp() override { assertsBefore = AssertReportCount(); }
    // The list's own loops stay inside the count, so normal use reports nothing.
    void TearDown() override
    {
        EXPECT_EQ(assertsBefore, AssertReportCount()) << "array index reports";
    }

    UserPropLines lines;
    int assertsBefore = 0;
};

TEST_F(LineList, ParseDropsBlankLinesAndJoinUsesCrLf)
{
    lines.Parse(kSample);
    EXPECT_EQ((Texts{"LOD=1", "lodBias=2", "name=x"}), Lines(lines));
    EXPECT_STREQ("LOD=1\r\nlodBias=2\r\nname=x", lines.Join());

    lines.Parse("\r\na\r\n");
    EXPECT_EQ(Texts{"a"}, Lines(lines));
    EXPECT_STREQ("a", lines.Join());

    lines.Parse("a\rb\n\rc\r\n\r\nd");
    EXPECT_EQ((Texts{"a", "b", "c", "d"}), Lines(lines));
}

TEST_F(LineList, TextWithoutLinesGivesAnEmptyList)
{
    for (const char* text : {"", "\r\n\r\n\n\r\r"}) {
        lines.Parse(text);
        EXPECT_EQ(0, lines.Count()) << "text of " << std::string(text).size() << " breaks";
        EXPECT_STREQ("", lines.Join());
        EXPECT_EQ(0, lines.CountMatches("a"));
        EXPECT_EQ(0, lines.RemoveMatches("a"));
        EXPECT_EQ(0, lines.ReplaceMatches("a", "b"));
    }
}

TEST_F(LineList, SpacesAndTabsAreKept)
{
    lines.Parse("   \r\n\tkey = v \r\n");
    EXPECT_EQ((Texts{"   ", "\tkey = v "}), Lines(lines));
    EXPECT_STREQ("   \r\n\tkey = v ", lines.Join());
}

TEST_F(LineList, ParseReplacesWhatTheListHeld)
{
    lines.Parse("a\r\nb\r\nc");
    lines.Parse("d");
    EXPECT_EQ(Texts{"d"}, Lines(lines));
    lines.Clear();
    EXPECT_EQ(0, lines.Count());
    lines.Append("e");
    EXPECT_EQ(Texts{"e"}, Lines(lines));
}

TEST_F(LineList, LineAndSetLineOutOfRangeDoNothing)
{
    lines.Parse("a\r\nb");
    EXPECT_EQ(nullptr, lines.Line(-1));
    EXPECT_EQ(nullptr, lines.Line(lines.Count()));
    lines.SetLine(lines.Count(), "x");
    lines.SetLine(-1, "x");
    EXPECT_EQ((Texts{"a", "b"}), Lines(lines));
    lines.SetLine(1, "c\r\nd");
    EXPECT_EQ((Texts{"a", "c\r\nd"}), Lines(lines)) << "stored unchanged, not split";
}

TEST_F(LineList, AppendAddsACopyAsTheLastLine)
{
    UserPropLines empty;
    EXPECT_EQ(0, empty.Count());
    CStr text("last");
    lines.Parse("a");
    for (int i = 0; i < 25; ++i) lines.Append(text);
    text = "changed";
    ASSERT_EQ(26, lines.Count()) << "grows past its spare room";
    EXPECT_STREQ("last", lines.Line(25)->data());
}

TEST_F(LineList, MatchIsACaseBlindPrefix)
{
    lines.Parse(kSample);
    EXPECT_EQ(2, lines.CountMatches("lod"));
    EXPECT_EQ(1, lines.CountMatches("LODB"));
    EXPECT_EQ(1, lines.CountMatches("lod=1")) << "a line equal to the find text";
    EXPECT_EQ(0, lines.CountMatches("lod=1x")) << "longer than the line";
    EXPECT_EQ(0, lines.CountMatches("=1"));

    lines.Parse(" lod=1\r\nlo");
    EXPECT_EQ(0, lines.CountMatches("lod")) << "leading space, then a shorter line";
}

// The search reads texts in place; it must answer as parsing and counting would.
TEST_F(LineList, TextScanAgreesWithParsedLines)
{
    const char* const texts[] = {kSample, "", "\r\n\r\n", " lod=1\r\nlo", "x\r\nLOD",
                                 "lo\r\nd", "a\rlodX\n", "LoD"};
    const char* const finds[] = {"lod", "LODB", "lod=1x", "", "lo\r", "lo\r\nd", "d", " LOD"};
    for (const char* text : texts) {
        lines.Parse(text);
        for (const char* find : finds)
            EXPECT_EQ(lines.CountMatches(find) > 0, TextHasMatchingLine(text, find))
                << "text '" << text << "', find '" << find << "'";
    }
}

TEST_F(LineList, EmptyFindMatchesEveryLine)
{
    lines.Parse(kSample);
    EXPECT_EQ(3, lines.CountMatches(""));
}

TEST_F(LineList, FindKeepsItsCase)
{
    CStr find("LoD");
    lines.Parse(kSample);
    lines.CountMatches(find);
    lines.ReplaceMatches(find, "R");
    lines.Parse(kSample);
    lines.RemoveMatches(find);
    EXPECT_STREQ("LoD", find);
}

TEST_F(LineList, RemoveTakesOutEveryMatchKeepingTheOrder)
{
    lines.Parse(kSample);
    EXPECT_EQ(2, lines.RemoveMatches("lod"));
    EXPECT_STREQ("name=x", lines.Join());

    // Neighbours: each line that moves up is tested too.
    lines.Parse("lod1\r\nLOD2\r\nkeep1\r\nlod3\r\nlod4\r\nkeep2\r\nlod5");
    EXPECT_EQ(5, lines.RemoveMatches("lod"));
    EXPECT_EQ((Texts{"keep1", "keep2"}), Lines(lines));

    lines.Parse("lod1\r\nlod2");
    EXPECT_EQ(2, lines.RemoveMatches("LOD"));
    EXPECT_STREQ("", lines.Join());
}

TEST_F(LineList, ReplaceSetsTheWholeLine)
{
    lines.Parse(kSample);
    EXPECT_EQ(2, lines.ReplaceMatches("lod", "Lod=5"));
    EXPECT_EQ((Texts{"Lod=5", "Lod=5", "name=x"}), Lines(lines));

    lines.Parse("a\r\nlod\r\nlod");
    EXPECT_EQ(2, lines.ReplaceMatches("lod", "lod=9")) << "each line tested once";
    EXPECT_STREQ("a\r\nlod=9\r\nlod=9", lines.Join());
}

TEST(OnePassRewrite, GivesWhatTheLineListGives)
{
    const CStr zero("lod=0");
    const CStr empty("");
    // More lines than the rewrite keeps from its first pass.
    std::string many, manyKept;
    for (int i = 0; i < 40; ++i) {
        const std::string line = (i % 3 == 0 ? "lod=" : "key=") + std::to_string(i);
        many += (i > 0 ? "\r\n" : "") + line;
        if (i % 3 != 0) manyKept += (manyKept.empty() ? "" : "\r\n") + line;
    }
    struct Case {
        const char* text;
        const CStr* replacement;
        int matched;
        const char* result;  // "unset": left as it was
    } cases[] = {
        {"LOD=1\r\nlodBias=2\r\nname=x", nullptr, 2, "name=x"},
        {"LOD=1\r\nlodBias=2\r\nname=x", &zero, 2, "lod=0\r\nlod=0\r\nname=x"},
        {"\r\n\r\na\r\r\nlod\n\n", nullptr, 1, "a"},
        {"lod", nullptr, 1, ""},
        {"lod\r\nx", &empty, 1, "\r\nx"},
        {"a\r\nb lod", nullptr, 0, "unset"},
        {"", &zero, 0, "unset"},
        {many.c_str(), nullptr, 14, manyKept.c_str()},
    };
    for (const Case& c : cases) {
        CStr out("unset");
        TextLengths lengths;
        EXPECT_EQ(RewriteMatchingLines(c.text, CStr("lod"), c.replacement, out, INT_MAX, &lengths),
                  c.matched)
            << c.text;
        EXPECT_STREQ(out.data(), c.result) << c.text;
        // Lengths come with a text written; none without.
        const bool written = std::string(c.result) != "unset";
        EXPECT_EQ(lengths.before, written ? static_cast<int>(std::strlen(c.text)) : -1) << c.text;
        EXPECT_EQ(lengths.after, written ? out.Length() : -1) << c.text;
    }
    CStr out("unset");
    EXPECT_EQ(RewriteMatchingLines("lod=1\r\nlod=2", CStr("lod"), nullptr, out, 1), 2);
    EXPECT_STREQ(out.data(), "unset") << "more matches than allowed: counted, not written";
}

}  // namespace
