// The save path as the user meets it in the window, and a script in its error line: opening a
// file that an interrupted save left part new, and saving over a file changed on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>

#include "app_window.h"
#include "dialog_answerer.h"
#include "fileio.h"
#include "hold.h"
#include "resource.h"

namespace {
std::size_t failingSize = 0;  // while set, each allocation of this size fails
}  // namespace

void* operator new(std::size_t size)
{
    if (failingSize != 0 && size == failingSize) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

namespace {

// Of one length, so that any mix of the two reads as a scene.
const char kOld[] = "scene 1\n# ooooooooooooooooooooooooooooooooooooooooooo\nnode 1 \"Old\"\n";
const char kNew[] = "scene 1\n# nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn\nnode 1 \"New\"\n";

std::string Contents(const std::string& path)
{
    std::string bytes;
    SceneFileError error;
    ReadWholeFile(path.c_str(), bytes, error);
    return bytes;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Put(const std::string& path, const std::string& text)
{
    SceneFileError error;
    ASSERT_TRUE(WriteFileSafely(path.c_str(), text, error)) << error.message;
}

// The file as a save stopped while it rewrote the file in place leaves it: part new, its old
// text in a journal, whose name comes back.
std::string LeaveInterruptedSave(const std::string& path)
{
    for (int after = 1; after < 200; ++after) {
        Put(path, kOld);
        SetDiskFaultsForTests({DiskFaults::Kind::kStop, after, 16, DiskFaults::Method::kInPlace});
        SceneFileError error;
        WriteFileSafely(path.c_str(), kNew, error);
        SetDiskFaultsForTests(DiskFaults());
        std::string journal;
        SceneFileError found;
        if (FindInterruptedSave(path.c_str(), false, journal, found)) return journal;
    }
    return "";
}

// Another program's change to the file since it was opened (or saved): size, time and text.
void ChangeOnDisk(const std::string& path, const std::string& text)
{
    Put(path, text);
    // A minute on, as a later write by another program would be, whatever the clock's grain.
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    FILETIME time;
    GetFileTime(file, nullptr, nullptr, &time);
    ULARGE_INTEGER later = {{time.dwLowDateTime, time.dwHighDateTime}};
    later.QuadPart += 600000000ull;
    time = {later.LowPart, later.HighPart};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

void Save()
{
    SendMessageA(App().Window(), WM_COMMAND, MAKEWPARAM(IDM_FILE_SAVE, 0), 0);
    PumpMessages();
}

void EditFirstNode()
{
    CoreInterface::Instance().GetScene().Root()->Child(0)->SetUserPropText(CStr("LOD=9"));
}


class SavePath : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(App().Window(), nullptr);
        PumpMessages();
        while (theHold.Holding()) theHold.Cancel();
        folder = testing::TempDir() + "savepath-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "a.scene";
        ASSERT_TRUE(App().NewScene(false));
    }
    void TearDown() override
    {
        EXPECT_EQ(answerer.Pending(), 0u) << "an expected question never came";
        EXPECT_EQ(answerer.Unanswered(), 0) << "a message box came unasked";
        App().NewScene(false);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            DeleteFileA((folder + found.cFileName).c_str());
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        RemoveDirectoryA(folder.c_str());
    }
    std::string Interrupted(const std::string& journal) const
    {
        return path + ": a save of it was interrupted, and it may hold part of the new text; its "
                      "text from before that save is kept in " + journal;
    }

    DialogAnswerer answerer;
    std::string folder;
    std::string path;
};

TEST_F(SavePath, AnOpenAfterAnInterruptedSaveAsksWhetherToPutTheOldTextBack)
{
    struct Case {
        int answer;
        bool opened;
        bool restored;
    };
    const Case cases[] = {{IDYES, true, true}, {IDNO, true, false}, {IDCANCEL, false, false}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("answer " + std::to_string(c.answer));
        ASSERT_TRUE(App().NewScene(false));
        const std::string journal = LeaveInterruptedSave(path);
        ASSERT_FALSE(journal.empty());
        const std::string partNew = Contents(path);
        answerer.Press(c.answer);
        EXPECT_EQ(App().OpenScene(path), c.opened);
        ASSERT_EQ(answerer.Seen().size(), i + 1);
        const SeenDialog& question = answerer.Seen().back();
        EXPECT_EQ(question.text,
                  Interrupted(journal) + ".\n\nPut that text back? No opens the file as it is.");
        EXPECT_EQ(question.icon, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_EQ(Contents(path), c.restored ? kOld : partNew);
        EXPECT_EQ(Exists(journal), !c.restored) << "kept unless its text went back";
        EXPECT_EQ(App().ScenePath().empty(), !c.opened);
        DeleteFileA(journal.c_str());
    }
}

TEST_F(SavePath, AScriptIsToldWhichJournalKeepsTheOldText)
{
    const std::string journal = LeaveInterruptedSave(path);
    ASSERT_FALSE(journal.empty());
    std::string error;
    EXPECT_FALSE(App().OpenScene(path, &error));
    EXPECT_EQ(error, Interrupted(journal));
    EXPECT_TRUE(Exists(journal)) << "nothing is restored unasked";
    EXPECT_TRUE(App().ScenePath().empty());
}

TEST_F(SavePath, ASaveOverAFileChangedOnDiskAsksFirst)
{
    struct Case {
        int answer;
        bool written;
        const char* then;  // the caption of the dialog after the question, or ""
    };
    const Case cases[] = {{IDYES, true, ""}, {IDNO, false, "Save As"}, {IDCANCEL, false, ""}};
    const std::string elsewhere = "scene 1\nnode 1 \"Changed elsewhere\"\n";
    for (const Case& c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.answer));
        Put(path, kOld);
        ASSERT_TRUE(App().OpenScene(path));
        EditFirstNode();
        ChangeOnDisk(path, elsewhere);
        const size_t seen = answerer.Seen().size();
        answerer.Press(c.answer);
        if (*c.then) answerer.Press(IDCANCEL);
        Save();
        ASSERT_EQ(answerer.Seen().size(), seen + (*c.then ? 2 : 1));
        EXPECT_EQ(answerer.Seen()[seen].text,
                  path + ": has changed on disk since it was opened or saved.\n\nOverwrite it "
                         "with this scene? No saves the scene under another name.");
        if (*c.then) {
            EXPECT_EQ(answerer.Seen()[seen + 1].caption, c.then);
        }
        EXPECT_EQ(Contents(path) == elsewhere, !c.written);
        EXPECT_EQ(CoreInterface::Instance().GetScene().Modified(), !c.written);
        if (c.written) {
            EditFirstNode();
            Save();
            EXPECT_EQ(answerer.Seen().size(), seen + 1) << "the file as saved is no change";
        }
    }
}

// Only a change of the text counts: a file touched, or written again as it was, is not asked
// about; one whose size stays but whose text does not is.
TEST_F(SavePath, AChangeOnDiskIsToldByItsText)
{
    const std::string sameSize = std::string(kOld).replace(std::string(kOld).find("Old"), 3, "Odd");
    const std::pair<std::string, bool> cases[] = {{kOld, false}, {sameSize, true}};
    for (const auto& c : cases) {
        Put(path, kOld);
        ASSERT_TRUE(App().OpenScene(path));
        EditFirstNode();
        ChangeOnDisk(path, c.first);
        if (c.second) {
            answerer.Press(IDCANCEL);
        }
        Save();
        EXPECT_EQ(Contents(path) == c.first, c.second) << c.first;
    }
}

TEST_F(SavePath, AScriptsSaveOverAChangedFileIsRefusedUnlessItSaysSo)
{
    Put(path, kOld);
    ASSERT_TRUE(App().OpenScene(path));
    EditFirstNode();
    const std::string elsewhere = "scene 1\nnode 1 \"Changed elsewhere\"\n";
    ChangeOnDisk(path, elsewhere);
    std::string error;
    EXPECT_FALSE(App().SaveSceneAs(path, &error));
    EXPECT_EQ(error, path + ": has changed on disk since it was opened or saved; save! overwrites it");
    EXPECT_EQ(Contents(path), elsewhere);
    EXPECT_TRUE(App().SaveSceneAs(path, &error, true)) << error;
    EXPECT_NE(Contents(path).find("LOD=9"), std::string::npos);
}

// A glTF file gives back its own bytes when no text changed: there is nothing to write, and
// another program's version of it stays.
TEST_F(SavePath, AGltfWithNoChangedTextIsNotWritten)
{
    const std::string gltf = folder + "props.gltf";
    std::string sample;
    SceneFileError error;
    ASSERT_TRUE(ReadWholeFile((ModuleFolder() + "props.gltf").c_str(), sample, error));
    Put(gltf, sample);
    ASSERT_TRUE(App().OpenScene(gltf));
    const std::string reexported = sample + "\n";
    ChangeOnDisk(gltf, reexported);
    Save();
    EXPECT_EQ(Contents(gltf), reexported);
    EXPECT_EQ(std::string(CoreInterface::Instance().StatusText()),
              "Nothing to save: no text of props.gltf changed");
    EXPECT_TRUE(answerer.Seen().empty());

    EditFirstNode();
    answerer.Press(IDYES);
    Save();
    ASSERT_EQ(answerer.Seen().size(), 1u) << "a changed text is saved over the new version only when asked";
    EXPECT_NE(Contents(gltf), reexported);
}

// A file whose read runs out of memory once its nodes are being made: the old scene is gone,
// so neither the nodes made so far nor the old file's name may stay for a Save to write over.
TEST_F(SavePath, AReadThatRunsOutOfMemoryHalfWayLeavesAnEmptyUntitledScene)
{
    // A chain of nodes, each the child of the one before.
    const int kNodes = 37;
    std::string nodes;
    for (int i = 0; i < kNodes; ++i) {
        nodes += std::string(i ? "," : "") + "{\"name\":\"n" + std::to_string(i) + "\"" +
                 (i + 1 < kNodes ? ",\"children\":[" + std::to_string(i + 1) + "]" : "") +
                 ",\"extras\":{\"LOD\":1}}";
    }
    const std::string gltf = folder + "big.gltf";
    Put(gltf, "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
              "\"nodes\":[" + nodes + "]}");
    Put(path, kOld);
    ASSERT_TRUE(App().OpenScene(path));

    // Fails the builder's list of the ancestors of the node it makes when that list grows to
    // 64: 32 nodes are made by then.
    std::string error;
    failingSize = 64 * sizeof(void*);
    const bool opened = App().OpenScene(gltf, &error);
    failingSize = 0;
    EXPECT_FALSE(opened);
    EXPECT_EQ(error, gltf + ": cannot be read: std::bad_alloc");
    Scene& scene = CoreInterface::Instance().GetScene();
    EXPECT_EQ(scene.NodeCount(), 0) << "no scene that is not the file";
    char title[256] = "";
    GetWindowTextA(App().Window(), title, sizeof title);
    EXPECT_EQ(std::string(title), "Scene Host - Untitled");
    EXPECT_FALSE(scene.Modified());
    EXPECT_EQ(Contents(path), kOld);
}

}  // namespace
