// Saves that stop or fail at each change they make to the disk, and saves of a large scene
// killed midway: the next open finds the old or the new text, or a journal that puts the
// old one back, and then nothing else is left beside the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#endif

#include "fileio.h"
#include "scenetext.h"
#include "unixfolder.h"

namespace {

// The folder's files, joined by blanks in the order of their names.
std::string Listing(const std::string& folder)
{
    std::vector<std::string> names;
#if defined(_WIN32)
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        names.push_back(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
#else
    if (DIR* entries = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(entries)) names.push_back(entry->d_name);
        closedir(entries);
    }
#endif
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& name) { return name == "." || name == ".."; }),
                names.end());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

const std::string kOld = "scene 1\nnode 1 \"Old\"\nprops \"LOD=1\"\n";
const std::string kNew = "scene 1\nnode 1 \"New, and longer\"\nprops \"LOD=2\\r\\nlodBias=3\"\n";

class InterruptedSave : public testing::Test {
protected:
    void SetUp() override
    {
        if (!folder.Usable()) GTEST_SKIP() << "no Unix side to set up files with";
    }
    void TearDown() override { SetDiskFaultsForTests(DiskFaults()); }

    std::string Path() const { return folder.Path("a.scene"); }
    std::string Files() const { return Listing(folder.Path(".")); }
    std::string Run(const std::string& command)
    {
        std::string output;
        EXPECT_TRUE(folder.Shell("cd " + folder.Unix("") + " && " + command, &output)) << output;
        return output;
    }
    std::string Contents()
    {
        std::string bytes;
        SceneFileError error;
        ReadWholeFile(Path().c_str(), bytes, error);
        return bytes;
    }
    void Put(const std::string& text)
    {
        SceneFileError error;
        ASSERT_TRUE(WriteFileSafely(Path().c_str(), text, error)) << error.message;
    }
    // What the next open does: puts the old text back from a journal it finds; else the file
    // holds one of the texts. Then nothing but the file is left, and a save goes through.
    void ExpectOpenFindsAWholeText(const std::string& old, const std::string& now,
                                   const std::string& failure)
    {
        std::string journal;
        SceneFileError found, error;
        if (FindInterruptedSave(Path().c_str(), true, journal, found)) {
            EXPECT_NE(found.message.find(journal), std::string::npos) << found.message;
            if (!failure.empty()) {
                EXPECT_NE(failure.find(journal), std::string::npos) << failure;
            }
            ASSERT_TRUE(RestoreFromJournal(Path().c_str(), journal, error)) << error.message;
            EXPECT_EQ(Contents(), old) << "restored from the journal";
        } else {
            const std::string text = Contents();
            EXPECT_TRUE(text == old || text == now) << "half and half: " << text.size() << " bytes";
        }
        EXPECT_EQ(Files(), Contents().empty() ? "" : "a.scene") << "nothing left beside it";
        ASSERT_TRUE(WriteFileSafely(Path().c_str(), kNew, error)) << "a later save: " << error.message;
        EXPECT_EQ(Files(), "a.scene");
    }

    UnixFolder folder{"interrupted-save"};
};

TEST_F(InterruptedSave, EveryStopOrFailureLeavesAWholeTextOrAJournalOfTheOldOne)
{
    using Method = DiskFaults::Method;
    using Kind = DiskFaults::Kind;
    struct Case {
        const char* what;
        const char* old;  // empty: no file yet
        Method method;
        size_t piece;     // the new text in pieces of this size; 0: whole
    };
    const Case cases[] = {
        {"a new file", "", Method::kChosen, 0},
        {"a file replaced", kOld.c_str(), Method::kReplace, 0},
        {"a file rewritten in place", kOld.c_str(), Method::kInPlace, 0},
        {"a file rewritten in place from pieces", kOld.c_str(), Method::kInPlace, 5},
    };
    for (const Case& c : cases) {
        for (const Kind kind : {Kind::kStop, Kind::kFail}) {
            int points = 0;
            for (int after = 0; after < 1000; ++after) {
                SCOPED_TRACE(std::string(c.what) + (kind == Kind::kStop ? ", stopped" : ", failed") +
                             " after " + std::to_string(after) + " changes");
                for (std::string name; !(name = Files()).empty();)
                    ASSERT_EQ(std::remove(folder.Path(name.substr(0, name.find(' '))).c_str()), 0);
                if (*c.old) {
                    ASSERT_NO_FATAL_FAILURE(Put(c.old));
                }
                const size_t piece = c.piece ? c.piece : kNew.size();
                TextPieces text;
                for (size_t at = 0; at < kNew.size(); at += piece)
                    text.Add(kNew.data() + at, std::min(kNew.size() - at, piece));
                SetDiskFaultsForTests({kind, after, 16, c.method});
                SceneFileError error;
                const bool saved = WriteFileSafely(Path().c_str(), text, error);
                const bool hit = DiskFaultHappened();
                SetDiskFaultsForTests(DiskFaults());
                if (!hit) {
                    EXPECT_TRUE(saved) << error.message;
                    EXPECT_EQ(Contents(), kNew);
                    break;
                }
                ++points;
                const bool failed = kind == Kind::kFail && !saved;
                if (failed) {
                    EXPECT_FALSE(error.message.empty());
                }
                ASSERT_NO_FATAL_FAILURE(
                    ExpectOpenFindsAWholeText(c.old, kNew, failed ? error.message : ""));
            }
            EXPECT_GE(points, 6) << c.what << ": every piece written is a point to stop at";
        }
    }
}

