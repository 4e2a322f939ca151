#include "fileio.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool Fail(SceneFileError& error, const std::string& message)
{
    error.line = 0;
    error.message = message;
    return false;
}

enum class Written { kWhole, kNotOpened, kPartly };

const char kNotRegular[] = "is not a regular file";

struct FileFacts {
    bool exists = false;
    bool regular = false;  // a plain file: no folder, pipe or device
    bool readOnly = false;
};

// The few file operations a save needs, on the system's own calls. Paths are in the 8-bit
// code page the program runs with; on Windows they go through the wide calls, so a name
// with any characters works wherever that code page can spell it.
#if defined(_WIN32)

bool Widen(const char* path, std::wstring& wide)
{
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, &wide[0], length) != length)
        return false;
    wide.resize(static_cast<size_t>(length) - 1);
    return true;
}

bool IsPlainFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Pipes and devices open at once with no access asked, and tell what they are.
FileFacts Inspect(const char* path)
{
    FileFacts facts;
    std::wstring wide;
    if (!Widen(path, wide)) return facts;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        facts.exists = attributes != INVALID_FILE_ATTRIBUTES;
        facts.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    } else {
        facts.exists = true;
        facts.regular = IsPlainFile(file);
        CloseHandle(file);
    }
    // Checked here: a privileged user may open a read-only file for writing all the same.
    facts.readOnly = facts.exists && attributes != INVALID_FILE_ATTRIBUTES &&
                     (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return facts;
}

// Writes bytes over the file's whole contents, into a new file when createNew is set (and
// none of that name exists) or into the existing one in place, which keeps its attributes,
// its links and, through a symbolic link, the link itself.
Written WriteContents(const char* path, const std::string& bytes, bool createNew)
{
    std::wstring wide;
    if (!Widen(path, wide)) return Written::kNotOpened;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              createNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return Written::kNotOpened;
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        const size_t left = bytes.size() - done;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD wrote = 0;
        written = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
        done += wrote;
    }
    written = written && SetEndOfFile(file) && FlushFileBuffers(file);
    return CloseHandle(file) && written ? Written::kWhole : Written::kPartly;
}

bool RemoveFile(const char* path)
{
    std::wstring wide;
    return Widen(path, wide) && DeleteFileW(wide.c_str());
}

bool RenameNew(const char* from, const char* to)
{
    std::wstring wideFrom, wideTo;
    return Widen(from, wideFrom) && Widen(to, wideTo) &&
           MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH);
}

#else

FILE* OpenToRead(const char* path) { return std::fopen(path, "rb"); }

FileFacts Inspect(const char* path)
{
    FileFacts facts;
    struct stat status;
    if (stat(path, &status) != 0) return facts;
    facts.exists = true;
    facts.regular = S_ISREG(status.st_mode);
    facts.readOnly = (status.st_mode & S_IWUSR) == 0;
    return facts;
}

Written WriteContents(const char* path, const std::string& bytes, bool createNew)
{
    const int file = open(path, createNew ? O_WRONLY | O_CREAT | O_EXCL : O_WRONLY, 0666);
    if (file < 0) return Written::kNotOpened;
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        const ssize_t wrote = write(file, bytes.data() + done, bytes.size() - done);
        written = wrote > 0;
        if (written) done += static_cast<size_t>(wrote);
    }
    written = written && ftruncate(file, static_cast<off_t>(bytes.size())) == 0 &&
              fsync(file) == 0;
    return close(file) == 0 && written ? Written::kWhole : Written::kPartly;
}

bool RemoveFile(const char* path) { return std::remove(path) == 0; }

bool RenameNew(const char* from, const char* to) { return std::rename(from, to) == 0; }

#endif

// Writes bytes into a new file beside path, named after it; the name used comes back in
// name. An existing file of that name is never touched.
bool WriteBeside(const char* path, const char* suffix, const std::string& bytes,
                 std::string& name)
{
    for (int attempt = 1; attempt <= 9; ++attempt) {
        name = std::string(path) + suffix + (attempt > 1 ? std::to_string(attempt) : "");
        if (Inspect(name.c_str()).exists) continue;
        if (WriteContents(name.c_str(), bytes, true) == Written::kWhole) return true;
        RemoveFile(name.c_str());
        return false;
    }
    return false;
}

