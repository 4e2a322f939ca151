// The application's scene file: what it reads, what it refuses with which line, and that
// every text survives a save and a load unchanged.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hold.h"
#include "scenetext.h"

namespace {

std::string PropsOf(const SceneNode* node)
{
    CStr text;
    node->GetUserPropText(text);
    return text.data();
}

// A literal with its NUL bytes, up to its own terminator.
template <size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

SceneFileError ParseError(const std::string& text)
{
    Scene scene;
    SceneFileError error;
    EXPECT_FALSE(ParseSceneText(text, scene, error)) << text;
    return error;
}

TEST(SceneFileRead, BuildsTheHierarchyWithFlagsAndTexts)
{
    Scene scene;
    SceneFileError error;
    ASSERT_TRUE(ParseSceneText("# a comment\n"
                               "scene 1\n"
                               "node 1 \"Base\"\n"
                               "props \"LOD=1\\r\\n\\r\\nlodBias=2\"\n"
                               "node 2 \"Arm\" hidden\n"
                               "node 3 \"Hand\"\n"
                               "node 1 \"Lamp\"\r\n",
                               scene, error))
        << error.message;
    SceneNode* root = scene.Root();
    ASSERT_EQ(root->ChildCount(), 2);
    SceneNode* base = root->Child(0);
    EXPECT_STREQ(base->NodeName(), "Base");
    EXPECT_EQ(PropsOf(base), "LOD=1\r\n\r\nlodBias=2");
    EXPECT_TRUE(base->Child(0)->IsHidden());
    EXPECT_STREQ(base->Child(0)->Child(0)->NodeName(), "Hand");
    EXPECT_STREQ(root->Child(1)->NodeName(), "Lamp");
    EXPECT_FALSE(scene.Modified()) << "a freshly read scene has nothing to save";
}

TEST(SceneFileRead, ReportsTheLineAndWhatIsWrong)
{
    EXPECT_EQ(ParseError("").message, "not a scene file (expected 'scene 1')");
    EXPECT_EQ(ParseError("node 1 \"a\"\n").line, 1);
    SceneFileError error = ParseError("scene 1\nnode 1 \"a\"\nnode 3 \"b\"\n");
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.message, "depth 3 skips a level (the node before has depth 1)");
    EXPECT_EQ(ParseError("scene 1\nnod 1 \"a\"\n").message, "unknown keyword 'nod'");
    EXPECT_EQ(ParseError("scene 1\nprops \"x\"\n").message, "'props' before any node");
    EXPECT_EQ(ParseError("scene 1\nnode 1 \"open\n").message, "quoted text is not closed");
    EXPECT_EQ(ParseError("scene 1\nnode 1 \"a\\q\"\n").message, "bad escape in quoted text");
    EXPECT_EQ(ParseError("scene 1\nnode 1 \"a\\x4\"\n").message, "bad escape in quoted text");
    EXPECT_EQ(ParseError("scene 1\nnode 1 \"a\" shown\n").message, "unknown node flag 'shown'");
    EXPECT_EQ(ParseError("scene 1\nnode 0 \"a\"\n").message, "depth must be 1 or more");
    EXPECT_EQ(ParseError("scene 1\nnode x \"a\"\n").message, "expected a depth (1 or more)");
    EXPECT_EQ(ParseError("scene 1\nnode 1 a\n").message, "expected a quoted text");
}

// Names and texts end at their first NUL: taking one in would quietly cut them short.
TEST(SceneFileRead, RefusesANulByteRawOrEscaped)
{
    struct Case {
        std::string text;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {Bytes("scene 1\nnode 1 \"Ba\0se\"\n"), 2, "the line holds a NUL byte"},
        {Bytes("scene 1\nnode 1 \"a\"\nprops \"x=1\0y=2\"\n"), 3,
         "the line holds a NUL byte"},
        {Bytes("scene 1\nnode 1 \"a\" \0\n"), 2, "the line holds a NUL byte"},
        {"scene 1\nnode 1 \"Ba\\x00se\"\n", 2, "\\x00 is not allowed in quoted text"},
        {"scene 1\nnode 1 \"a\"\nprops \"x=1\\x00y=2\"\n", 3,
         "\\x00 is not allowed in quoted text"},
        {Bytes("s\0c\0e\0n\0e\0 \0\x31\0\n\0"), 1, "not a scene file (expected 'scene 1')"},
    };
    for (const Case& c : cases) {
        const SceneFileError error = ParseError(c.text);
        EXPECT_EQ(error.line, c.line) << c.message;
        EXPECT_EQ(error.message, c.message) << "line " << c.line;
    }
    Scene scene;
    SceneFileError error;
    EXPECT_TRUE(ParseSceneText("scene 1\nnode 1 \"a\\x01\\x10b\"\n", scene, error))
        << "other control characters are kept: " << error.message;
    EXPECT_TRUE(ParseSceneText(Bytes("scene 1\n# a comment \0 is never read\nnode 1 \"a\"\n"),
                               scene, error))
        << error.message;
}

