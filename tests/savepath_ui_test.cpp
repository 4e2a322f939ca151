// The save path as the user meets it in the window, and a script in its error line: opening a
// file that an interrupted save left part new.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app_window.h"
#include "dialog_answerer.h"
#include "fileio.h"
#include "hold.h"

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

}  // namespace
