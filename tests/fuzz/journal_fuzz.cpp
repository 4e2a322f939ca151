// Recovery from whatever a journal holds: a save is stopped at a point the input chooses,
// the journal it left is cut or changed by the rest of the input, and then the next open
// either leaves the file as it was or, putting a text back, puts back the old one, never
// anything else; nothing crashes.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fileio.h"

namespace {

const std::string kOld = "scene 1\nnode 1 \"Old\"\nprops \"LOD=1\"\n";
const std::string kNew = "scene 1\nnode 1 \"New, and longer\"\nprops \"LOD=2\\r\\nlodBias=3\"\n";

// A folder of this process's own, gone when it ends.
struct ScratchFolder {
    ScratchFolder() : path("/tmp/journal-fuzz-" + std::to_string(getpid()) + "/")
    {
        mkdir(path.c_str(), 0700);
    }
    ~ScratchFolder()
    {
        if (DIR* entries = opendir(path.c_str())) {
            while (const dirent* entry = readdir(entries)) unlink((path + entry->d_name).c_str());
            closedir(entries);
        }
        rmdir(path.c_str());
    }
    const std::string path;
};

const std::string& Folder()
{
    static const ScratchFolder folder;
    return folder.path;
}

// Removes every file of the folder but the scene; the first journal's name comes back.
std::string Tidy()
{
    std::string journal;
    if (DIR* entries = opendir(Folder().c_str())) {
        while (const dirent* entry = readdir(entries)) {
            const std::string name = entry->d_name;
            if (name.find(".journal") != std::string::npos && journal.empty())
                journal = Folder() + name;
            else if (name != "." && name != ".." && name != "a.scene")
                unlink((Folder() + name).c_str());
        }
        closedir(entries);
    }
    return journal;
}

std::string Contents(const std::string& path)
{
    std::string bytes;
    SceneFileError error;
    ReadWholeFile(path.c_str(), bytes, error);
    return bytes;
}

void Write(const std::string& path, const std::string& bytes)
{
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const std::string path = Folder() + "a.scene";
    Tidy();
    Write(path, kOld);
    SetDiskFaultsForTests(
        {DiskFaults::Kind::kStop, data[0] % 48, 16, DiskFaults::Method::kInPlace});
    SceneFileError error;
    WriteFileSafely(path.c_str(), kNew, error);
    SetDiskFaultsForTests(DiskFaults());

    const std::string journal = Tidy();
    if (!journal.empty()) {
        std::string bytes = Contents(journal);
        const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
        switch (data[1] % 3) {
        case 0: bytes = input; break;
        case 1:
            for (size_t i = 0; i < input.size() && i < bytes.size(); ++i) bytes[i] ^= input[i];
            break;
        default: bytes = bytes.substr(0, input.size() % (bytes.size() + 1)) + input;
        }
        Write(journal, bytes);
    }
    const std::string before = Contents(path);
    std::string found;
    if (FindInterruptedSave(path.c_str(), true, found, error)) {
        if (error.message.find(found) == std::string::npos) std::abort();
        if (RestoreFromJournal(path.c_str(), found, error) ? Contents(path) != kOld
                                                           : Contents(path) != before)
            std::abort();
    } else if (Contents(path) != before) {
        std::abort();
    }
    return 0;
}