// The old text is copied into the journal, and back, through a block sized to the file:
// old texts of sizes around a page come back whole wherever the save stops.
TEST_F(InterruptedSave, OldTextsOfAnySizeComeBackFromTheJournal)
{
    for (const size_t size : {size_t(1), size_t(4095), size_t(4096), size_t(4097), size_t(100000)}) {
        std::string old;
        for (size_t i = 0; i < size; ++i) old += static_cast<char>('a' + i * 11 % 26);
        int points = 0;
        for (int after = 0; after < 1000; ++after) {
            SCOPED_TRACE(std::to_string(size) + " bytes, stopped after " + std::to_string(after));
            for (std::string name; !(name = Files()).empty();)
                ASSERT_EQ(std::remove(folder.Path(name.substr(0, name.find(' '))).c_str()), 0);
            ASSERT_NO_FATAL_FAILURE(Put(old));
            SetDiskFaultsForTests({DiskFaults::Kind::kStop, after, 16, DiskFaults::Method::kInPlace});
            SceneFileError error;
            WriteFileSafely(Path().c_str(), kNew, error);
            const bool hit = DiskFaultHappened();
            SetDiskFaultsForTests(DiskFaults());
            if (!hit) break;
            ++points;
            ASSERT_NO_FATAL_FAILURE(ExpectOpenFindsAWholeText(old, kNew, ""));
        }
        EXPECT_GE(points, 4);
    }
}

// Texts in pieces of any size, around the blocks a write gathers them in, over a file in
// each way a save takes: the file and its stamp get the whole text.
TEST_F(InterruptedSave, ATextInPiecesIsWrittenWhole)
{
    const size_t kMegabyte = size_t(1) << 20;
    struct Case {
        const char* what;
        std::vector<size_t> sizes;  // of the pieces, in turn
    };
    const Case cases[] = {
        {"nothing", {}},
        {"one piece", {100}},
        {"small pieces", {1, 0, 7, 64, 3}},
        {"pieces filling blocks", std::vector<size_t>(20, kMegabyte - 1)},
        {"a piece larger than a block between small ones", {5, 9 * kMegabyte, 5, 1}},
    };
    using Method = DiskFaults::Method;
    for (const Method method : {Method::kChosen, Method::kReplace, Method::kInPlace}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            std::string whole;
            for (size_t size : c.sizes)
                for (size_t i = 0; i < size; ++i) whole += static_cast<char>('a' + i * 7 % 26);
            TextPieces text;
            size_t at = 0;
            for (size_t size : c.sizes) {
                text.Add(whole.data() + at, size);
                at += size;
            }
            EXPECT_EQ(text.size, whole.size());
            EXPECT_EQ(text.Hash(), ContentHash(whole));
            EXPECT_EQ(text.Joined(), whole);
            ASSERT_NO_FATAL_FAILURE(Put(kOld));
            SetDiskFaultsForTests({DiskFaults::Kind::kNone, 0, 0, method});
            SceneFileError error;
            FileStamp stamp;
            ASSERT_TRUE(WriteFileSafely(Path().c_str(), text, error, &stamp)) << error.message;
            SetDiskFaultsForTests(DiskFaults());
            EXPECT_TRUE(Contents() == whole) << Contents().size() << " bytes";
            EXPECT_EQ(stamp.hash, ContentHash(whole));
            EXPECT_FALSE(ChangedOnDisk(Path().c_str(), stamp));
            EXPECT_EQ(Files(), "a.scene");
        }
    }
}