// Input that once lost data or was read wrongly: each is refused with its line, or read.
TEST(SceneFileRead, RefusesWhatItCannotHoldAndSaysWhy)
{
    struct Case {
        std::string text;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"scene 1\nnode 1 \"a\"\nprops \"x=1\"\nprops \"y=2\"\n", 4,
         "a second 'props' line for the node of line 2"},
        {"scene 1\rnode 1 \"a\"\rprops \"x=1\"\r", 1,
         "lines end in lone CRs (carriage returns without line feeds); only LF or CR LF end a "
         "line"},
        {"scene 1\nnode 1 \"a\" hidden\rnode 1 \"b\"\n", 2,
         "lines end in lone CRs (carriage returns without line feeds); only LF or CR LF end a "
         "line"},
        {"scene 1\nnode 1 \"a\"\nprops \"123456789\"\n", 3,
         "the text is too long: a node holds at most 8 bytes"},
        {"scene 1\nnode 1 \"nine\\x20long\"\n", 2,
         "the text is too long: a node holds at most 8 bytes"},
    };
    for (const Case& c : cases) {
        Scene scene;
        SceneFileError error;
        EXPECT_FALSE(ParseSceneText(c.text, scene, error, 8)) << c.message;
        EXPECT_EQ(error.line, c.line) << c.message;
        EXPECT_EQ(error.message, c.message) << "line " << c.line;
    }
    static_assert(kLongestNodeText == 2147483646u, "the longest text a CStr holds");

    Scene scene;
    SceneFileError error;
    ASSERT_TRUE(ParseSceneText("\xEF\xBB\xBFscene 1\r\nnode 1 \"a\"\r\nprops \"12345678\"\r\n",
                               scene, error, 8))
        << "a UTF-8 byte-order mark and a text of the longest length are fine: " << error.message;
    EXPECT_EQ(PropsOf(scene.Root()->Child(0)), "12345678");
}

// Lines are scanned eight bytes at a time: a line feed or a NUL at any offset within a word
// still ends or refuses its own line, and no other.
TEST(SceneFileRead, FindsLineEndsAndNulsAtEveryOffset)
{
    for (int length = 0; length < 24; ++length) {
        const std::string name(length, 'n');
        Scene scene;
        SceneFileError error;
        ASSERT_TRUE(ParseSceneText("scene 1\nnode 1 \"" + name + "\"\nnode 1 \"b\"", scene, error))
            << length << ": " << error.message;
        ASSERT_EQ(scene.NodeCount(), 2) << length;
        EXPECT_EQ(scene.Root()->Child(0)->NodeName(), name) << length;

        std::string withNul = "scene 1\nnode 1 \"" + std::string(24, 'n') + "\"\nnode 1 \"b\"\n";
        withNul[8 + length] = '\0';
        const SceneFileError nul = ParseError(withNul);
        EXPECT_EQ(nul.line, 2) << length;
        EXPECT_EQ(nul.message, "the line holds a NUL byte") << length;
    }
}

// A depth counts as far as a node's depth does (an int), so every scene saved reads back.
TEST(SceneFileRead, ReadsEveryDepthItWritesAndRefusesDeeperOnes)
{
    const char* const tooLarge = "the depth is too large: a scene holds at most 2147483647 levels";
    struct Case {
        const char* depth;
        const char* message;
    };
    const Case cases[] = {
        {"2147483648", tooLarge},
        {"99999999999999999999999", tooLarge},
        {"2147483647", "depth 2147483647 skips a level (the node before has depth 1)"},
    };
    for (const Case& c : cases) {
        const SceneFileError error =
            ParseError(std::string("scene 1\nnode 1 \"a\"\nnode ") + c.depth + " \"b\"\n");
        EXPECT_EQ(error.line, 3) << c.depth;
        EXPECT_EQ(error.message, c.message) << c.depth;
    }

    const int deepest = 1000001;
    Scene chain;
    SceneNode* node = nullptr;
    for (int i = 0; i < deepest; ++i) node = chain.CreateNode(node, "n");
    Scene copy;
    SceneFileError error;
    ASSERT_TRUE(ParseSceneText(FormatSceneText(chain), copy, error)) << error.message;
    NodeTab nodes;
    copy.CollectNodes(nodes);
    ASSERT_EQ(nodes.Count(), deepest);
    EXPECT_EQ(nodes[deepest - 1]->Depth(), deepest);
}

TEST(SceneFileRead, ABadFileLeavesTheSceneAsItWas)
{
    Scene scene;
    scene.CreateNode(nullptr, "Kept", "x=1");
    SceneFileError error;
    EXPECT_FALSE(ParseSceneText("scene 1\nnode 1 \"a\"\nbroken\n", scene, error));
    ASSERT_EQ(scene.NodeCount(), 1);
    EXPECT_STREQ(scene.Root()->Child(0)->NodeName(), "Kept");
}

