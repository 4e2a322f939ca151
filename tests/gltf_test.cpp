// glTF scenes: how node extras become texts and back, what is refused with which node and
// line, and that everything but the changed extras is written back as it was read.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fileio.h"
#include "glb.h"
#include "gltf.h"
#include "gltfextras.h"
#include "scenetext.h"
#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    SceneFileError error;
    EXPECT_TRUE(ReadWholeFile(path.c_str(), bytes, error)) << path;
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string TempPath(const char* extension)
{
    return testing::TempDir() + testing::UnitTest::GetInstance()->current_test_info()->name() +
           extension;
}

SceneNode* NodeNamed(const Scene& scene, const char* name)
{
    NodeTab nodes;
    scene.CollectNodes(nodes);
    for (int i = 0; i < nodes.Count(); ++i)
        if (std::string(nodes[i]->NodeName()) == name) return nodes[i];
    ADD_FAILURE() << "no node " << name;
    return scene.Root();
}

std::string PropsOf(const SceneNode* node)
{
    CStr text;
    node->GetUserPropText(text);
    return text.data();
}

const char kMinimal[] = R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[)";

TEST(GltfExtras, ValuesBecomeLinesThatReadBackTheSame)
{
    struct Case {
        Json value;
        const char* text;
    };
    const Case cases[] = {
        {"static", "static"}, {"x=y", "x=y"}, {"", ""}, {"  padded", "  padded"},
        {"[1,", "[1,"}, {"Caf\xC3\xA9", "Caf\xC3\xA9"}, {"1", "\"1\""}, {"true", "\"true\""},
        {"null", "\"null\""}, {" 2 ", "\" 2 \""}, {"[1]", "\"[1]\""}, {"{}", "\"{}\""},
        {"\"q", "\"\\\"q\""}, {"a\r\nb", "\"a\\r\\nb\""}, {std::string("a\0b", 3), "\"a\\u0000b\""},
        {1, "1"}, {-2, "-2"}, {2.5, "2.5"}, {1.0, "1.0"}, {true, "true"}, {nullptr, "null"},
        {Json::array({"a", 1}), "[\"a\",1]"}, {Json{{"k", {{"n", 1}}}}, "{\"k\":{\"n\":1}}"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValueText(c.value), c.text);
        const Json back = ValueOfText(c.text);
        EXPECT_EQ(back, c.value) << c.text;
        EXPECT_EQ(back.type_name(), std::string(c.value.type_name())) << c.text;
    }
    EXPECT_EQ(ValueOfText(" 3 "), Json(3)) << "a complete JSON text may have blanks around it";
    EXPECT_EQ(ValueOfText("1 2"), Json("1 2"));
}

// Keys that a line cannot give back (with '=', empty) survive while their lines stay as read.
TEST(GltfExtras, LinesLeftAsReadKeepTheirMembers)
{
    const Json read = {{"k=x", 1}, {"", "e"}, {"big", 1e300}};
    const ExtrasText asRead = TextOfExtras(&read, Utf8TextCodec());
    EXPECT_EQ(asRead.text, "k=x=1\r\n=e\r\nbig=1e+300");
    Json extras;
    std::string problem;
    ASSERT_TRUE(ExtrasOfText("=e\r\nk=x=1\r\nnew=2", asRead, Utf8TextCodec(), extras, problem))
        << problem;
    EXPECT_EQ(extras, Json({{"", "e"}, {"k=x", 1}, {"new", 2}}));

    const Json broken = {{"a\nb", 1}};
    EXPECT_EQ(TextOfExtras(&broken, Utf8TextCodec()).text, "");
    EXPECT_FALSE(ExtrasOfText("c=1", TextOfExtras(&broken, Utf8TextCodec()), Utf8TextCodec(),
                              extras, problem));
    EXPECT_EQ(problem, "its extras has a key holding a line break or NUL, which a line cannot hold");
}

// A file's sample copy to open, change and save.
class GltfSample : public testing::Test {
protected:
    void SetUp() override
    {
        original = ReadBytes(SAMPLES_DIR "/props.gltf");
        WriteBytes(path, original);
        ASSERT_TRUE(LoadSceneFile(path.c_str(), scene, document, error)) << error.message;
    }
    void TearDown() override { std::remove(path.c_str()); }
    bool Save() { return SaveSceneFile(path.c_str(), scene, document.get(), error); }
    void SetProps(const char* name, const char* text)
    {
        NodeNamed(scene, name)->SetUserPropText(text);
    }

