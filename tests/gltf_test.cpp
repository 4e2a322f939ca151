// glTF scenes: how node extras become texts and back, what is refused with which node and
// line, and that everything but the changed extras is written back as it was read.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fileio.h"
#include "glb.h"
#include "gltf.h"
#include "gltfextras.h"
#include "gltfreader.h"
#include "scenetext.h"
#include "support/gltfreference.h"
#include "unixfolder.h"
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
        {"\xEF\xBB\xBF" "1", "\"\xEF\xBB\xBF" "1\""}, {"\xEF\xBB\xBF" "x", "\xEF\xBB\xBF" "x"},
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

// A line that repeats a key names the first line with it, among a few members and among many.
TEST(GltfExtras, RepeatedKeysNameTheirFirstLine)
{
    const Json read = {{"a", 1}, {"b", 2}};
    const ExtrasText asRead = TextOfExtras(&read, Utf8TextCodec());
    std::string many;
    for (int i = 0; i < 20; ++i) many += "k" + std::to_string(i) + "=1\r\n";
    const struct {
        std::string text;
        const char* problem;
    } cases[] = {
        {"a=1\r\nb=2\r\na=3", "line 3 \"a=3\" repeats the key of line 1"},
        {"a=2\r\na=1", "line 2 \"a=1\" repeats the key of line 1"},
        {"\r\n\r\nb=2\r\nb=3", "line 4 \"b=3\" repeats the key of line 3"},
        {many + "k3=x", "line 21 \"k3=x\" repeats the key of line 4"},
        {"a=1\r\n" + many + "b=2\r\na=5", "line 23 \"a=5\" repeats the key of line 1"},
    };
    for (const auto& c : cases) {
        Json extras;
        std::string problem;
        EXPECT_FALSE(ExtrasOfText(c.text, asRead, Utf8TextCodec(), extras, problem)) << c.text;
        EXPECT_EQ(problem, c.problem);
    }
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

    // Saved to a file, in pieces, the same bytes; so too a .glb read back and edited.
    const std::string glbPath = TempPath(".glb");
    ASSERT_TRUE(SaveSceneFile(glbPath.c_str(), scene, document.get(), error)) << error.message;
    EXPECT_EQ(ReadBytes(glbPath), glb);
    Scene fromGlb;
    std::unique_ptr<SceneDocument> read;
    ASSERT_TRUE(LoadSceneFile(glbPath.c_str(), fromGlb, read, error)) << error.message;
    NodeNamed(fromGlb, "Boom")->SetUserPropText("LOD=3\r\nwide=\"a b c\"");
    ASSERT_TRUE(GlbFormat().Write(fromGlb, read.get(), glb, error)) << error.message;
    ASSERT_TRUE(SaveSceneFile(glbPath.c_str(), fromGlb, read.get(), error)) << error.message;
    EXPECT_EQ(ReadBytes(glbPath), glb);
    std::remove(glbPath.c_str());
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

// Reads file, gives the node named name the text, saves; the saved bytes, or the error.
std::string EditAndSave(const SceneFormat& format, const std::string& file, const char* name,
                        const char* text, std::string* reference = nullptr)
{
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    if (!format.Read(file, scene, document, error)) return "read: " + error.message;
    NodeNamed(scene, name)->SetUserPropText(text);
    std::string saved;
    if (!format.Write(scene, document.get(), saved, error)) return "write: " + error.message;
    if (reference) {
        Json whole;
        std::string problem;
        EXPECT_TRUE(ReferenceSave(file, scene, whole, problem)) << problem;
        *reference = whole.dump();
    }
    return saved;
}

std::string Head(const char* nodes)
{
    return std::string(R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0,1]}],"nodes":[)") +
           nodes + "]}";
}

