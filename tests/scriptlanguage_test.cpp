#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scriptlanguage.h"

namespace {

using Words = std::vector<std::string>;

Words Split(const std::string& line)
{
    Words words;
    std::string problem;
    EXPECT_TRUE(SplitScriptLine(line, words, problem)) << line << ": " << problem;
    return words;
}

std::string Problem(const std::string& text)
{
    std::vector<ScriptCommand> commands;
    ScriptSyntaxError error;
    if (ParseScript(text, commands, error)) return "";
    return std::to_string(error.line) + ": " + error.message;
}

TEST(ScriptLine, QuotesEscapesAndBareWords)
{
    EXPECT_EQ(Split("  type W 1006\t\"a b\\r\\n\\t\\\"\\\\\" c\\d  "),
              (Words{"type", "W", "1006", "a b\r\n\t\"\\", "c\\d"}));
    EXPECT_EQ(Split("select \"Lamp\\/Shade\" \"\""), (Words{"select", "Lamp\\/Shade", ""}));
    for (const std::string& text : {std::string("a b"), std::string(""), std::string("#x"),
                                    std::string("q\"\r\n\\/"), std::string("plain")})
        EXPECT_EQ(Split(ScriptWord(text)), Words{text}) << "the printed word reads back";
}

TEST(ScriptLine, BadLinesNameTheirLineAndFault)
{
    const struct {
        const char* text;
        const char* problem;
    } cases[] = {
        {"new\n\n  # note\nopen \"a", "4: the string is not closed"},
        {"open \"a\"b", "1: a closing quote must be followed by a blank"},
        {"open a\"b\"", "1: a quote inside a word: put the whole text in quotes"},
        {"open \"\\q\"", "1: unknown escape \\q (a string knows \\r \\n \\t \\\" and \\\\)"},
        {"save a b", "1: usage: save [FILE]"},
        {"hide", "1: usage: hide PATH..."},
        {"expect enabled w c maybe", "1: expected yes or no, not \"maybe\""},
        {"pick w c 1.5", "1: INDEX must be a whole number, not \"1.5\""},
        {"print", "1: print what? props PATH, selection, tree, status or a WINDOW"},
    };
    for (const auto& each : cases) EXPECT_EQ(Problem(each.text), each.problem) << each.text;
    EXPECT_EQ(Problem(std::string("new\nopen a\0b", 12)), "2: a NUL byte");
}

TEST(ScriptLine, CommandsTakeTheirFullNames)
{
    std::vector<ScriptCommand> commands;
    ScriptSyntaxError error;
    ASSERT_TRUE(ParseScript("\xEF\xBB\xBFprint tree\r\nprint \"User Properties\"\nexpect selection\n",
                            commands, error));
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].name, "print tree");
    EXPECT_EQ(commands[1].name, "print window");
    EXPECT_EQ(commands[1].args, Words{"User Properties"});
    EXPECT_EQ(commands[2].name, "expect selection");
    EXPECT_EQ(commands[2].line, 3);
}

TEST(NodePath, NamesTheFirstMatchingNodeInHierarchyOrder)
{
    Scene scene;
    SceneNode* firstBase = scene.CreateNode(nullptr, "Base");
    scene.CreateNode(firstBase, "Leg");
    SceneNode* secondBase = scene.CreateNode(nullptr, "Base");
    SceneNode* arm = scene.CreateNode(secondBase, "Arm");
    SceneNode* odd = scene.CreateNode(arm, "a/b\\");
    SceneNode* unnamed = scene.CreateNode(odd, "");

    EXPECT_EQ(FindNodeByPath(scene, "Base"), firstBase);
    EXPECT_EQ(FindNodeByPath(scene, "Base/Arm"), arm) << "the second Base has the Arm";
    EXPECT_EQ(FindNodeByPath(scene, "Base/Arm/a\\/b\\\\"), odd);
    EXPECT_EQ(FindNodeByPath(scene, "Base/Arm/a\\/b\\\\/"), unnamed);
    EXPECT_EQ(FindNodeByPath(scene, "Arm"), nullptr) << "paths start below the root";
    EXPECT_EQ(FindNodeByPath(scene, "Base/Nowhere"), nullptr);
    for (SceneNode* node : {firstBase, arm, odd, unnamed})
        EXPECT_EQ(FindNodeByPath(scene, NodePath(node)), node) << NodePath(node);
}

}  // namespace