    const std::string path = TempPath(".gltf");
    std::string original;
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
};

TEST_F(GltfSample, ShowsTheDefaultSceneWithItsTexts)
{
    EXPECT_EQ(scene.NodeCount(), 13) << "PreviewCamera is in another scene";
    EXPECT_EQ(NodeNamed(scene, "Hook")->Depth(), 4);
    EXPECT_EQ(PropsOf(NodeNamed(scene, "Crate.001")), "LOD=2\r\ncode=007\r\nstack={\"max\":3}");
    EXPECT_EQ(PropsOf(NodeNamed(scene, "Crate.002")),
              "LOD=2\r\ncode=008\r\nnote=\"fragile\\nhandle with care\"");
    EXPECT_EQ(PropsOf(NodeNamed(scene, "Lamp")), "export=dynamic\r\nlight=null\r\nlumens=1500.0");
    EXPECT_EQ(PropsOf(NodeNamed(scene, "node 11")), "id=\"true\"\r\nmarker=\"\\\"start\\\"\"");
    EXPECT_EQ(PropsOf(NodeNamed(scene, "Fence")), "");
}

TEST_F(GltfSample, SavedUnchangedIsTheSameFile)
{
    ASSERT_TRUE(Save()) << error.message;
    EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(GltfSample, EditsChangeOnlyTheExtrasOfTheirNodes)
{
    SetProps("Boom", "LOD=2\r\ncollision=box\r\n\r\nsolid=true");
    SetProps("Hook", "");
    SetProps("Post.001", "new=\"x\"");
    SetProps("Fence", "\r\n");
    ASSERT_TRUE(Save()) << error.message;

    Json expected = Json::parse(original);
    expected["nodes"][2]["extras"] = {{"LOD", 2}, {"collision", "box"}, {"solid", true}};
    expected["nodes"][3].erase("extras");
    expected["nodes"][9]["extras"] = {{"new", "x"}};
    EXPECT_EQ(Json::parse(ReadBytes(path)), expected);
}

TEST_F(GltfSample, RefusalsNameNodeAndLineAndLeaveTheFile)
{
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        {"LOD=1\r\nfoo", "line 2 \"foo\" has no '='"},
        {"=5", "line 1 \"=5\" has an empty key"},
        {"LOD=1\r\n\r\nLOD=2", "line 3 \"LOD=2\" repeats the key of line 1"},
        {"a=\xFF", "line 1 \"a=\xFF\" holds bytes that are not text"},
    };
    for (const Case& c : cases) {
        SetProps("Boom", c.text);
        EXPECT_FALSE(Save()) << c.text;
        EXPECT_EQ(DescribeError(path.c_str(), error), path + ": node \"Boom\": " + c.problem);
        EXPECT_EQ(ReadBytes(path), original) << c.text;
    }
}

TEST_F(GltfSample, SavesAsBinaryAndAsSceneText)
{
    const std::string scenePath = TempPath(".scene");
    ASSERT_TRUE(SaveSceneFile(scenePath.c_str(), scene, document.get(), error)) << error.message;
    Scene fromText;
    ASSERT_TRUE(LoadSceneFile(scenePath.c_str(), fromText, error)) << error.message;
    EXPECT_EQ(FormatSceneText(fromText), FormatSceneText(scene));
    std::remove(scenePath.c_str());

    std::string glb;
    ASSERT_TRUE(GlbFormat().Write(scene, document.get(), glb, error)) << error.message;
    GlbParts parts;
    ASSERT_TRUE(SplitGlb(glb, parts, error)) << error.message;
    EXPECT_EQ(Json::parse(parts.json), Json::parse(original));
}

TEST(GltfFile, ReadsTheDefaultSceneInFileOrder)
{
    const char* file = R"({"asset":{"version":"2.0"},"scene":1,
        "scenes":[{"nodes":[1]},{"nodes":[2,0]}],
        "nodes":[{"name":"A","children":[1]},{"name":"B","extras":{"k":1}},{}]})";
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    ASSERT_TRUE(GltfFormat().Read(file, scene, document, error)) << error.message;
    EXPECT_EQ(FormatSceneText(scene),
              "scene 1\nnode 1 \"node 2\"\nnode 1 \"A\"\nnode 2 \"B\"\nprops \"k=1\"\n");
    ASSERT_TRUE(GltfFormat().Read(R"({"asset":{"version":"2.0"},"nodes":[{}]})", scene, document,
                                  error));
    EXPECT_EQ(scene.NodeCount(), 0) << "a file without scenes shows no nodes";
}