// A save changes the file only inside the changed node's extras, laid out as the file is, and
// gives the same JSON as printing the whole document anew.
TEST(GltfSplice, ChangesOnlyTheEditedExtras)
{
    const std::string tabbed =
        "{\r\n\t\"asset\": {\"version\": \"2.0\"},\r\n\t\"scenes\": [{\"nodes\": [0, 1]}],\r\n"
        "\t\"nodes\": [\r\n\t\t{\r\n\t\t\t\"name\": \"A\",\r\n\t\t\t\"extras\": {\r\n"
        "\t\t\t\t\"k\": 1,\r\n\t\t\t\t\"big\": 1.5e3\r\n\t\t\t}\r\n\t\t},\r\n\t\t{}\r\n\t]\r\n}\r\n";
    const std::string numbers =
        R"("accessors":[{"count":18446744073709551617,"min":[1e-400,-9223372036854775809]}],)";
    const struct {
        const char* what;
        std::string file;
        const char* node;
        const char* text;
        std::string expected;
    } cases[] = {
        {"minified, extras last", Head(R"({"name":"A","extras":{"k":1,"n":1.5e3}},{"name":"B"})"),
         "A", "k=2\r\nn=1500.0",
         Head(R"({"name":"A","extras":{"k":2,"n":1.5e3}},{"name":"B"})")},
        {"numbers elsewhere",
         "{" + numbers + Head(R"({"name":"A","extras":{"k":1}},{"v":123456789012345678901234567890})").substr(1),
         "A", "k=-0",
         "{" + numbers + Head(R"({"name":"A","extras":{"k":0}},{"v":123456789012345678901234567890})").substr(1)},
        {"extras first, lost", Head(R"({"extras": {"k": 1}, "name": "A"},{})"), "A", "",
         Head(R"({"name": "A"},{})")},
        {"extras only, lost", Head(R"({"extras":{"k":1}},{"name":"A"})"), "node 0", "",
         Head(R"({},{"name":"A"})")},
        {"gained after members", Head(R"({"name": "A", "mesh": 0},{})"), "A", "k=\"x y\"",
         Head(R"({"name": "A", "mesh": 0, "extras": {"k": "x y"}},{})")},
        {"gained on an empty node", Head(R"({"name":"A"},{ })"), "node 1",
         "t=[1,{\"u\":null}]", Head(R"({"name":"A"},{"extras":{"t":[1,{"u":null}]}})")},
        {"tabs and CR LF, nested", tabbed, "A", "k=1\r\nbig=1500.0\r\nv={\"a\":[2],\"b\":{}}",
         "{\r\n\t\"asset\": {\"version\": \"2.0\"},\r\n\t\"scenes\": [{\"nodes\": [0, 1]}],\r\n"
         "\t\"nodes\": [\r\n\t\t{\r\n\t\t\t\"name\": \"A\",\r\n\t\t\t\"extras\": {\r\n"
         "\t\t\t\t\"k\": 1,\r\n\t\t\t\t\"big\": 1.5e3,\r\n\t\t\t\t\"v\": {\r\n"
         "\t\t\t\t\t\"a\": [\r\n\t\t\t\t\t\t2\r\n\t\t\t\t\t],\r\n\t\t\t\t\t\"b\": {}\r\n"
         "\t\t\t\t}\r\n\t\t\t}\r\n\t\t},\r\n\t\t{}\r\n\t]\r\n}\r\n"},
        {"tabs and CR LF, gained", tabbed, "node 1", "k=1",
         tabbed.substr(0, tabbed.size() - 13) +
             "\t\t{\r\n\t\t\t\"extras\": {\r\n\t\t\t\t\"k\": 1\r\n\t\t\t}\r\n\t\t}\r\n\t]\r\n}\r\n"},
        {"escapes and other scripts",
         Head(R"({"name":"\u00e9t\u00E9","extras":{"\u65e5":"caf\u00e9","n":"\ud83d\ude00"}},{})"),
         "\xC3\xA9t\xC3\xA9", "\xE6\x97\xA5=caf\xC3\xA9\r\nm=\xE2\x82\xAC\"",
         Head(R"({"name":"\u00e9t\u00E9","extras":{"\u65e5":"caf\u00e9","m":")"
              "\xE2\x82\xAC\\\"\"}},{}")},
    };
    for (const auto& c : cases) {
        std::string reference;
        const std::string saved = EditAndSave(GltfFormat(), c.file, c.node, c.text, &reference);
        EXPECT_EQ(saved, c.expected) << c.what;
        if (saved.compare(0, 6, "read: ") == 0 || saved.compare(0, 7, "write: ") == 0) continue;
        EXPECT_EQ(Json::parse(saved), Json::parse(reference)) << c.what;
    }
}

