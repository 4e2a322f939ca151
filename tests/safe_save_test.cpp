// Saving over real files: permissions, read-only files, symbolic and hard links, and names
// in any script. The files are set up and examined from the Unix side with a shell, in the
// native build directly and under Wine through its Z: drive.
#include <gtest/gtest.h>

#include <string>

#include "fileio.h"
#include "scenetext.h"
#include "unixfolder.h"

namespace {

std::string SceneNamed(const char* name)
{
    Scene scene;
    scene.CreateNode(nullptr, name, "LOD=1");
    return FormatSceneText(scene);
}

bool Save(const std::string& path, const char* nodeName, SceneFileError& error)
{
    Scene scene;
    scene.CreateNode(nullptr, nodeName, "LOD=1");
    return SaveSceneFile(path.c_str(), scene, error);
}

std::string Contents(const std::string& path)
{
    std::string bytes;
    SceneFileError error;
    ReadWholeFile(path.c_str(), bytes, error);
    return bytes;
}

class SafeSave : public testing::Test {
protected:
    void SetUp() override
    {
        if (!folder.Usable()) GTEST_SKIP() << "no Unix side to set up files with";
        SceneFileError error;
        ASSERT_TRUE(Save(folder.Path("a.scene"), "Old", error)) << error.message;
    }
    std::string Shell(const std::string& command)
    {
        std::string output;
        EXPECT_TRUE(folder.Shell(command, &output)) << command << ": " << output;
        return output;
    }