TEST(SceneFileRead, RefusedWhileACommandHoldsTheScene)
{
    theHold.Clear();
    Scene scene;
    scene.CreateNode(nullptr, "Busy");
    theHold.Begin();
    SceneFileError error;
    EXPECT_FALSE(ParseSceneText("scene 1\nnode 1 \"a\"\n", scene, error));
    EXPECT_EQ(scene.NodeCount(), 1);
    theHold.Cancel();
}

TEST(SceneFileRoundTrip, EveryByteOfNamesAndTextsSurvives)
{
    std::string awkward;
    for (int c = 1; c < 256; ++c) awkward += static_cast<char>(c);
    Scene scene;
    SceneNode* parent = scene.CreateNode(nullptr, "quote \" and \\ backslash", awkward.c_str());
    scene.CreateNode(parent, awkward.c_str(), "\r\n\r\nblank lines\n\rkept\r", true);
    scene.CreateNode(nullptr, "", "");

    Scene copy;
    SceneFileError error;
    ASSERT_TRUE(ParseSceneText(FormatSceneText(scene), copy, error)) << error.message;
    EXPECT_EQ(FormatSceneText(copy), FormatSceneText(scene));
    SceneNode* copiedParent = copy.Root()->Child(0);
    EXPECT_STREQ(copiedParent->NodeName(), "quote \" and \\ backslash");
    EXPECT_EQ(PropsOf(copiedParent), awkward);
    EXPECT_EQ(PropsOf(copiedParent->Child(0)), "\r\n\r\nblank lines\n\rkept\r");
    EXPECT_TRUE(copiedParent->Child(0)->IsHidden());
    EXPECT_STREQ(copy.Root()->Child(1)->NodeName(), "");
}

// The written bytes themselves, which files kept under version control depend on: every
// escape, the hidden flag, a node without text, deep nodes.
TEST(SceneFileWrite, WritesEachNodeInItsFixedSpelling)
{
    struct Case {
        const char* name;
        const char* props;
        bool hidden;
        const char* line;
    };
    const Case cases[] = {
        {"Base", "", false, "node 1 \"Base\"\n"},
        {"a\"b\\c", "x=1\r\ny=\t2\n", true,
         "node 1 \"a\\\"b\\\\c\" hidden\nprops \"x=1\\r\\ny=\\t2\\n\"\n"},
        {"\x01\x1F\x7F", "\xC3\xA9\x80\xFF", false,
         "node 1 \"\\x01\\x1F\\x7F\"\nprops \"\xC3\xA9\x80\xFF\"\n"},
        {"", "=", false, "node 1 \"\"\nprops \"=\"\n"},
    };
    for (const Case& c : cases) {
        Scene scene;
        scene.CreateNode(nullptr, c.name, c.props, c.hidden);
        EXPECT_EQ(FormatSceneText(scene), std::string("scene 1\n") + c.line) << c.line;
    }

    Scene deep;
    SceneNode* node = nullptr;
    for (int depth = 1; depth <= 12; ++depth)
        node = deep.CreateNode(node, "n", depth == 12 ? "t" : "");
    const std::string text = FormatSceneText(deep), last = "\nnode 12 \"n\"\nprops \"t\"\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

TEST(SceneFileRoundTrip, SaveThenLoadThroughTheDisk)
{
    Scene scene;
    scene.CreateNode(scene.CreateNode(nullptr, "Base", "LOD=1"), "Arm", "LOD=2\r\nx=y");
    const std::string path = testing::TempDir() + "roundtrip.scene";
    SceneFileError error;
    ASSERT_TRUE(SaveSceneFile(path.c_str(), scene, error)) << error.message;
    Scene loaded;
    ASSERT_TRUE(LoadSceneFile(path.c_str(), loaded, error)) << error.message;
    EXPECT_EQ(FormatSceneText(loaded), FormatSceneText(scene));
    std::remove(path.c_str());
}

TEST(SceneFileErrors, NamesTheFileAndLine)
{
    Scene scene;
    SceneFileError error;
    EXPECT_FALSE(LoadSceneFile("no/such/file.scene", scene, error));
    EXPECT_EQ(DescribeError("no/such/file.scene", error), "no/such/file.scene: cannot be opened");
    error.line = 12;
    error.message = "unknown keyword 'nod'";
    EXPECT_EQ(DescribeError("a.scene", error), "a.scene:12: unknown keyword 'nod'");
}

TEST(SceneFileErrors, AFailedSaveLeavesTheOldFileWhole)
{
    const std::string path = testing::TempDir() + "kept.scene";
    Scene scene;
    scene.CreateNode(nullptr, "Original");
    SceneFileError error;
    ASSERT_TRUE(SaveSceneFile(path.c_str(), scene, error));
    const std::string folderAsFile = testing::TempDir();
    EXPECT_FALSE(SaveSceneFile(folderAsFile.c_str(), scene, error));
    Scene loaded;
    ASSERT_TRUE(LoadSceneFile(path.c_str(), loaded, error));
    EXPECT_STREQ(loaded.Root()->Child(0)->NodeName(), "Original");
    std::remove(path.c_str());
}

}  // namespace