// The JSON chunk is padded to four bytes whichever way it grows or shrinks, never more, and
// the binary chunk stays as it was.
TEST(GltfSplice, GlbChunkPaddingFollowsTheJson)
{
    const std::string json = std::string(kMinimal) + R"({"name":"A","extras":{"k":1}}]})";
    const std::string binary = Chunk(std::string("BIN\0", 4), std::string("\x01\0\xFF\0", 4));
    const std::string file =
        Glb(Chunk("JSON", json + std::string((4 - json.size() % 4) % 4, ' ')) + binary);
    for (const char* text : {"k=12", "k=123", "k=1234", "k=12345", "", "k=1"}) {
        const std::string saved = EditAndSave(GlbFormat(), file, "A", text);
        GlbParts parts;
        SceneFileError error;
        ASSERT_TRUE(SplitGlb(saved, parts, error)) << text << ": " << saved;
        EXPECT_EQ(parts.json.size() % 4, 0u) << text;
        EXPECT_LT(parts.json.size() - parts.json.find_last_not_of(' ') - 1, 4u)
            << text << ": only the padding follows the JSON";
        EXPECT_EQ(parts.chunksAfterJson, binary) << text;
        if (std::string(text) == "k=1") {
            EXPECT_EQ(saved, file) << "nothing changed";
        }
    }
}

// A save reads a changed node's extras without a document: every kind of value gives the lines
// the document gives, kept members stay as written, and extras of another type name it.
TEST(GltfSplice, ExtrasReadForASaveGiveTheDocumentsLines)
{
    const struct {
        std::string extras;
        const char* kept;     // as written in the saved file
        const char* problem;  // for a line added, or null
    } cases[] = {
        {R"({"a": [1, {"b" : 2.50}], "s":"x\u00e9\"", "t":true, "n" :null})",
         R"("a":[1, {"b" : 2.50}],"s":"x\u00e9\"","t":true,"n":null,"added":1)", nullptr},
        {R"({"z": -0.0, "e": 1E2, "i": 18446744073709551616, "o": {}, "q": "[1]"})",
         R"("z":-0.0,"e":1E2,"i":18446744073709551616,"o":{},"q":"[1]","added":1)", nullptr},
        {"{ }", R"("extras":{"added":1})", nullptr},
        {R"({"a\nb": 1})", nullptr,
         "its extras has a key holding a line break or NUL, which a line cannot hold"},
        {"[1]", nullptr, "its extras is of type array, not an object, so it cannot take properties"},
        {"7", nullptr, "its extras is of type number, not an object, so it cannot take properties"},
        {"false", nullptr,
         "its extras is of type boolean, not an object, so it cannot take properties"},
        {"null", nullptr, "its extras is of type null, not an object, so it cannot take properties"},
    };
    for (const auto& c : cases) {
        const std::string file = Head(("{\"name\":\"A\",\"extras\":" + c.extras + "},{}").c_str());
        Scene scene;
        std::unique_ptr<SceneDocument> document;
        SceneFileError error;
        ASSERT_TRUE(GltfFormat().Read(file, scene, document, error)) << error.message;
        SceneNode* node = NodeNamed(scene, "A");
        const std::string read = PropsOf(node);
        node->SetUserPropText((read + (read.empty() ? "" : "\r\n") + "added=1").c_str());
        std::string saved;
        if (c.problem) {
            EXPECT_FALSE(GltfFormat().Write(scene, document.get(), saved, error)) << c.extras;
            EXPECT_EQ(error.message, std::string("node \"A\": ") + c.problem);
            continue;
        }
        ASSERT_TRUE(GltfFormat().Write(scene, document.get(), saved, error)) << error.message;
        Json reference;
        std::string problem;
        ASSERT_TRUE(ReferenceSave(file, scene, reference, problem)) << problem;
        EXPECT_EQ(Json::parse(saved), reference) << c.extras;
        EXPECT_NE(saved.find(c.kept), std::string::npos) << saved;
    }
}