    UnixFolder folder;
};

// What a save over an existing file keeps of it; the old file was saved as "Old".
TEST_F(SafeSave, KeepsPermissionsAndLinksOfTheFileItRewrites)
{
    struct Case {
        const char* what;
        const char* setUp;       // shell commands, run in the folder
        const char* savedAs;     // the name the save goes to
        const char* check;       // a shell command whose output must be expected
        const char* expected;
    };
    const Case cases[] = {
        {"a private file stays private", "chmod 600 a.scene", "a.scene",
         "stat -c %a a.scene", "600"},
        {"an executable bit stays", "chmod 750 a.scene", "a.scene", "stat -c %a a.scene", "750"},
        {"a symbolic link stays a link", "ln -s a.scene link.scene", "link.scene",
         "test -L link.scene && readlink link.scene", "a.scene"},
        {"every hard link sees the new text", "ln a.scene hard.scene", "a.scene",
         "stat -c %h a.scene && grep -c New hard.scene", "2\n1"},
        {"nothing is left beside it", "", "a.scene", "ls -A", "a.scene"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SceneFileError error;
        ASSERT_TRUE(Save(folder.Path("a.scene"), "Old", error)) << error.message;
        Shell(std::string("cd ") + folder.Unix("") + " && rm -f link.scene hard.scene" +
              (*c.setUp ? std::string(" && ") + c.setUp : ""));
        EXPECT_TRUE(Save(folder.Path(c.savedAs), "New", error)) << error.message;
        EXPECT_EQ(Contents(folder.Path("a.scene")), SceneNamed("New"))
            << "the file itself holds the new text";
        EXPECT_EQ(Shell(std::string("cd ") + folder.Unix("") + " && " + c.check), c.expected);
    }
}

TEST_F(SafeSave, ReadOnlyFileIsRefusedAndLeftAsItIs)
{
    Shell("chmod 444 " + folder.Unix("a.scene"));
    SceneFileError error;
    EXPECT_FALSE(Save(folder.Path("a.scene"), "New", error));
    EXPECT_EQ(error.message, "is read-only; it was left as it is");
    EXPECT_EQ(Contents(folder.Path("a.scene")), SceneNamed("Old"));
    EXPECT_EQ(Shell("stat -c %a " + folder.Unix("a.scene")), "444");
}

// Files named as earlier versions named their copies are no business of a save, even a
// symbolic link that leads nowhere.
TEST_F(SafeSave, FilesBesideItAreNeverOverwritten)
{
    Shell("cd " + folder.Unix("") +
          " && echo mine > a.scene.backup && echo mine > b.scene.saving && ln -s nowhere c.scene.backup");
    SceneFileError error;
    EXPECT_TRUE(Save(folder.Path("a.scene"), "New", error)) << error.message;
    EXPECT_TRUE(Save(folder.Path("b.scene"), "New", error)) << error.message;
    EXPECT_TRUE(Save(folder.Path("c.scene"), "Old", error)) << error.message;
    EXPECT_TRUE(Save(folder.Path("c.scene"), "New", error)) << error.message;
    EXPECT_EQ(Contents(folder.Path("b.scene")), SceneNamed("New"));
    EXPECT_EQ(Contents(folder.Path("c.scene")), SceneNamed("New"));
    EXPECT_EQ(Shell("cd " + folder.Unix("") +
                    " && cat a.scene.backup b.scene.saving && readlink c.scene.backup && ls -A"),
              "mine\nmine\nnowhere\na.scene\na.scene.backup\nb.scene\nb.scene.saving\nc.scene\n"
              "c.scene.backup");
}

// Temporary files and journals have short names of their own: the longest names a system
// takes open and save as any other, and one it refuses is not blamed on a copy.
TEST_F(SafeSave, TheLongestNamesOpenAndSaveAgain)
{
    std::string japanese;
    for (int i = 0; i < 83; ++i) japanese += "\xE6\x97\xA5";  // 249 bytes of UTF-8
    const std::string names[] = {std::string(243, 'a') + ".scene", std::string(249, 'b') + ".scene",
                                 japanese + ".scene"};
    for (const std::string& name : names) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes");
        SceneFileError error;
        ASSERT_TRUE(Save(folder.Path(name), "Old", error)) << error.message;
        ASSERT_TRUE(Save(folder.Path(name), "New", error)) << "over itself: " << error.message;
        Scene loaded;
        ASSERT_TRUE(LoadSceneFile(folder.Path(name).c_str(), loaded, error)) << error.message;
        EXPECT_STREQ(loaded.Root()->Child(0)->NodeName(), "New");
        EXPECT_EQ(Shell("cd " + folder.Unix("") + " && ls -A"), "a.scene\n" + name);
        Shell("rm " + folder.Unix(name));
    }
    SceneFileError error;
    EXPECT_FALSE(Save(folder.Path(std::string(250, 'c') + ".scene"), "New", error));
    EXPECT_EQ(error.message, "cannot be written");
}

TEST(DeviceNames, AreKnownInAnyFolderWithAnyExtension)
{
    const char* const devices[] = {"com1.scene", "C:\\levels\\AUX.scene", "levels/nul.script",
                                   "Con",        "lpt9.tar.gz",           "NUL .txt",
                                   "com1:",      "C:prn.scene"};
    const char* const files[] = {"com10.scene", "com0.scene", "console.scene", "nul_x.scene",
                                 "a.con",       "xcom1",      "aux.d/a.scene", ""};
    for (const char* name : devices) EXPECT_TRUE(IsDeviceName(name)) << name;
    for (const char* name : files) EXPECT_FALSE(IsDeviceName(name)) << name;
}

// Reading a device or a pipe may never come back: they are refused before any read.
TEST_F(SafeSave, WhatIsNotARegularFileIsRefusedOnOpenAndSave)
{
    Shell("cd " + folder.Unix("") +
          " && mkdir dir.scene && mkfifo pipe.scene && echo 'scene 1' > nul.scene");
    for (const char* name : {"com1.scene", "nul.scene", "dir.scene", "pipe.scene"}) {
        SCOPED_TRACE(name);
        Scene scene;
        SceneFileError error;
        EXPECT_FALSE(LoadSceneFile(folder.Path(name).c_str(), scene, error));
        EXPECT_EQ(error.message, "is not a regular file");
        error.message.clear();
        EXPECT_FALSE(Save(folder.Path(name), "New", error));
        EXPECT_EQ(error.message, "is not a regular file");
    }
    EXPECT_EQ(Shell("cd " + folder.Unix("") + " && cat nul.scene && ls -A"),
              "scene 1\na.scene\ndir.scene\nnul.scene\npipe.scene");
}

TEST_F(SafeSave, NamesInAnyScriptOpenAndSave)
{
    const char* name = "\xE6\x97\xA5\xE6\x9C\xAC.scene";  // "Japan" in Japanese, UTF-8
    SceneFileError error;
    ASSERT_TRUE(Save(folder.Path(name), "New", error)) << error.message;
    Scene loaded;
    ASSERT_TRUE(LoadSceneFile(folder.Path(name).c_str(), loaded, error)) << error.message;
    EXPECT_STREQ(loaded.Root()->Child(0)->NodeName(), "New");
    EXPECT_EQ(Shell("cd " + folder.Unix("") + " && ls"), std::string("a.scene\n") + name)
        << "the file bears the name as written";
}

}  // namespace