// A save begun before its new text is made, and the same save made at once: the same
// file, folder and journal wherever it stops, and the file and folder as they were where
// the new text could not be made.
TEST_F(InterruptedSave, OldTextKeptWhileTheNewOneIsMadeLeavesWhatASaveAtOnceLeaves)
{
    const size_t kMegabyte = size_t(1) << 20;
    using Kind = DiskFaults::Kind;
    struct Case {
        const char* what;
        size_t oldSize, newSize;
        bool made;            // false: the new text could not be made
        Kind kind;
        int after;            // the changes before the stop or failure
        bool keptMeanwhile;   // large enough to keep its old text while the new one is made
        bool journalLeft;
    };
    const Case cases[] = {
        {"old text larger than the new", 9 * kMegabyte, 5 * kMegabyte, true, Kind::kNone, 0,
         true, false},
        {"old text smaller than the new", 5 * kMegabyte, 9 * kMegabyte, true, Kind::kNone, 0,
         true, false},
        // The journal takes its opening, room, one write a block, a flush, its header and a
        // flush: stopped at the last, it is whole.
        {"stopped with the journal whole, old larger", 9 * kMegabyte, 5 * kMegabyte, true,
         Kind::kStop, 6, true, true},
        {"stopped with the journal whole, old smaller", 5 * kMegabyte, 9 * kMegabyte, true,
         Kind::kStop, 5, true, true},
        {"the journal's copy failing", 6 * kMegabyte, 7 * kMegabyte, true, Kind::kFail, 2, true,
         false},
        {"new text not made", 6 * kMegabyte, 0, false, Kind::kNone, 0, true, false},
        {"new text not made, the journal's copy failing", 6 * kMegabyte, 0, false, Kind::kFail,
         2, true, false},
        {"a small file", 100000, 200000, true, Kind::kNone, 0, false, false},
    };
    struct Outcome {
        bool saved = false;
        std::string message, text, files, journal;
    };
    const auto save = [this](const Case& c, const std::string& old, const std::string& now,
                             bool begun) {
        for (std::string name; !(name = Files()).empty();)
            EXPECT_EQ(std::remove(folder.Path(name.substr(0, name.find(' '))).c_str()), 0);
        Put(old);
        SetDiskFaultsForTests({c.kind, c.after, 0, DiskFaults::Method::kInPlace});
        Outcome out;
        SceneFileError error;
        if (begun) {
            BegunSave saving(Path().c_str());
            EXPECT_EQ(saving.KeepsOldTextMeanwhile(), c.keptMeanwhile);
            out.saved = c.made && saving.Finish(TextPieces(now), error);
        } else {
            out.saved = c.made && WriteFileSafely(Path().c_str(), now, error);
        }
        SetDiskFaultsForTests(DiskFaults());
        out.message = error.message;
        out.text = Contents();
        out.files = Files();
        const size_t journal = out.files.find(".journal");
        if (journal != std::string::npos) {
            const size_t start = out.files.rfind(' ', journal) + 1;
            const std::string name = out.files.substr(start, journal + 8 - start);
            ReadWholeFile(folder.Path(name).c_str(), out.journal, error);
        }
        return out;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string old(c.oldSize, '\0'), now(c.newSize, '\0');
        for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>('a' + i * 7 % 26);
        for (size_t i = 0; i < now.size(); ++i) now[i] = static_cast<char>('A' + i * 5 % 26);
        const Outcome atOnce = save(c, old, now, false);
        const Outcome begun = save(c, old, now, true);
        EXPECT_EQ(begun.saved, atOnce.saved);
        EXPECT_EQ(begun.message, atOnce.message);
        EXPECT_TRUE(begun.text == atOnce.text) << begun.text.size() << " bytes";
        EXPECT_EQ(begun.files, atOnce.files);
        EXPECT_TRUE(begun.journal == atOnce.journal) << begun.journal.size() << " bytes";
        EXPECT_EQ(!begun.journal.empty(), c.journalLeft) << begun.files;
        if (c.journalLeft) {
            // Whole: its header written in the room before the old text.
            const size_t room = begun.journal.size() - old.size();
            ASSERT_GT(begun.journal.size(), old.size());
            EXPECT_EQ(begun.journal.compare(room, old.size(), old), 0);
            EXPECT_NE(begun.journal.find_first_not_of('\0'), room) << "no header";
        }
        const bool whole = c.made && c.kind == Kind::kNone;
        EXPECT_TRUE(begun.text == (whole ? now : old)) << begun.text.size() << " bytes";
        if (!c.journalLeft) {
            EXPECT_EQ(begun.files, "a.scene");
        }
    }
}