TEST(GltfFile, ExtrasThatAreNoObjectStayUnlessGivenLines)
{
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    ASSERT_TRUE(GltfFormat().Read(std::string(kMinimal) + R"({"name":"Odd","extras":"note"}]})",
                                  scene, document, error));
    SceneNode* odd = NodeNamed(scene, "Odd");
    EXPECT_EQ(PropsOf(odd), "");
    std::string bytes;
    odd->SetUserPropText("a=1");
    EXPECT_FALSE(GltfFormat().Write(scene, document.get(), bytes, error));
    EXPECT_EQ(error.message, "node \"Odd\": its extras is of type string, not an object, so it "
                             "cannot take properties");
    odd->SetUserPropText("\r\n");
    ASSERT_TRUE(GltfFormat().Write(scene, document.get(), bytes, error)) << error.message;
    EXPECT_EQ(Json::parse(bytes)["nodes"][0]["extras"], "note");
}

TEST(GltfFile, RefusesWhatIsNoGltfScene)
{
    struct Case {
        std::string file;
        int line;
        const char* message;
    };
    const std::string scene0 = R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],)";
    const Case cases[] = {
        {scene0 + R"("nodes":[{"children":[1]},{"children":[0]}]})", 0,
         "node 0 is its own descendant (a cycle)"},
        {R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0,1]}],"nodes":[{"children":[1]},{}]})",
         0, "node 1 is reached twice (one parent at most)"},
        {scene0 + R"("nodes":[{"children":[-1]}]})", 0,
         "node 0 lists -1, which is no node's index"},
        {scene0 + "\"nodes\":[]}", 0, "the default scene lists 0, which is no node's index"},
        {scene0 + "\"scene\":1}", 0, "\"scene\" is 1, which is no scene's index"},
        {"{}", 0, "not a glTF file (no asset version)"},
        {R"({"asset":{"version":"1.0"}})", 0, "glTF version 1.0 is not supported (only 2.x)"},
        {"{\n\"asset\": ,\n}", 2, "not valid JSON: syntax error while parsing value"},
    };
    for (const Case& c : cases) {
        Scene scene;
        scene.CreateNode(nullptr, "Kept");
        std::unique_ptr<SceneDocument> document;
        SceneFileError error;
        EXPECT_FALSE(GltfFormat().Read(c.file, scene, document, error)) << c.file;
        EXPECT_EQ(error.line, c.line) << c.file;
        EXPECT_EQ(error.message.substr(0, std::strlen(c.message)), c.message);
        EXPECT_STREQ(scene.Root()->Child(0)->NodeName(), "Kept");
    }
}

TEST(GltfFile, SceneTextSavesAsANewGltf)
{
    Scene scene;
    SceneFileError error;
    ASSERT_TRUE(ParseSceneText("scene 1\nnode 1 \"Base\"\n"
                               "props \"LOD=1\\r\\ncode=007\\r\\nid=\\\"1\\\"\"\n"
                               "node 2 \"Arm\"\nnode 1 \"Lamp\"\nprops \"on=true\"\n",
                               scene, error));
    std::string bytes;
    ASSERT_TRUE(GltfFormat().Write(scene, nullptr, bytes, error)) << error.message;
    Scene back;
    std::unique_ptr<SceneDocument> document;
    ASSERT_TRUE(GltfFormat().Read(bytes, back, document, error)) << error.message;
    EXPECT_EQ(FormatSceneText(back), FormatSceneText(scene));
    EXPECT_EQ(Json::parse(bytes)["nodes"][0]["extras"],
              Json({{"LOD", 1}, {"code", "007"}, {"id", "1"}}));

    NodeNamed(scene, "Arm")->SetUserPropText("no equals sign");
    EXPECT_FALSE(GltfFormat().Write(scene, nullptr, bytes, error));
    EXPECT_EQ(error.message, "node \"Arm\": line 1 \"no equals sign\" has no '='");
}