// The checks a save reads its changed nodes back with, without names and texts, judge a file
// as the reading does: the same verdict, message and line.
TEST(GltfOutline, ChecksAloneJudgeAsTheReading)
{
    const std::string files[] = {
        Head(R"({"name":"A","extras":{"a":[1,{"b":"\u00e9"}],"k\n":2}},{"children":[]})"),
        Head("{\"name\":\"A\",\n\"extras\":{\"LOD\":1,\n\"LOD\":2}},{}"),
        Head("{},{\"extras\":{\"a\":[\n1e400]}}"),
        Head("{},{\"extras\":{\"n\":1e999}}"),
        Head(("{\"extras\":{\"d\":" + std::string(997, '[') + std::string(997, ']') + "}},{}").c_str()),
        Head("{\"name\":\"\xff\"},{}"),
        Head(R"({"children":[1]},{"children":[0]})"),
        Head("{},{\"extras\":{\"a\":1}"),
        "{\"asset\":{}}",
    };
    for (const std::string& file : files) {
        GltfOutline outline;
        SceneFileError read, checked;
        const bool reads = ReadGltfOutline(file, false, outline, read);
        EXPECT_EQ(CheckGltf(file, false, checked), reads) << file.substr(0, 80);
        EXPECT_EQ(checked.message, read.message);
        EXPECT_EQ(checked.line, read.line) << read.message;
    }
}

// A file of count nodes under the scene, laid out as a writer with indentation does: every
// third without extras, the others with two members.
std::string ManyNodes(int count)
{
    std::string scene, nodes;
    for (int i = 0; i < count; ++i) {
        scene += (i ? ", " : "") + std::to_string(i);
        nodes += i ? ",\n  {\n   \"name\": \"n" : "  {\n   \"name\": \"n";
        nodes += std::to_string(i) + "\"";
        if (i % 3 != 1)
            nodes += ",\n   \"extras\": {\n    \"k\": " + std::to_string(i) + ",\n    \"x\": 1.5e3\n   }";
        nodes += "\n  }";
    }
    return "{\n \"asset\": {\"version\": \"2.0\"},\n \"scenes\": [{\"nodes\": [" + scene +
           "]}],\n \"nodes\": [\n" + nodes + "\n ]\n}\n";
}

// The file read into scene, its nodes edited, and saved on that many threads: the saved text,
// or the refusal's message after "refused: ".
std::string SavedOnThreads(const std::string& file, size_t workers, Scene& scene,
                           const std::function<void(NodeTab&)>& edit)
{
    SetSaveWorkersForTests(workers);
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    if (!GltfFormat().Read(file, scene, document, error)) return "refused: unread: " + error.message;
    NodeTab nodes;
    scene.CollectNodes(nodes);
    edit(nodes);
    std::string saved;
    return GltfFormat().Write(scene, document.get(), saved, error) ? saved
                                                                    : "refused: " + error.message;
}

