#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "cstr.h"

TEST(CStrBasics, ConstructsCopiesAndAssigns)
{
    CStr empty;
    EXPECT_STREQ("", empty.data());
    EXPECT_EQ(0, empty.Length());

    CStr fromNull(nullptr);
    EXPECT_STREQ("", fromNull.data());

    CStr text("Box01");
    CStr copy(text);
    EXPECT_STREQ("Box01", copy.data());
    EXPECT_NE(text.data(), copy.data());

    CStr moved(std::move(copy));
    EXPECT_STREQ("Box01", moved.data());

    CStr assigned;
    assigned = text;
    EXPECT_STREQ("Box01", assigned.data());
    assigned = "a much longer replacement text";
    EXPECT_STREQ("a much longer replacement text", assigned.data());
    assigned = static_cast<const char*>(nullptr);
    EXPECT_STREQ("", assigned.data());
}

TEST(CStrBasics, SelfAssignmentKeepsText)
{
    CStr text("Sphere");
    CStr& alias = text;
    text = alias;
    EXPECT_STREQ("Sphere", text.data());
    text = alias.data();
    EXPECT_STREQ("Sphere", text.data());
    text = std::move(alias);
    EXPECT_STREQ("Sphere", text.data());
    // A tail of our own text.
    text = text.data() + 2;
    EXPECT_STREQ("here", text.data());
}

TEST(CStrBasics, AppendsIncludingItself)
{
    CStr text("ab");
    text += "cd";
    text += CStr("ef");
    text += static_cast<const char*>(nullptr);
    EXPECT_STREQ("abcdef", text.data());
    text += text;
    EXPECT_STREQ("abcdefabcdef", text.data());
    text += text.data() + 10;
    EXPECT_STREQ("abcdefabcdefef", text.data());

    CStr grown;
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        grown += "xyz";
        expected += "xyz";
    }
    EXPECT_EQ(expected, grown.data());
}

TEST(CStrBasics, ComparesExactlyAndConverts)
{
    CStr text("Name");
    EXPECT_TRUE(text == "Name");
    EXPECT_FALSE(text == "name");
    EXPECT_TRUE(text != CStr("NAME"));
    EXPECT_TRUE(text == CStr("Name"));
    EXPECT_TRUE(CStr() == static_cast<const char*>(nullptr));
    EXPECT_TRUE(CStr() == "");
    EXPECT_FALSE(text == "Nam");

    const char* converted = text;
    EXPECT_STREQ("Name", converted);
    const CStr empty;
    const char* none = empty;
    ASSERT_NE(nullptr, none);
    EXPECT_STREQ("", none);
}

TEST(CStrBuffer, LengthCountsTextWrittenAfterResize)
{
    CStr text;
    ASSERT_TRUE(text.Resize(20));
    strcpy(text.data(), "written");
    EXPECT_EQ(7, text.Length());
    EXPECT_STREQ("written", text.data());
}

TEST(CStrBuffer, ResizeKeepsFirstCharacters)
{
    CStr text("Teapot");
    ASSERT_TRUE(text.Resize(100));
    EXPECT_STREQ("Teapot", text.data());
    EXPECT_EQ(6, text.Length());
    EXPECT_EQ(0, text.data()[100]);

    ASSERT_TRUE(text.Resize(3));
    EXPECT_STREQ("Tea", text.data());

    ASSERT_TRUE(text.Resize(0));
    EXPECT_STREQ("", text.data());

    EXPECT_FALSE(text.Resize(-1));
}

TEST(CStrBuffer, NeverAllocatedStringGivesWritableTerminator)
{
    CStr text;
    char* buffer = text.data();
    ASSERT_NE(nullptr, buffer);
    buffer[0] = 0;
    EXPECT_EQ(0, text.Length());
}

TEST(CStrSubstr, TakesClampedRange)
{
    CStr text("Cylinder");
    EXPECT_STREQ("Cyl", text.Substr(0, 3).data());
    EXPECT_STREQ("inder", text.Substr(3, 5).data());
    EXPECT_STREQ("der", text.Substr(5, 100).data());
    EXPECT_STREQ("", text.Substr(8, 1).data());
    EXPECT_STREQ("", text.Substr(50, 2).data());
    EXPECT_STREQ("", text.Substr(2, -1).data());
    EXPECT_STREQ("", text.Substr(2, 0).data());
    EXPECT_STREQ("Cy", text.Substr(-3, 2).data());
    EXPECT_STREQ("", CStr().Substr(0, 4).data());
}

TEST(CStrAssign, TakesAPieceOfTextEvenItsOwn)
{
    CStr text("placeholder");
    EXPECT_TRUE(text.Assign("LOD=1\r\nx", 5));
    EXPECT_STREQ("LOD=1", text.data());
    EXPECT_TRUE(text.Assign(text.data() + 4, 1));
    EXPECT_STREQ("1", text.data());
    EXPECT_FALSE(text.Assign("abc", -1));
    EXPECT_FALSE(text.Assign(nullptr, 2));
    EXPECT_STREQ("1", text.data()) << "a refused piece leaves the text alone";
    EXPECT_TRUE(text.Assign(nullptr, 0));
    EXPECT_STREQ("", text.data());
}

TEST(CStrLower, LowersOnlyAsciiLettersInPlace)
{
    CStr text("MiXeD 123 \xC4\xD6\xDC_Z@[");
    CStr& result = text.toLower();
    EXPECT_EQ(&text, &result);
    EXPECT_STREQ("mixed 123 \xC4\xD6\xDC_z@[", text.data());

    CStr empty;
    EXPECT_STREQ("", empty.toLower().data());
}

TEST(CStrPrintf, FormatsNumbersStringsAndPadding)
{
    CStr text;
    EXPECT_EQ(12, text.printf("%d nodes, %s", 42, "ok"));
    EXPECT_STREQ("42 nodes, ok", text.data());

    EXPECT_EQ(8, text.printf("%*c%s", 4, ' ', "Hand"));
    EXPECT_STREQ("    Hand", text.data());

    EXPECT_EQ(0, text.printf("%s", ""));
    EXPECT_STREQ("", text.data());
}

TEST(CStrPrintf, FormatsLongTextExactly)
{
    std::string big(100000, 'q');
    CStr text("old");
    EXPECT_EQ(100002, text.printf("<%s>", big.c_str()));
    EXPECT_EQ(100002, text.Length());
    EXPECT_EQ('<' + big + '>', text.data());
}

TEST(CStrPrintf, MayUseItsOwnTextAsArgument)
{
    CStr text("base");
    text.printf("%s+%s", text.data(), text.data());
    EXPECT_STREQ("base+base", text.data());
}

TEST(CStrPrintf, NullFormatEmptiesAndFails)
{
    CStr text("kept?");
    const char* noFormat = nullptr;
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wformat-security"
#endif
    EXPECT_EQ(-1, text.printf(noFormat));
    EXPECT_STREQ("", text.data());
}