std::string Le32(uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Chunk(const std::string& type, const std::string& data)
{
    return Le32(static_cast<uint32_t>(data.size())) + type + data;
}

std::string Glb(const std::string& chunks)
{
    return "glTF" + Le32(2) + Le32(static_cast<uint32_t>(12 + chunks.size())) + chunks;
}

TEST(GlbFile, KeepsTheBinaryChunkByteForByte)
{
    const std::string json = std::string(kMinimal) + R"({"name":"A","extras":{"k":1}}]}  )";
    const std::string binary =
        Chunk(std::string("BIN\0", 4), std::string("\0\x01\xFF\x7F\0\0\0\0", 8));
    const std::string file = Glb(Chunk("JSON", json) + binary);
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    ASSERT_TRUE(GlbFormat().Read(file, scene, document, error)) << error.message;
    std::string saved;
    ASSERT_TRUE(GlbFormat().Write(scene, document.get(), saved, error));
    EXPECT_EQ(saved, file) << "nothing changed";

    NodeNamed(scene, "A")->SetUserPropText("k=2\r\nlonger=\"text\"");
    ASSERT_TRUE(GlbFormat().Write(scene, document.get(), saved, error)) << error.message;
    EXPECT_EQ(saved.substr(0, 8), file.substr(0, 8));
    EXPECT_EQ(saved.substr(8, 4), Le32(static_cast<uint32_t>(saved.size())));
    GlbParts parts;
    ASSERT_TRUE(SplitGlb(saved, parts, error)) << error.message;
    EXPECT_EQ(parts.json.size() % 4, 0u);
    EXPECT_EQ(parts.chunksAfterJson, binary);
    EXPECT_EQ(Json::parse(parts.json)["nodes"][0]["extras"], Json({{"k", 2}, {"longer", "text"}}));

    EXPECT_FALSE(GltfFormat().Write(scene, document.get(), saved, error));
    EXPECT_EQ(error.message, "the binary chunk of a .glb file cannot be kept in a .gltf file; "
                             "save it as .glb");
}

TEST(GlbFile, RefusesBrokenContainers)
{
    const std::string json = Chunk("JSON", "{}  ");
    const struct {
        std::string file;
        const char* message;
    } cases[] = {
        {"glTF", "not a binary glTF file (no 'glTF' header)"},
        {"glTF" + Le32(1) + Le32(12), "binary glTF version 1 is not supported (only 2)"},
        {"glTF" + Le32(2) + Le32(99) + json, "the file is 24 bytes long but its header says 99"},
        {Glb(Chunk(std::string("BIN\0", 4), "")), "the first chunk is not the JSON chunk"},
        {Glb(json + Le32(8) + "BIN"), "a chunk runs past the end of the file"},
        {Glb(Le32(9) + "JSON{}"), "a chunk runs past the end of the file"},
    };
    for (const auto& c : cases) {
        GlbParts parts;
        SceneFileError error;
        EXPECT_FALSE(SplitGlb(c.file, parts, error));
        EXPECT_EQ(error.message, c.message);
    }
}

#if defined(_WIN32)
TEST(GltfCodePage, TheProcessRunsInUtf8)
{
    EXPECT_EQ(GetACP(), 65001u) << "the application manifest sets the code page";
}

// On a system that keeps a legacy code page, nothing it cannot show is lost by a save.
TEST(GltfCodePage, ALegacyCodePageLosesNoCharacters)
{
    const auto codec = MakeCodePageTextCodec(1252);
    const auto format = MakeGltfFormat(false, *codec);
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    ASSERT_TRUE(format->Read(std::string(kMinimal) +
                                 "{\"name\":\"Caf\xC3\xA9\",\"extras\":{\"t\":\"\xE6\x97\xA5\","
                                 "\"u\":\"\xC3\xA9\",\"v\":1}}]}",
                             scene, document, error));
    SceneNode* node = NodeNamed(scene, "Caf\xE9");
    EXPECT_EQ(PropsOf(node), "t=?\r\nu=\xE9\r\nv=1");
    std::string bytes;
    node->SetUserPropText("t=?\r\nu=\xE9\xE9");
    ASSERT_TRUE(format->Write(scene, document.get(), bytes, error)) << error.message;
    EXPECT_EQ(Json::parse(bytes)["nodes"][0]["extras"],
              Json({{"t", "\xE6\x97\xA5"}, {"u", "\xC3\xA9\xC3\xA9"}}));
    node->SetUserPropText("t=?!");
    EXPECT_FALSE(format->Write(scene, document.get(), bytes, error));
    EXPECT_EQ(error.message, "node \"Caf\xE9\": line 1 \"t=?!\" may hold characters that the "
                             "system's code page could not show (as '?')");
}
#endif

}  // namespace