// The changed nodes are split over threads at any point: each count of threads gives the bytes
// of the save made node by node, or the same refusal, which names the first node that fails.
TEST(GltfSplice, ThreadsGiveTheSerialResult)
{
    const int count = 40;
    const std::string file = ManyNodes(count);
    struct Edit {
        int node;
        const char* text;
    };
    const char* bad = "k=1\r\nbroken";
    const struct {
        const char* what;
        std::vector<Edit> edits;
        std::string part;  // of the serial result
    } cases[] = {
        {"none", {}, file},
        {"the first node", {{0, "k=7\r\nx=1500.0"}}, "\"k\": 7,\n    \"x\": 1.5e3\n"},
        {"the last node", {{count - 1, "k=7"}}, "\"n39\",\n   \"extras\": {\n    \"k\": 7\n   }"},
        {"a few, gaining and losing",
         {{1, "g=\"new\""}, {2, ""}, {20, "k=20\r\nx=1500.0\r\ny=[1]"}},
         "  {\n   \"name\": \"n1\",\n   \"extras\": {\n    \"g\": \"new\"\n   }\n  },\n"
         "  {\n   \"name\": \"n2\"\n  }"},
        {"every node", {}, "\"m\": 2"},
        {"a failure at the end", {{0, "k=1"}, {38, "k=1"}, {count - 1, bad}},
         "refused: node \"n39\": line 2 \"broken\" has no '='"},
        {"the first failure decides", {{5, "k=1"}, {13, "a=1\r\n=2"}, {27, bad}, {33, bad}},
         "refused: node \"n13\": line 2 \"=2\" has an empty key"},
    };
    for (const auto& c : cases) {
        std::vector<Edit> edits = c.edits;
        if (std::string(c.what) == "every node")
            for (int i = 0; i < count; ++i) edits.push_back({i, i % 2 ? "k=1" : "m=2\r\nk=3"});
        std::string serial;
        for (const size_t workers : {1, 2, 3, 7, 64}) {
            Scene scene;
            const std::string saved = SavedOnThreads(file, workers, scene, [&](NodeTab& nodes) {
                for (const Edit& edit : edits) nodes[edit.node]->SetUserPropText(edit.text);
            });
            if (workers == 1)
                serial = saved;
            else
                EXPECT_EQ(saved, serial) << c.what << ", " << workers << " threads";
        }
        EXPECT_NE(serial.find(c.part), std::string::npos) << c.what << ": " << serial;
    }
    SetSaveWorkersForTests(0);
}

// Many changed nodes are read back a piece at a time; the texts of every thread's edits stay
// where the saved text's pieces point.
TEST(GltfSplice, ManyChangedNodesSaveAsTheDocumentDoes)
{
    const int count = 3000;
    const std::string file = ManyNodes(count);
    const std::string filler(400, 'f');
    std::string serial;
    for (const size_t workers : {1, 2}) {
        Scene scene;
        const std::string saved = SavedOnThreads(file, workers, scene, [&](NodeTab& nodes) {
            for (int i = 0; i < count; ++i)
                nodes[i]->SetUserPropText(
                    i % 5 == 4 ? "" : ("long=" + filler + std::to_string(i)).c_str());
        });
        ASSERT_EQ(saved.rfind("refused: ", 0), std::string::npos) << saved;
        if (workers == 1) {
            serial = saved;
            Json reference;
            std::string problem;
            ASSERT_TRUE(ReferenceSave(file, scene, reference, problem)) << problem;
            EXPECT_EQ(Json::parse(saved), reference);
        } else {
            EXPECT_EQ(saved, serial) << workers << " threads";
        }
    }
    SetSaveWorkersForTests(0);
}

std::string Nested(size_t levels)
{
    return std::string(levels, '[') + std::string(levels, ']');
}

// Nesting of any depth opens or is refused with the node and its depth; nothing recurses.
TEST(GltfDepth, DeepFilesAreRefusedWithTheNode)
{
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {Head(("{},{\"extras\":{\"d\":" + Nested(12000) + "}}").c_str()),
         "node 1: nested too deeply (12004 levels)"},
        {Head(("{\"extensions\":{\"x\":" + Nested(100000) + "}},{}").c_str()),
         "node 0: nested too deeply (100004 levels)"},
        {"{\"extras\":" + Nested(1000000) + "," + Head("{},{}").substr(1),
         "nested too deeply (1000001 levels)"},
        {Head(("{\"extras\":{\"d\":" + Nested(997) + "}},{}").c_str()),
         "node 0: nested too deeply (1001 levels)"},
    };
    for (const auto& c : cases) {
        Scene scene;
        std::unique_ptr<SceneDocument> document;
        SceneFileError error;
        EXPECT_FALSE(GltfFormat().Read(c.file, scene, document, error));
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(error.line, 1);
    }
    const std::string deepest = Head(("{\"extras\":{\"d\":" + Nested(996) + "}},{}").c_str());
    EXPECT_EQ(EditAndSave(GltfFormat(), deepest, "node 1", "k=1").substr(0, 30),
              deepest.substr(0, 30))
        << "the deepest file that opens saves";
}

