// Whole-file reading and crash-proof writing, shared by every scene file format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sceneformat.h"
#include "textpieces.h"

// A name Windows keeps for a device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9), with any
// extension, in any folder: opening it reaches the device, which may never answer.
bool IsDeviceName(const char* path);
// False, with "is not a regular file", for a device name and for anything on disk that is
// not a plain file (a folder, a pipe, a device); true for a plain file and where nothing is.
bool CheckRegularFile(const char* path, SceneFileError& error);

// What the program saw of a file when it read or wrote it, so that a later save can tell
// whether another program has changed it since.
struct FileStamp {
    bool known = false;
    std::uint64_t size = 0;
    std::uint64_t time = 0;  // last written, in the system's units
    std::uint64_t hash = 0;  // ContentHash of the whole text
};

std::uint64_t ContentHash(const char* bytes, size_t size);
inline std::uint64_t ContentHash(const std::string& bytes)
{
    return ContentHash(bytes.data(), bytes.size());
}

// Whether anything is at path (a file, a folder, a device).
bool FileExists(const char* path);

// Refuses what CheckRegularFile refuses. stamp, when given, describes the file as read.
bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error,
                   FileStamp* stamp = nullptr);

// Whether the file no longer holds what stamp describes: another size, or another time and
// another text. A file that is gone counts as unchanged: a save makes it anew.
bool ChangedOnDisk(const char* path, const FileStamp& stamp);

// Writes bytes to path so that, wherever the program stops, the file holds its whole old or
// its whole new text, or a journal beside it keeps the old one:
// - a new file is written under a temporary name beside it and takes its name when whole;
// - an existing one is replaced in the same way where the system keeps its identity through
//   a replace (attributes, permissions, owner);
// - any other (several hard links; under Wine, a Unix mode and owner that a replace loses and
//   no Windows call can read) is rewritten in place, its old text kept in a journal beside
//   it until the new one is written; the next open finds that journal (FindInterruptedSave).
//   The old text goes from the file to the journal in pieces, never whole in memory.
// A symbolic link keeps pointing at the file. Temporary files and journals have short names
// of their own, whatever the length of the file's, and go when the save is done; left-overs
// of an interrupted save go too. A read-only file is refused. A failure leaves the old text
// in the file, or says which journal keeps it. stamp, when given, describes the file written.
bool WriteFileSafely(const char* path, const TextPieces& text, SceneFileError& error,
                     FileStamp* stamp = nullptr);
inline bool WriteFileSafely(const char* path, const std::string& bytes, SceneFileError& error,
                            FileStamp* stamp = nullptr)
{
    return WriteFileSafely(path, TextPieces(bytes), error, stamp);
}

// A save of path begun before its new text is made. Where an existing file of some size is
// to be rewritten in place, its old text goes into the journal meanwhile, on a thread of its
// own; the file itself is touched only by Finish, which saves as WriteFileSafely does, with
// the same refusals. A save not finished removes that journal and leaves the file as it was.
class BegunSave {
public:
    explicit BegunSave(const char* path);
    BegunSave(const BegunSave&) = delete;
    BegunSave& operator=(const BegunSave&) = delete;
    ~BegunSave();

    bool Finish(const TextPieces& text, SceneFileError& error, FileStamp* stamp = nullptr);
    // Whether the old text is being kept while the new one is made.
    bool KeepsOldTextMeanwhile() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether a save of path stopped while it rewrote the file in place, so that the file may hold
// part of the new text: journal then names the file that keeps its text from before that
// save, and found says so. With removeLeftOvers, what an interrupted save left that keeps
// nothing to restore (a journal of a save that finished or never began writing, a temporary
// file) is removed.
bool FindInterruptedSave(const char* path, bool removeLeftOvers, std::string& journal,
                         SceneFileError& found);
// Puts the text kept in journal back into path, then removes the journals of path.
bool RestoreFromJournal(const char* path, const std::string& journal, SceneFileError& error);

// Whether threads that allocate much at once run side by side. Not under Wine, whose heap
// takes them one at a time: two threads splitting a save took longer than one.
bool ThreadsAllocateAtOnce();

// For tests: the saves' changes to the disk (each piece written, each flush, each rename or
// removal) stop at a chosen one, as if the program were killed there, or that one fails.
struct DiskFaults {
    enum class Kind { kNone, kStop, kFail };
    enum class Method { kChosen, kReplace, kInPlace };
    Kind kind = Kind::kNone;
    int after = 0;          // changes that go through before the one that stops or fails
    size_t chunk = 0;       // writes go in pieces of this size; 0: as large as the system takes
    Method method = Method::kChosen;  // how existing files are written
};
// Also starts the count of changes anew.
void SetDiskFaultsForTests(const DiskFaults& faults);
// Whether the fault set last has happened.
bool DiskFaultHappened();