// A new file appears under its name only once it is whole.
bool WriteNewFile(const char* path, const std::string& bytes, SceneFileError& error)
{
    std::string temporary;
    if (!WriteBeside(path, ".saving", bytes, temporary)) return Fail(error, "cannot be written");
    if (RenameNew(temporary.c_str(), path)) return true;
    RemoveFile(temporary.c_str());
    return Fail(error, "cannot be written");
}

// An existing file is rewritten in place, so that it keeps its permissions, every hard link
// sees the new text and a symbolic link keeps pointing at it. A copy of the old text waits
// beside it until the new one is safely written, and goes back in if the write fails.
bool RewriteFile(const char* path, const std::string& bytes, SceneFileError& error)
{
    std::string old;
    if (!ReadWholeFile(path, old, error))
        return Fail(error, "cannot be read, so no copy of it could be kept; it was left as it is");
    std::string backup;
    if (!WriteBeside(path, ".backup", old, backup))
        return Fail(error, "cannot be saved safely: no copy of it could be written beside it; "
                           "it was left as it is");
    const Written written = WriteContents(path, bytes, false);
    if (written != Written::kPartly) RemoveFile(backup.c_str());
    if (written == Written::kWhole) return true;
    if (written == Written::kNotOpened) return Fail(error, "cannot be written; it was left as it is");
    if (WriteContents(path, old, false) == Written::kWhole) {
        RemoveFile(backup.c_str());
        return Fail(error, "could not be written completely; the file on disk is unchanged");
    }
    return Fail(error, "could not be written completely; its old text is kept in " + backup);
}

}  // namespace

bool IsDeviceName(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || (*p == ':' && p == path + 1)) name = p + 1;
    // The system reads "com1.scene", "COM1 .txt" and "com1:" all as COM1.
    size_t length = std::strcspn(name, ".:");
    while (length > 0 && name[length - 1] == ' ') --length;
    std::string base(name, length);
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool CheckRegularFile(const char* path, SceneFileError& error)
{
    if (IsDeviceName(path)) return Fail(error, kNotRegular);
    const FileFacts facts = Inspect(path);
    return !facts.exists || facts.regular || Fail(error, kNotRegular);
}

#if defined(_WIN32)
// A few large reads: the C library's reads go through many small ones, each a call into the
// system that costs more than the bytes it moves.
bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error)
{
    if (!CheckRegularFile(path, error)) return false;
    std::wstring wide;
    HANDLE file = Widen(path, wide) ? CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                  nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                                    : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return Fail(error, "cannot be opened");
    if (!IsPlainFile(file)) {  // it changed since it was looked at
        CloseHandle(file);
        return Fail(error, kNotRegular);
    }
    const size_t kChunk = size_t(1) << 24;
    LARGE_INTEGER size = {};
    // The size is a hint only: the file may change while it is read. One byte more than
    // that sees the end without growing.
    const size_t expected = GetFileSizeEx(file, &size) ? static_cast<size_t>(size.QuadPart) : 0;
    bool read = true;
    try {
        bytes.resize(expected + 1);
        size_t filled = 0;
        DWORD got = 0;
        do {
            if (filled == bytes.size()) bytes.resize(2 * bytes.size());
            const size_t room = bytes.size() - filled;
            read = ReadFile(file, &bytes[filled], static_cast<DWORD>(room < kChunk ? room : kChunk),
                            &got, nullptr) != 0;
            if (read) filled += got;
        } while (read && got > 0);
        bytes.resize(filled);
    } catch (const std::bad_alloc&) {
        read = false;
    }
    CloseHandle(file);
    return read || Fail(error, "cannot be read");
}
#else
bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error)
{
    if (!CheckRegularFile(path, error)) return false;
    FILE* file = OpenToRead(path);
    if (!file) return Fail(error, "cannot be opened");
    bytes.clear();
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    return !readFailed || Fail(error, "cannot be read");
}
#endif

bool WriteFileSafely(const char* path, const std::string& bytes, SceneFileError& error)
{
    if (IsDeviceName(path)) return Fail(error, kNotRegular);
    const FileFacts facts = Inspect(path);
    if (!facts.exists) return WriteNewFile(path, bytes, error);
    if (!facts.regular) return Fail(error, kNotRegular);
    if (facts.readOnly) return Fail(error, "is read-only; it was left as it is");
    return RewriteFile(path, bytes, error);
}