// A typed value is held to the depth a file may have, in a glTF save and a Save As of a scene.
TEST(GltfDepth, DeepTypedValuesAreRefusedOnSave)
{
    const std::string file = Head(R"({"name":"A"},{})");
    const std::string deep = "a=" + Nested(20000);
    EXPECT_EQ(EditAndSave(GltfFormat(), file, "A", deep.c_str()),
              "write: node \"A\": line 1 \"a=" + std::string(38, '[') +
                  "...\" is nested too deeply (20000 levels)");
    const std::string deepest = "a=" + Nested(kMaxExtrasValueDepth);
    const std::string saved = EditAndSave(GltfFormat(), file, "A", deepest.c_str());
    EXPECT_EQ(EditAndSave(GltfFormat(), saved, "A", "b=1").substr(0, 20), saved.substr(0, 20))
        << "what a save writes opens again";

    Scene scene;
    SceneFileError error;
    ASSERT_TRUE(ParseSceneText("scene 1\nnode 1 \"Deep\"\nprops \"" + deep + "\"\n", scene, error));
    std::string bytes;
    EXPECT_FALSE(GltfFormat().Write(scene, nullptr, bytes, error));
    EXPECT_EQ(error.message.substr(0, 17), "node \"Deep\": line");
    EXPECT_NE(error.message.find("is nested too deeply (20000 levels)"), std::string::npos);
}

TEST(GltfFile, RefusesRepeatedKeysAndNumbersBeyondADouble)
{
    std::string many;
    for (int i = 0; i < 40; ++i) many += "\"k" + std::to_string(i) + "\":1,";
    const struct {
        std::string file;
        int line;
        const char* message;
    } cases[] = {
        {Head("{\"name\":\"A\",\n\"extras\":{\"LOD\":1,\n\"LOD\":2}},{}"), 3,
         "node 0: the key \"LOD\" appears twice in one object"},
        {Head("{},{\"extensions\":{\"x\":{\"a\":1,\"a\":1}}}"), 1,
         "node 1: the key \"a\" appears twice in one object"},
        {Head(("{},{\"extras\":{" + many + "\"k7\":2}}").c_str()), 1,
         "node 1: the key \"k7\" appears twice in one object"},
        {"{\"asset\":{\"version\":\"2.0\"},\n\"asset\":{}}", 2,
         "the key \"asset\" appears twice in one object"},
        {Head("{},{\"extras\":{\"a\":[\n1e400]}}"), 2,
         "not valid JSON: number overflow parsing '1e400'"},
    };
    for (const auto& c : cases) {
        Scene scene;
        std::unique_ptr<SceneDocument> document;
        SceneFileError error;
        EXPECT_FALSE(GltfFormat().Read(c.file, scene, document, error)) << c.file;
        EXPECT_EQ(error.line, c.line) << c.message;
        EXPECT_EQ(error.message, c.message);
    }
}