// A scene large enough that a kill lands while the file is written; first, when given, is
// the first node's text.
std::string LargeScene(const char* first)
{
    Scene scene;
    for (int i = 0; i < 300000; ++i) {
        const std::string name = "Old" + std::to_string(i);
        const std::string text = "LOD=1\r\nlodBias=2\r\nexport=static\r\nkey1=value" + std::to_string(i);
        scene.CreateNode(nullptr, name.c_str(), i == 0 && first ? first : text.c_str());
    }
    return FormatSceneText(scene);
}

const char kChangedText[] = "LOD=1 and a longer text";

// A process saving the large scene, killed as soon as it has begun to write beside the file.
class SavingChild {
public:
    // Natively a forked copy of this process saves, in place when asked.
    SavingChild(const UnixFolder& folder, const std::string& now, bool inPlace)
        : folder_(folder)
    {
#if defined(_WIN32)
        // The program itself: it opens the scene, changes the first node's text and saves.
        const std::string script = folder.Path("save.script");
        SceneFileError error;
        WriteFileSafely(script.c_str(),
                        std::string("set-props Old0 \"") + kChangedText + "\"\nsave\n", error);
        char program[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, program, sizeof program);
        std::string line = program;
        line = "\"" + line.substr(0, line.find_last_of('\\') + 1) + "scenehost.exe\" --script \"" +
               script + "\" \"" + folder.Path("a.scene") + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return;
        CloseHandle(process.hThread);
        process_ = process.hProcess;
#else
        process_ = fork();
        if (process_ == 0) {
            SetDiskFaultsForTests({DiskFaults::Kind::kNone, 0, 0,
                                   inPlace ? DiskFaults::Method::kInPlace
                                           : DiskFaults::Method::kChosen});
            SceneFileError error;
            _exit(WriteFileSafely(folder.Path("a.scene").c_str(), now, error) ? 0 : 1);
        }
#endif
        (void)now;
        (void)inPlace;
    }
    bool Started() const { return process_ != kNone; }

    void KillWhenSaving(int milliseconds)
    {
        for (int wait = 0; wait < 60000 && Running(); ++wait) {
            if (Listing(folder_.Path(".")).find("~scenehost-") != std::string::npos) break;
            Pause(1);
        }
        Pause(milliseconds);
#if defined(_WIN32)
        TerminateProcess(process_, 9);
        WaitForSingleObject(process_, INFINITE);
        CloseHandle(process_);
#else
        kill(process_, SIGKILL);
        waitpid(process_, nullptr, 0);
#endif
        process_ = kNone;
        std::remove(folder_.Path("save.script").c_str());
    }

private:
#if defined(_WIN32)
    static constexpr HANDLE kNone = nullptr;
    bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    static void Pause(int milliseconds) { Sleep(milliseconds); }
    HANDLE process_ = kNone;
#else
    static constexpr pid_t kNone = -1;
    bool Running() const { return waitpid(process_, nullptr, WNOHANG) == 0; }
    static void Pause(int milliseconds) { usleep(milliseconds * 1000); }
    pid_t process_ = kNone;
#endif
    const UnixFolder& folder_;
};

// Where each kill lands (in the journal, the file, or after) is up to the timing; every one
// must leave what the next open can put right.
TEST_F(InterruptedSave, ASaveOfALargeSceneKilledMidwayIsFoundAndPutRight)
{
    const std::string old = LargeScene(nullptr);
    const std::string now = LargeScene(kChangedText);
    for (const int delay : {0, 10, 20, 30, 40, 50, 60, 80}) {
        SCOPED_TRACE("killed " + std::to_string(delay) + " ms after it began to write");
        ASSERT_NO_FATAL_FAILURE(Put(old));
        SavingChild child(folder, now, delay % 20 != 0);
        ASSERT_TRUE(child.Started());
        child.KillWhenSaving(delay);
        ASSERT_NO_FATAL_FAILURE(ExpectOpenFindsAWholeText(old, now, ""));
    }
}

}  // namespace
