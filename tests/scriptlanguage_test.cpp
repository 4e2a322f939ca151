#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nodewalk.h"
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

#define LONE_CRS \
    "lines end in lone CRs (carriage returns without line feeds); only LF or CR LF end a line"

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
        {"new\nprint \"Find\"\rselect A\r", "2: " LONE_CRS},
        {"select A\rselect B\r", "1: " LONE_CRS},
        {"new\r\nopen a.scene\r\r\n", "2: " LONE_CRS},
    };
    for (const auto& each : cases) EXPECT_EQ(Problem(each.text), each.problem) << each.text;
    EXPECT_EQ(Problem(std::string("new\nopen a\0b", 12)), "2: a NUL byte");
    for (const std::string& utf16 : {std::string("\xFF\xFEn\0e\0w\0", 8),
                                    std::string("\xFE\xFF\0n\0e\0w", 8),
                                    std::string("n\0e\0w\0\n\0", 8)})
        EXPECT_EQ(Problem(utf16), "0: the script is UTF-16; save it as UTF-8");
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

TEST(NodePath, TheIndexAgreesWithAWalkOnNamesGivenTwice)
{
    // Few names, so that paths repeat: the first node in hierarchy order must win.
    Scene scene;
    std::vector<SceneNode*> nodes{scene.Root()};
    const char* const names[] = {"a", "b", "a/b", ""};
    unsigned seed = 7;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245 + 12345;
        SceneNode* parent = nodes[(seed >> 8) % nodes.size()];
        nodes.push_back(scene.CreateNode(parent == scene.Root() ? nullptr : parent, names[(seed >> 4) % 4]));
    }
    std::vector<std::pair<std::string, SceneNode*>> inOrder;
    NodeWalk walk(scene.Root());
    walk.Next();
    while (SceneNode* node = walk.Next()) inOrder.emplace_back(NodePath(node), node);
    NodePathIndex index;
    for (size_t i = 1; i < nodes.size(); i += 7) {
        const std::string path = NodePath(nodes[i]);
        SceneNode* first = nullptr;
        for (const auto& each : inOrder)
            if (!first && each.first == path) first = each.second;
        ASSERT_EQ(index.Find(scene, path), first) << path;
    }
}

TEST(NodePath, TheIndexFollowsRenamesNewNodesAndAnotherScene)
{
    NodePathIndex index;
    Scene scene;
    SceneNode* base = scene.CreateNode(nullptr, "Base");
    EXPECT_EQ(index.Find(scene, "Base"), base);
    base->SetName("Plinth");
    EXPECT_EQ(index.Find(scene, "Base"), nullptr);
    EXPECT_EQ(index.Find(scene, "Plinth"), base);
    SceneNode* arm = scene.CreateNode(base, "Arm");
    EXPECT_EQ(index.Find(scene, "Plinth/Arm"), arm);
    scene.Clear();
    EXPECT_EQ(index.Find(scene, "Plinth/Arm"), nullptr);
    Scene other;
    SceneNode* lamp = other.CreateNode(nullptr, "Lamp");
    EXPECT_EQ(index.Find(other, "Lamp"), lamp);
}

TEST(NodePath, ALookupCostsItsPathNotTheScene)
{
    // 200,000 nodes, 100,000 lookups: a walk per lookup would look at about 10^10 nodes.
    const int groups = 1000, children = 199, lookups = 100000;
    Scene scene;
    for (int g = 0; g < groups; ++g) {
        SceneNode* group = scene.CreateNode(nullptr, ("g" + std::to_string(g)).c_str());
        for (int n = 0; n < children; ++n) scene.CreateNode(group, ("n" + std::to_string(n)).c_str());
    }
    NodePathIndex index;
    for (int i = 0; i < lookups; ++i) {
        const int g = static_cast<int>((i * 7919LL) % groups);
        const int n = static_cast<int>((i * 104729LL) % children);
        SceneNode* node = index.Find(scene, "g" + std::to_string(g) + "/n" + std::to_string(n));
        ASSERT_TRUE(node && node->Parent()->NodeName() == "g" + std::to_string(g) &&
                    node->NodeName() == "n" + std::to_string(n)) << i;
    }
    const std::uint64_t nodes = groups * (children + 1);
    EXPECT_LE(index.NodesVisited(), nodes + 3 * lookups);
}

}  // namespace