// The outline's names and texts are given back block by block as the scene takes its nodes:
// in any order of the nodes in the file, each node still finds its own when it is taken.
TEST(GltfOutline, EveryNodeKeepsItsTextUntilTaken)
{
    const std::string head = R"({"asset":{"version":"2.0"},"scenes":[{"nodes":)";
    const struct {
        const char* what;
        std::string file;
        std::vector<std::string> taken;  // name|text, in the scene's order
    } cases[] = {
        {"children before their parent",
         head + R"([2]}],"nodes":[{"name":"c0","extras":{"a":1}},{"name":"c1"},
             {"name":"p","children":[1,0],"extras":{"b":"x","n":{"m":[1]}}}]})",
         {"p|b=x\r\nn={\"m\":[1]}", "c1|", "c0|a=1"}},
        {"a parent's children far apart",
         head + R"([0,1]}],"nodes":[{"name":"p0","children":[2,5]},{"name":"p1","children":[4,3]},
             {"name":"a","extras":{"k":"q"}},{"name":"b","extras":{"k":"r"}},
             {"name":"c","extras":{"k":"s"}},{"name":"d","extras":{"k":"t"}}]})",
         {"p0|", "a|k=q", "d|k=t", "p1|", "c|k=s", "b|k=r"}},
        {"roots backwards, nodes outside the scene",
         head + R"([3,0]}],"nodes":[{"name":"r0","extras":{"x":true}},{"name":"out","extras":{"y":1}},
             {"extras":[1,2]},{"name":"r3","children":[2],"extras":{"z":null}},{"name":"out2"}]})",
         {"r3|z=null", "|", "r0|x=true"}},
        {"no nodes in the scene",
         head + R"([]}],"nodes":[{"name":"a","extras":{"k":1}}]})", {}},
    };
    for (const auto& c : cases) {
        for (const size_t block : {size_t(1), size_t(12), size_t(40), kGltfTextBlock}) {
            GltfOutline outline;
            SceneFileError error;
            ASSERT_TRUE(ReadGltfOutline(c.file, false, outline, error, block)) << error.message;
            std::vector<std::string> taken;
            outline.StartTaking();
            for (const GltfOutline::Visit& visit : outline.order) {
                const GltfOutline::Node& node = outline.nodes[visit.index];
                const char* name = outline.NameOf(node);
                const char* text = outline.TextOf(node);
                ASSERT_TRUE(name && text) << c.what << ", blocks of " << block << ": node "
                                          << visit.index << " lost its text";
                taken.push_back((node.hasName ? name : "") + std::string("|") + text);
                outline.Taken(visit.index);
            }
            EXPECT_EQ(taken, c.taken) << c.what << ", blocks of " << block;
            if (block == 1) {
                EXPECT_GE(outline.blocks.size(), outline.nodes.size() - 1) << c.what;
            }
            for (const std::string& left : outline.blocks)
                EXPECT_EQ(left.capacity(), std::string().capacity()) << c.what << ": kept";
        }
    }
}

// A scene of more texts than a block holds, its nodes in an order far from the file's: each
// root's children spread over the whole file, before it.
TEST(GltfOutline, SceneOfManyBlocksInAnyOrder)
{
    const int roots = 30, nodes = 3000;
    std::string file = R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[)";
    for (int r = nodes - 1; r >= nodes - roots; --r)
        file += std::to_string(r) + (r > nodes - roots ? "," : "]}],\"nodes\":[");
    const auto textOf = [](int i) { return std::string(700, static_cast<char>('a' + i % 26)) +
                                           std::to_string(i); };
    for (int i = 0; i < nodes; ++i) {
        file += "{\"name\":\"N" + std::to_string(i) + "\",\"extras\":{\"s\":\"" + textOf(i) + "\"}";
        if (i >= nodes - roots) {
            file += ",\"children\":[";
            for (int child = i - (nodes - roots); child < nodes - roots; child += roots)
                file += (child >= roots ? "," : "") + std::to_string(child);
            file += "]";
        }
        file += i + 1 < nodes ? "}," : "}]}";
    }
    std::vector<std::string> expected;
    for (int r = nodes - 1; r >= nodes - roots; --r) {
        expected.push_back("N" + std::to_string(r) + "|s=" + textOf(r));
        for (int child = r - (nodes - roots); child < nodes - roots; child += roots)
            expected.push_back("N" + std::to_string(child) + "|s=" + textOf(child));
    }
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    ASSERT_GT(file.size(), 2 * kGltfTextBlock);
    ASSERT_TRUE(GltfFormat().Read(file, scene, document, error)) << error.message;
    NodeTab built;
    scene.CollectNodes(built);
    std::vector<std::string> read;
    for (int i = 0; i < built.Count(); ++i)
        read.push_back(std::string(built[i]->NodeName()) + "|" + PropsOf(built[i]));
    EXPECT_EQ(read, expected);
}

