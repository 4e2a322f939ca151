// The node list's rows without windows: the properties cell with its marked lines, the tip,
// and the colours of a selection without the focus.
#include <gtest/gtest.h>

#include "rowcolours.h"
#include "rowtext.h"

namespace {

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