// Save As into another folder takes the buffers and images along, never over another file.
TEST(GltfSaveAs, CopiesTheFilesItRefersToBesideTheNewFile)
{
    UnixFolder folder("gltf-save-as");
    if (!folder.Usable()) GTEST_SKIP() << "no Unix side to make the folders";
    const std::string file =
        R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"name":"A"}],)"
        R"("buffers":[{"uri":"crate.bin","byteLength":4},{"uri":"data:,x"},{"uri":"gone.bin"}],)"
        R"("images":[{"uri":"tex%20one.png"},{"uri":"maps/bump.png"},{"uri":"http://host/x.png"}]})";
    ASSERT_TRUE(folder.Shell("cd " + folder.Unix(".") + " && mkdir a a/maps b c && printf BIN1 > a/crate.bin && printf PNG > "
                             "'a/tex one.png' && printf BUMP > a/maps/bump.png && printf "
                             "OTHER > b/crate.bin && printf PNG > 'b/tex one.png'",
                             nullptr));
    WriteBytes(folder.Path("a/crate.gltf"), file);
    Scene scene;
    std::unique_ptr<SceneDocument> document;
    SceneFileError error;
    ASSERT_TRUE(LoadSceneFile(folder.Path("a/crate.gltf").c_str(), scene, document, error));

    std::vector<std::string> copied;
    const std::string moved = folder.Path("b/crate2.gltf");
    ASSERT_TRUE(SaveSceneFile(moved.c_str(), scene, document.get(), error, nullptr, &copied))
        << error.message;
    document->Saved(moved.c_str());
    EXPECT_EQ(copied, (std::vector<std::string>{"crate.bin as crate-2.bin", "maps/bump.png as bump.png"}))
        << "tex one.png is there with the same bytes";
    EXPECT_EQ(ReadBytes(folder.Path("b/crate.bin")), "OTHER") << "another file is never overwritten";
    EXPECT_EQ(ReadBytes(folder.Path("b/crate-2.bin")), "BIN1");
    EXPECT_EQ(ReadBytes(folder.Path("b/bump.png")), "BUMP");
    std::string expected = file;
    expected.replace(expected.find("crate.bin"), 9, "crate-2.bin");
    expected.replace(expected.find("maps/bump.png"), 13, "bump.png");
    EXPECT_EQ(ReadBytes(moved), expected) << "only the URIs of renamed copies change";

    NodeNamed(scene, "A")->SetUserPropText("k=1");
    ASSERT_TRUE(SaveSceneFile(moved.c_str(), scene, document.get(), error, nullptr, &copied));
    EXPECT_TRUE(copied.empty()) << "a save in the same folder copies nothing";
    EXPECT_NE(ReadBytes(moved).find("\"crate-2.bin\""), std::string::npos) << "the new URIs stay";

    const std::string third = folder.Path("c/crate3.gltf");
    ASSERT_TRUE(SaveSceneFile(third.c_str(), scene, document.get(), error, nullptr, &copied));
    EXPECT_EQ(copied, (std::vector<std::string>{"crate-2.bin", "tex one.png", "bump.png"}));
    EXPECT_EQ(ReadBytes(folder.Path("c/crate-2.bin")), "BIN1") << "taken from where it was saved";
}

// A number's text on a line is what the JSON library prints for it.
TEST(GltfExtras, NumbersReadAsTheLibraryPrintsThem)
{
    for (const char* number : {"1", "-0", "1.5e3", "1E2", "0.1", "-2.50", "1e-400",
                               "123456789012345678", "-9223372036854775808",
                               "-9223372036854775809", "18446744073709551615",
                               "18446744073709551616", "123456789012345678901234567890"}) {
        std::string text;
        AppendNumberText(text, number, std::strlen(number));
        EXPECT_EQ(text, Json::parse(number).dump()) << number;
    }
    // Decimals around the edges of the quick reading: 15 and 16 digits, a point anywhere,
    // exponents to 1e22 and past, and digits that round either way.
    uint64_t seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        std::string digits = std::to_string(seed >> 4).substr(0, 1 + (seed >> 8) % 17);
        if (i % 7 == 0) digits = std::string(1 + i % 16, '9');
        const size_t point = (seed >> 20) % (digits.size() + 1);
        std::string number = (seed & 1 ? "-" : "") +
                             (point == 0 ? "0" : digits.substr(0, point)) + "." +
                             (point == digits.size() ? "0" : digits.substr(point));
        if (i % 3 == 0) number += (i % 2 ? "e-" : "E+") + std::to_string((seed >> 30) % 26);
        std::string text;
        AppendNumberText(text, number.c_str(), number.size());
        EXPECT_EQ(text, Json::parse(number).dump()) << number;
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
