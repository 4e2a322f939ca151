#include "fileio.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#define XXH_INLINE_ALL
#include "xxhash.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#endif

namespace {

const char kNotRegular[] = "is not a regular file";
const char kLeftAsItIs[] = "cannot be written; it was left as it is";
// Temporary files and journals beside a file: never more of them for one name.
const int kSideSlots = 8;

bool Fail(SceneFileError& error, const std::string& message)
{
    error.line = 0;
    error.message = message;
    return false;
}

// --- Faults for tests ---------------------------------------------------------------------

DiskFaults faults;
int changesMade = 0;
bool faultHappened = false;
std::mutex faultCount;  // a journal may be written on a thread of its own

// Every change a save makes to the disk asks here first.
bool MayChangeDisk()
{
    if (faults.kind == DiskFaults::Kind::kNone) return true;
    const std::lock_guard<std::mutex> counting(faultCount);
    const int change = changesMade++;
    if (change < faults.after) return true;
    if (change == faults.after) faultHappened = true;
    return faults.kind == DiskFaults::Kind::kFail && change > faults.after;
}

size_t PieceSize(size_t left, size_t largest)
{
    const size_t piece = faults.chunk ? std::min(faults.chunk, largest) : largest;
    return std::min(left, piece);
}

// --- The system's own calls -----------------------------------------------------------------

struct FileFacts {
    bool exists = false;
    bool regular = false;  // a plain file: no folder, pipe or device
    bool readOnly = false;
    bool replaceable = false;  // a replace keeps what the system knows of the file
    std::uint64_t size = 0;
    std::uint64_t time = 0;
#if !defined(_WIN32)
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
#endif
};

// A file being written, closed when it goes.
class OutFile {
public:
    OutFile() = default;
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;
    ~OutFile() { Close(); }

    // A new file, where none of that name exists, or the existing one to be written over.
    bool Open(const std::string& path, bool createNew);
    bool Write(const char* bytes, size_t size);
    // Writes over what the file holds at offset; the next Write goes on where it would have.
    bool WriteAt(std::uint64_t offset, const char* bytes, size_t size);
    // Ends the file where the writing ended and waits until the disk holds it.
    bool Finish();
    // Takes on what the file it is to replace has and a replace would not carry over.
    bool KeepIdentity(const FileFacts& facts);
    // What the file is now, as written so far: its stamp without opening it again.
    bool Facts(FileFacts& facts);
    bool Close();

private:
#if defined(_WIN32)
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int file_ = -1;
    size_t size_ = 0;
#endif
};

// A file read in pieces, closed when it goes.
class InFile {
public:
    InFile() = default;
    InFile(const InFile&) = delete;
    InFile& operator=(const InFile&) = delete;
    ~InFile() { Close(); }

    // Reading begins at offset.
    bool Open(const std::string& path, std::uint64_t offset);
    // got is 0 at the end.
    bool Read(char* bytes, size_t size, size_t& got);
    // The file's size as it stands now.
    bool Size(std::uint64_t& size) const;
    void Close();

private:
#if defined(_WIN32)
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int file_ = -1;
#endif
};

// Paths are in the 8-bit code page the program runs with; on Windows they go through the
// wide calls, so a name with any characters works wherever that code page can spell it.
#if defined(_WIN32)

bool Widen(const std::string& path, std::wstring& wide)
{
    const int length =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, &wide[0], length) !=
        length)
        return false;
    wide.resize(static_cast<size_t>(length) - 1);
    return true;
}

// False where the code page cannot spell every character.
bool Narrow(const std::wstring& wide, std::string& narrow)
{
    const bool utf8 = GetACP() == CP_UTF8;  // which takes neither flag nor default character
    BOOL lost = FALSE;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide.c_str(), -1, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &lost);
    if (size <= 0 || lost) return false;
    narrow.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, flags, wide.c_str(), -1, &narrow[0], size, nullptr,
                        utf8 ? nullptr : &lost);
    narrow.resize(static_cast<size_t>(size) - 1);
    return !lost;
}

// Opens what is there without reading it: pipes and devices too answer at once.
HANDLE OpenToInspect(const std::wstring& wide)
{
    return CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Under Wine the files are Unix files: a replace gives one the new file's mode and owner,
// and no Windows call reads them (the permissions it shows leave the group's bits out).
bool UnderWine()
{
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// Two questions about the file itself rather than GetFileInformationByHandle, which also
// asks for the volume's serial number: under Wine a round trip to another process.
bool FactsOfHandle(HANDLE file, FileFacts& facts)
{
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (GetFileType(file) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return false;
    const DWORD attributes = basic.FileAttributes;
    facts.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 &&
                    !standard.Directory;
    facts.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    facts.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    facts.time = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
    // A replace keeps a file's attributes and permissions, not its other hard links, nor what
    // a reparse point stands for.
    facts.replaceable = facts.regular && standard.NumberOfLinks == 1 &&
                        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && !UnderWine();
    return true;
}

// What is at wide, opened as OpenToInspect opens it (file), or not opened (INVALID_HANDLE_VALUE).
FileFacts FactsOfOpened(const std::wstring& wide, HANDLE file)
{
    FileFacts facts;
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD attributes = GetFileAttributesW(wide.c_str());  // one we may not open
        if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
        facts.exists = true;
        facts.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
        facts.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        return facts;
    }
    facts.exists = true;
    FactsOfHandle(file, facts);
    return facts;
}

FileFacts Inspect(const std::string& path)
{
    std::wstring wide;
    if (!Widen(path, wide)) return FileFacts();
    HANDLE file = OpenToInspect(wide);
    const FileFacts facts = FactsOfOpened(wide, file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return facts;
}

// The names in folder (with its trailing separator) that begin with prefix, in one reading of
// the folder. False where the folder cannot be listed.
bool ListNamesStarting(const std::string& folder, const std::string& prefix,
                       std::vector<std::string>& names)
{
    std::wstring pattern;
    if (!Widen(folder + prefix + "*", pattern)) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::string name;
        if (Narrow(found.cFileName, name)) names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// The full name of the file a path leads to, through symbolic links, so that a save rewrites
// or replaces that file and leaves the links as they are; the full path itself where nothing
// is there yet. facts, when given, describe what the path leads to, from the same opening.
std::string ResolvedPath(const std::string& path, FileFacts* facts = nullptr)
{
    std::wstring wide;
    if (!Widen(path, wide)) {
        if (facts) *facts = FileFacts();
        return path;
    }
    HANDLE file = OpenToInspect(wide);
    if (facts) *facts = FactsOfOpened(wide, file);
    std::wstring resolved;
    DWORD length = MAX_PATH;
    // A buffer too small gets the size it needs; the name itself comes back shorter.
    for (int attempt = 0; attempt < 3 && length >= resolved.size(); ++attempt) {
        resolved.resize(length + 1);
        const DWORD size = static_cast<DWORD>(resolved.size());
        length = file != INVALID_HANDLE_VALUE
                     ? GetFinalPathNameByHandleW(file, &resolved[0], size, FILE_NAME_NORMALIZED)
                     : GetFullPathNameW(wide.c_str(), size, &resolved[0], nullptr);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (length == 0 || length >= resolved.size()) return path;
    resolved.resize(length);
    if (resolved.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.compare(0, 4, L"\\\\?\\") == 0)
        resolved = resolved.substr(4);
    std::string narrow;
    return Narrow(resolved, narrow) ? narrow : path;
}

bool OutFile::Open(const std::string& path, bool createNew)
{
    std::wstring wide;
    if (!Widen(path, wide) || (createNew && !MayChangeDisk())) return false;
    file_ = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        createNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ != INVALID_HANDLE_VALUE;
}

bool OutFile::Write(const char* bytes, size_t size)
{
    for (size_t done = 0; done < size;) {
        const DWORD piece = static_cast<DWORD>(PieceSize(size - done, size_t(1) << 30));
        DWORD wrote = 0;
        if (!MayChangeDisk() || !WriteFile(file_, bytes + done, piece, &wrote, nullptr) ||
            wrote != piece)
            return false;
        done += piece;
    }
    return true;
}

bool OutFile::WriteAt(std::uint64_t offset, const char* bytes, size_t size)
{
    LARGE_INTEGER here, at, zero = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_, zero, &here, FILE_CURRENT) ||
        !SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
        return false;
    const bool wrote = Write(bytes, size);
    return SetFilePointerEx(file_, here, nullptr, FILE_BEGIN) && wrote;
}

bool OutFile::Finish() { return MayChangeDisk() && SetEndOfFile(file_) && FlushFileBuffers(file_); }

bool InFile::Open(const std::string& path, std::uint64_t offset)
{
    std::wstring wide;
    if (!Widen(path, wide)) return false;
    file_ = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return file_ != INVALID_HANDLE_VALUE && SetFilePointerEx(file_, at, nullptr, FILE_BEGIN);
}

bool InFile::Read(char* bytes, size_t size, size_t& got)
{
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(size, size_t(1) << 30));
    if (!ReadFile(file_, bytes, wanted, &read, nullptr)) return false;
    got = read;
    return true;
}

bool InFile::Size(std::uint64_t& size) const
{
    FileFacts facts;
    if (!FactsOfHandle(file_, facts)) return false;
    size = facts.size;
    return true;
}

void InFile::Close()
{
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool OutFile::KeepIdentity(const FileFacts&) { return true; }  // the replace itself keeps it

bool OutFile::Facts(FileFacts& facts)
{
    facts.exists = true;
    return FactsOfHandle(file_, facts);
}

bool OutFile::Close()
{
    if (file_ == INVALID_HANDLE_VALUE) return true;
    const bool closed = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    return closed;
}

bool RemoveFile(const std::string& path)
{
    std::wstring wide;
    return Widen(path, wide) && MayChangeDisk() && DeleteFileW(wide.c_str());
}

// Gives a new file its name, unless a file of that name has appeared meanwhile.
bool MoveToNewName(const std::string& from, const std::string& to)
{
    std::wstring wideFrom, wideTo;
    return Widen(from, wideFrom) && Widen(to, wideTo) && MayChangeDisk() &&
           MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH);
}

bool ReplaceWith(const std::string& replacement, const std::string& target)
{
    std::wstring wideReplacement, wideTarget;
    if (!Widen(replacement, wideReplacement) || !Widen(target, wideTarget) || !MayChangeDisk())
        return false;
    if (ReplaceFileW(wideTarget.c_str(), wideReplacement.c_str(), nullptr, 0, nullptr, nullptr))
        return true;
    // Without a backup name, this error means the old file is gone and the new one still
    // waits under its temporary name.
    return GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
           MoveFileExW(wideReplacement.c_str(), wideTarget.c_str(), MOVEFILE_WRITE_THROUGH);
}

// A few large reads: the C library's reads go through many small ones, each a call into the
// system that costs more than the bytes it moves.
bool ReadAll(const std::string& path, std::string& bytes, FileFacts& facts, size_t limit,
             SceneFileError& error)
{
    std::wstring wide;
    HANDLE file = Widen(path, wide) ? CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                  nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                                    : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return Fail(error, "cannot be opened");
    if (!FactsOfHandle(file, facts) || !facts.regular) {  // it changed since it was looked at
        CloseHandle(file);
        return Fail(error, kNotRegular);
    }
    const size_t kChunk = size_t(1) << 24;
    // The size is a hint only: the file may change while it is read. One byte more than
    // that sees the end without growing.
    const size_t expected = static_cast<size_t>(std::min<std::uint64_t>(facts.size, limit));
    bool read = true;
    try {
        bytes.resize(expected + 1);
        size_t filled = 0;
        DWORD got = 0;
        do {
            if (filled == bytes.size()) bytes.resize(std::min(2 * bytes.size(), limit));
            const size_t room = std::min(bytes.size() - filled, kChunk);
            read = ReadFile(file, &bytes[filled], static_cast<DWORD>(room), &got, nullptr) != 0;
            if (read) filled += got;
        } while (read && got > 0 && filled < limit);
        bytes.resize(filled);
    } catch (const std::bad_alloc&) {
        read = false;
    }
    CloseHandle(file);
    return read || Fail(error, "cannot be read");
}

#else

FileFacts FactsOf(const struct stat& status)
{
    FileFacts facts;
    facts.exists = true;
    facts.regular = S_ISREG(status.st_mode);
    facts.readOnly = (status.st_mode & S_IWUSR) == 0;
    facts.size = static_cast<std::uint64_t>(status.st_size);
    facts.time = static_cast<std::uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
                 static_cast<std::uint64_t>(status.st_mtim.tv_nsec);
    facts.mode = status.st_mode & 07777;
    facts.owner = status.st_uid;
    facts.group = status.st_gid;
    return facts;
}

// Extended attributes (access lists among them) stay with the file, not its name.
bool HasExtendedAttributes(const std::string& path)
{
#if defined(__linux__)
    return listxattr(path.c_str(), nullptr, 0) > 0;
#else
    (void)path;
    return false;
#endif
}

FileFacts Inspect(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return FileFacts();
    FileFacts facts = FactsOf(status);
    // The new file takes the mode and the owner over; other links and attributes stay behind.
    facts.replaceable = facts.regular && status.st_nlink == 1 && !HasExtendedAttributes(path);
    return facts;
}

bool ListNamesStarting(const std::string& folder, const std::string& prefix,
                       std::vector<std::string>& names)
{
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (!listing) return false;
    while (const dirent* entry = readdir(listing))
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            names.push_back(entry->d_name);
    closedir(listing);
    return true;
}

std::string ResolvedPath(const std::string& path, FileFacts* facts = nullptr)
{
    char resolved[PATH_MAX];
    const std::string result = realpath(path.c_str(), resolved) ? resolved : path;
    if (facts) *facts = Inspect(result);
    return result;
}

bool OutFile::Open(const std::string& path, bool createNew)
{
    if (createNew && !MayChangeDisk()) return false;
    file_ = open(path.c_str(), createNew ? O_WRONLY | O_CREAT | O_EXCL : O_WRONLY, 0666);
    return file_ >= 0;
}

bool OutFile::Write(const char* bytes, size_t size)
{
    for (size_t done = 0; done < size;) {
        if (!MayChangeDisk()) return false;
        const ssize_t wrote = write(file_, bytes + done, PieceSize(size - done, size));
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    size_ += size;
    return true;
}

bool OutFile::WriteAt(std::uint64_t offset, const char* bytes, size_t size)
{
    for (size_t done = 0; done < size;) {
        if (!MayChangeDisk()) return false;
        const ssize_t wrote = pwrite(file_, bytes + done, PieceSize(size - done, size),
                                     static_cast<off_t>(offset + done));
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool OutFile::Finish()
{
    return MayChangeDisk() && ftruncate(file_, static_cast<off_t>(size_)) == 0 && fsync(file_) == 0;
}

bool InFile::Open(const std::string& path, std::uint64_t offset)
{
    file_ = open(path.c_str(), O_RDONLY);
    return file_ >= 0 && lseek(file_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool InFile::Read(char* bytes, size_t size, size_t& got)
{
    ssize_t read;
    do {
        read = ::read(file_, bytes, size);
    } while (read < 0 && errno == EINTR);
    if (read < 0) return false;
    got = static_cast<size_t>(read);
    return true;
}

bool InFile::Size(std::uint64_t& size) const
{
    struct stat status;
    if (fstat(file_, &status) != 0) return false;
    size = FactsOf(status).size;
    return true;
}

void InFile::Close()
{
    if (file_ >= 0) close(file_);
    file_ = -1;
}

// The new file takes the mode and the owner of the one it replaces.
bool OutFile::KeepIdentity(const FileFacts& facts)
{
    struct stat status;
    if (fstat(file_, &status) != 0) return false;
    if ((status.st_uid != facts.owner || status.st_gid != facts.group) &&
        fchown(file_, facts.owner, facts.group) != 0)
        return false;
    return fchmod(file_, facts.mode) == 0;
}

bool OutFile::Facts(FileFacts& facts)
{
    struct stat status;
    if (fstat(file_, &status) != 0) return false;
    facts = FactsOf(status);
    return true;
}

bool OutFile::Close()
{
    if (file_ < 0) return true;
    const bool closed = close(file_) == 0;
    file_ = -1;
    return closed;
}

bool RemoveFile(const std::string& path) { return MayChangeDisk() && unlink(path.c_str()) == 0; }

// A rename would replace a file of that name that appeared meanwhile; a second link does not.
bool MoveToNewName(const std::string& from, const std::string& to)
{
    if (!MayChangeDisk()) return false;
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    return errno != EEXIST && rename(from.c_str(), to.c_str()) == 0;  // a system without links
}

bool ReplaceWith(const std::string& replacement, const std::string& target)
{
    if (!MayChangeDisk() || rename(replacement.c_str(), target.c_str()) != 0) return false;
    // The folder's entry is on the disk only once the folder is flushed too.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (handle >= 0) {
        fsync(handle);
        close(handle);
    }
    return true;
}

bool ReadAll(const std::string& path, std::string& bytes, FileFacts& facts, size_t limit,
             SceneFileError& error)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Fail(error, "cannot be opened");
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(file);
        return Fail(error, kNotRegular);
    }
    facts = FactsOf(status);
    bytes.clear();
    char buffer[65536];
    size_t got;
    bool read = true;
    try {
        while (bytes.size() < limit &&
               (got = std::fread(buffer, 1, std::min(sizeof buffer, limit - bytes.size()),
                                 file)) > 0)
            bytes.append(buffer, got);
    } catch (const std::bad_alloc&) {
        read = false;
    }
    read = read && std::ferror(file) == 0;
    std::fclose(file);
    return read || Fail(error, "cannot be read");
}

#endif

// --- Copies in pieces ----------------------------------------------------------------------

// Copies and writes go in blocks this large: under Wine every call into the system costs
// more than the bytes it moves, and a whole second copy of a large file is never held.
const size_t kBlock = size_t(1) << 23;

std::unique_ptr<char[]> Block(size_t size)
{
    return std::unique_ptr<char[]>(new (std::nothrow) char[size]);
}

// Writes the pieces, the small ones gathered into blocks.
bool WriteText(OutFile& file, const TextPieces& text)
{
    const size_t blockSize = static_cast<size_t>(std::min<std::uint64_t>(text.size, kBlock));
    std::unique_ptr<char[]> block;
    size_t filled = 0;
    for (const TextPieces::Piece& piece : text.pieces) {
        if (filled > 0 && filled + piece.size > blockSize) {
            if (!file.Write(block.get(), filled)) return false;
            filled = 0;
        }
        if (piece.size >= blockSize) {
            if (!file.Write(piece.data, piece.size)) return false;
            continue;
        }
        if (!block && !(block = Block(blockSize))) return false;
        std::memcpy(block.get() + filled, piece.data, piece.size);
        filled += piece.size;
    }
    return filled == 0 || file.Write(block.get(), filled);
}

// Reads the file at path from offset on, in pieces, into file when given; size and hash
// (ContentHash) are of what was read. unread, when given, tells a failure to read.
bool CopyFrom(const std::string& path, std::uint64_t offset, OutFile* file, std::uint64_t& size,
              std::uint64_t& hash, bool* unread = nullptr)
{
    bool failedToRead = false;
    if (!unread) unread = &failedToRead;
    *unread = false;
    InFile in;
    if (!in.Open(path, offset)) {
        *unread = true;
        return false;
    }
    // No larger than the file with a byte to see its end: the system may touch every page of
    // the block on each read, and a small file read into a large block pays for all of them.
    std::uint64_t whole = 0;
    const std::uint64_t left = in.Size(whole) && whole >= offset ? whole - offset : kBlock;
    const size_t blockSize = static_cast<size_t>(std::min<std::uint64_t>(left + 1, kBlock));
    std::unique_ptr<char[]> block = Block(blockSize);
    if (!block) return false;
    XXH3_state_t state;
    XXH3_INITSTATE(&state);
    XXH3_64bits_reset(&state);
    size = 0;
    for (;;) {
        size_t got = 0;
        if (!in.Read(block.get(), blockSize, got)) {
            *unread = true;
            return false;
        }
        if (got == 0) break;
        XXH3_64bits_update(&state, block.get(), got);
        if (file && !file->Write(block.get(), got)) return false;
        size += got;
    }
    hash = XXH3_64bits_digest(&state);
    return true;
}

// --- Names beside a file ------------------------------------------------------------------

size_t NameStart(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string NameOf(const std::string& path) { return path.substr(NameStart(path)); }

// What every side name of path begins with.
std::string SidePrefix(const std::string& path)
{
    char side[64];
    std::snprintf(side, sizeof side, "~scenehost-%08x",
                  static_cast<unsigned>(ContentHash(NameOf(path))));
    return side;
}

// A temporary file or a journal of path: short, whatever the length of path's own name,
// and the same for the same name, so that the next open or save finds it.
std::string SideName(const std::string& path, int slot, const char* suffix)
{
    std::string result = path.substr(0, NameStart(path)) + SidePrefix(path);
    if (slot > 1) result += "-" + std::to_string(slot);
    return result + suffix;
}

// The side files of path that are there, from one listing of its folder: under Wine each
// name looked up that is not there reads the whole folder, which in a folder of thousands
// of scenes cost more than the scene itself. Where the folder cannot be listed, every side
// name counts as there and is looked at one by one.
class SideFiles {
public:
    explicit SideFiles(const std::string& path)
    {
        listed_ = ListNamesStarting(path.substr(0, NameStart(path)), SidePrefix(path), names_);
    }
    bool MayHave(const std::string& sidePath) const
    {
        if (!listed_) return true;
        const std::string name = NameOf(sidePath);
        for (const std::string& present : names_)
            if (SameName(present, name)) return true;
        return false;
    }

private:
    // Windows' names ignore the case of ASCII letters.
    static bool SameName(const std::string& a, const std::string& b)
    {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(a[i])) !=
                std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    }

    bool listed_ = false;
    std::vector<std::string> names_;
};

// --- Journals -----------------------------------------------------------------------------

// A journal: this mark, the sizes and hashes of the old and the new text, the length of the
// file's name, the name, a hash of all that, then the old text.
const char kJournalMark[] = "scenehost journal 1\n";
const size_t kMarkSize = sizeof kJournalMark - 1;
const size_t kFixedSize = kMarkSize + 4 * 8 + 4;

struct Journal {
    std::uint64_t oldSize = 0, oldHash = 0, newSize = 0, newHash = 0;
    std::string name;
    size_t textAt = 0;
};

void PutNumber(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetNumber(const std::string& in, size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return value;
}

size_t JournalHeaderSize(const std::string& name) { return kFixedSize + name.size() + 8; }

std::string JournalHeader(const std::string& name, std::uint64_t oldSize, std::uint64_t oldHash,
                          std::uint64_t newSize, std::uint64_t newHash)
{
    std::string header = kJournalMark;
    PutNumber(header, oldSize, 8);
    PutNumber(header, oldHash, 8);
    PutNumber(header, newSize, 8);
    PutNumber(header, newHash, 8);
    PutNumber(header, name.size(), 4);
    header += name;
    PutNumber(header, ContentHash(header), 8);
    return header;
}

// False for anything that is no journal with a whole header. bytes may be only the start of
// the file, as long as it holds the header.
bool ReadJournal(const std::string& bytes, Journal& journal)
{
    if (bytes.size() < kFixedSize || bytes.compare(0, kMarkSize, kJournalMark) != 0) return false;
    const size_t nameLength = static_cast<size_t>(GetNumber(bytes, kFixedSize - 4, 4));
    if (nameLength > bytes.size() - kFixedSize || bytes.size() - kFixedSize - nameLength < 8)
        return false;
    const size_t hashAt = kFixedSize + nameLength;
    if (GetNumber(bytes, hashAt, 8) != ContentHash(bytes.data(), hashAt)) return false;
    journal.oldSize = GetNumber(bytes, kMarkSize, 8);
    journal.oldHash = GetNumber(bytes, kMarkSize + 8, 8);
    journal.newSize = GetNumber(bytes, kMarkSize + 16, 8);
    journal.newHash = GetNumber(bytes, kMarkSize + 24, 8);
    journal.name = bytes.substr(kFixedSize, nameLength);
    journal.textAt = hashAt + 8;
    return true;
}

// Looks at the journal at path: its header, and with whole, whether the whole old text
// follows it (read in pieces).
enum class Found { kNothing, kJunk, kJournal };
Found LookAtJournal(const std::string& path, bool whole, Journal& journal)
{
    std::string head;
    FileFacts facts;
    SceneFileError error;
    if (!Inspect(path).exists) return Found::kNothing;
    if (!ReadAll(path, head, facts, kFixedSize + 4096 + 8, error))
        return Found::kNothing;  // not ours to judge
    if (!ReadJournal(head, journal)) return Found::kJunk;
    // Short of its whole old text, the journal was never finished, and the save never went
    // on to touch the file.
    if (facts.size < journal.textAt + journal.oldSize) return Found::kJunk;
    if (!whole) return Found::kJournal;
    std::uint64_t size = 0, hash = 0;
    if (!CopyFrom(path, journal.textAt, nullptr, size, hash)) return Found::kNothing;
    return size == journal.oldSize && hash == journal.oldHash ? Found::kJournal : Found::kJunk;
}

// Removes what earlier saves of path left beside it. With onlyJunk, journals naming path
// stay; all others go: temporary files, and journals that were never finished.
void RemoveLeftOvers(const std::string& path, const SideFiles& present, bool onlyJunk)
{
    const std::string name = NameOf(path);
    for (int slot = 1; slot <= kSideSlots; ++slot) {
        const std::string temporary = SideName(path, slot, ".tmp");
        if (present.MayHave(temporary) && Inspect(temporary).exists) RemoveFile(temporary);
        const std::string journalPath = SideName(path, slot, ".journal");
        if (!present.MayHave(journalPath)) continue;
        Journal journal;
        const Found found = LookAtJournal(journalPath, false, journal);
        if (found == Found::kJunk || (found == Found::kJournal && !onlyJunk && journal.name == name))
            RemoveFile(journalPath);
    }
}

// A journal being written: the old text first, the header last, over room kept for it, so
// that a journal cut short has no header.
struct JournalBody {
    bool made = false;  // path names a journal of this save
    std::string path;
    OutFile file;
    std::uint64_t oldSize = 0, oldHash = 0;
    bool copied = false;  // the whole old text followed the room for the header
    bool unread = false;  // the file itself could not be read
};

// The old text goes from the file into the journal in pieces, and on to the disk: where the
// body is written while the new text is made, the header's wait has only its own page left.
void WriteJournalBody(const std::string& path, JournalBody& body)
{
    const std::string name = NameOf(path);
    for (int slot = 1; slot <= kSideSlots; ++slot) {
        std::string journalPath = SideName(path, slot, ".journal");
        if (!body.file.Open(journalPath, true)) {
            if (Inspect(journalPath).exists) continue;  // another save's, still needed
            return;
        }
        body.made = true;
        body.path = std::move(journalPath);
        const std::string room(JournalHeaderSize(name), '\0');
        body.copied = body.file.Write(room.data(), room.size()) &&
                      CopyFrom(path, 0, &body.file, body.oldSize, body.oldHash, &body.unread) &&
                      body.file.Finish();
        return;
    }
}

void DropJournal(JournalBody& body)
{
    if (!body.made) return;
    body.file.Close();
    RemoveFile(body.path);
    body.made = false;
}

// Writes the header and waits until the disk holds the journal; a journal that cannot be
// finished goes.
bool FinishJournal(const std::string& path, std::uint64_t newSize, std::uint64_t newHash,
                   JournalBody& body)
{
    if (body.copied) {
        const std::string header =
            JournalHeader(NameOf(path), body.oldSize, body.oldHash, newSize, newHash);
        if (body.file.WriteAt(0, header.data(), header.size()) && body.file.Finish() &&
            body.file.Close())
            return true;
    }
    DropJournal(body);
    return false;
}

// Puts the old text a journal keeps back into the file, in pieces.
bool CopyBack(const std::string& path, const std::string& journalPath, size_t textAt)
{
    OutFile file;
    std::uint64_t size = 0, hash = 0;
    return file.Open(path, false) && CopyFrom(journalPath, textAt, &file, size, hash) &&
           file.Finish() && file.Close();
}

// --- Writing ------------------------------------------------------------------------------

bool CreateTemporary(const std::string& path, OutFile& file, std::string& temporary)
{
    for (int slot = 1; slot <= kSideSlots; ++slot) {
        temporary = SideName(path, slot, ".tmp");
        if (file.Open(temporary, true)) return true;
        if (!Inspect(temporary).exists) return false;  // in use by a save still running
    }
    return false;
}

// written: the file as it was left, for its stamp (a rename keeps size and time).
bool WriteNewFile(const std::string& path, const TextPieces& text, SceneFileError& error,
                  FileFacts& written)
{
    OutFile file;
    std::string temporary;
    if (!CreateTemporary(path, file, temporary)) return Fail(error, "cannot be written");
    if (WriteText(file, text) && file.Finish() && file.Facts(written) &&
        file.Close() && MoveToNewName(temporary, path))
        return true;
    file.Close();
    RemoveFile(temporary);
    return Fail(error, "cannot be written");
}

// A new file beside the old one takes its place whole, carrying the old one's identity.
// False, with nothing changed, when that cannot be done: the in-place write is the way then.
bool ReplaceWhole(const std::string& path, const FileFacts& facts, const TextPieces& text,
                  FileFacts& written)
{
    OutFile file;
    std::string temporary;
    if (!CreateTemporary(path, file, temporary)) return false;
    const bool whole = WriteText(file, text) && file.Finish() &&
                       file.KeepIdentity(facts) && file.Facts(written) && file.Close();
    if (whole && ReplaceWith(temporary, path)) return true;
    file.Close();
    RemoveFile(temporary);
    return false;
}

// Rewrites the file in place, so that it keeps its permissions and every hard link sees the
// new text. Its old text waits in a journal beside it until the new one is safely written,
// and goes back in if the write fails. begun, when given, is that journal with the old text
// already copied.
bool RewriteInPlace(const std::string& path, const TextPieces& text, std::uint64_t hash,
                    SceneFileError& error, FileFacts& written, JournalBody* begun)
{
    JournalBody own;
    JournalBody& body = begun ? *begun : own;
    if (!begun) WriteJournalBody(path, body);
    if (!FinishJournal(path, text.size, hash, body))
        return Fail(error, body.unread ? "cannot be read, so its old text could not be kept; it was "
                                    "left as it is"
                                  : "cannot be saved safely: no journal of its old text could be "
                                    "written beside it; it was left as it is");
    const std::string journal = body.path;
    OutFile file;
    if (!file.Open(path, false)) {
        RemoveFile(journal);
        return Fail(error, kLeftAsItIs);
    }
    if (WriteText(file, text) && file.Finish() && file.Facts(written) && file.Close()) {
        RemoveFile(journal);
        return true;
    }
    file.Close();
    if (CopyBack(path, journal, JournalHeaderSize(NameOf(path)))) {
        RemoveFile(journal);
        return Fail(error, "could not be written completely; the file on disk is unchanged");
    }
    return Fail(error, "could not be written completely; its old text is kept in " + journal +
                           ", and the next open puts it back");
}

FileStamp StampOf(const FileFacts& facts, std::uint64_t hash)
{
    FileStamp stamp;
    stamp.known = facts.exists;
    stamp.size = facts.size;
    stamp.time = facts.time;
    stamp.hash = hash;
    return stamp;
}

bool ReplaceChosen(const FileFacts& facts)
{
    return faults.method == DiskFaults::Method::kChosen ? facts.replaceable
                                                        : faults.method == DiskFaults::Method::kReplace;
}

// The refusals of a save of the file that path leads to.
bool MayWrite(const FileFacts& facts, SceneFileError& error)
{
    if (facts.exists && !facts.regular) return Fail(error, kNotRegular);
    if (facts.readOnly) return Fail(error, "is read-only; it was left as it is");
    return true;
}

// Writes a file that may be written, its left-overs that keep nothing removed. begun, when
// given, is the journal of its old text, which is to be rewritten in place.
bool WriteChecked(const std::string& path, const FileFacts& facts, const SideFiles& present,
                  const TextPieces& text, std::uint64_t hash, SceneFileError& error,
                  FileStamp* stamp, JournalBody* begun)
{
    FileFacts written;
    if (!facts.exists) {
        if (!WriteNewFile(path, text, error, written)) return false;
    } else if (!(!begun && ReplaceChosen(facts) && ReplaceWhole(path, facts, text, written)) &&
               !RewriteInPlace(path, text, hash, error, written, begun)) {
        return false;
    }
    // Journals of earlier interrupted saves describe a text the file no longer has.
    RemoveLeftOvers(path, present, false);
    if (stamp) *stamp = StampOf(written, hash);
    return true;
}

bool WriteResolved(const std::string& path, const FileFacts& facts, const TextPieces& text,
                   SceneFileError& error, FileStamp* stamp)
{
    if (!MayWrite(facts, error)) return false;
    // Listed once: what the save itself makes beside the file it also removes.
    const SideFiles present(path);
    RemoveLeftOvers(path, present, true);
    return WriteChecked(path, facts, present, text, text.Hash(), error, stamp, nullptr);
}

// Below this, the journal's copy of the old text takes about as long as starting a thread.
const std::uint64_t kKeepMeanwhileFrom = std::uint64_t(1) << 22;

}  // namespace

std::uint64_t ContentHash(const char* bytes, size_t size) { return XXH3_64bits(bytes, size); }

std::uint64_t TextPieces::Hash() const
{
    if (pieces.size() == 1) return ContentHash(pieces[0].data, pieces[0].size);
    XXH3_state_t state;
    XXH3_INITSTATE(&state);
    XXH3_64bits_reset(&state);
    for (const Piece& piece : pieces) XXH3_64bits_update(&state, piece.data, piece.size);
    return XXH3_64bits_digest(&state);
}

std::string TextPieces::Joined() const
{
    std::string whole;
    whole.reserve(static_cast<size_t>(size));
    for (const Piece& piece : pieces) whole.append(piece.data, piece.size);
    return whole;
}

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

bool FileExists(const char* path) { return Inspect(path).exists; }

bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error, FileStamp* stamp)
{
    if (!CheckRegularFile(path, error)) return false;
    FileFacts facts;
    if (!ReadAll(path, bytes, facts, static_cast<size_t>(-1), error)) return false;
    if (stamp) {
        stamp->known = true;
        stamp->size = facts.size;
        stamp->time = facts.time;
        stamp->hash = ContentHash(bytes);
    }
    return true;
}

bool ChangedOnDisk(const char* path, const FileStamp& stamp)
{
    if (!stamp.known) return false;
    // Inspect follows links itself.
    const FileFacts facts = Inspect(path);
    if (!facts.exists || (facts.size == stamp.size && facts.time == stamp.time)) return false;
    if (facts.size != stamp.size) return true;
    std::string bytes;
    SceneFileError error;
    return !ReadWholeFile(path, bytes, error) || ContentHash(bytes) != stamp.hash;
}

bool WriteFileSafely(const char* pathText, const TextPieces& text, SceneFileError& error,
                     FileStamp* stamp)
{
    if (IsDeviceName(pathText)) return Fail(error, kNotRegular);
    FileFacts facts;
    const std::string path = ResolvedPath(pathText, &facts);
    return WriteResolved(path, facts, text, error, stamp);
}

struct BegunSave::State {
    bool device = false;
    std::string path;  // resolved
    FileFacts facts;
    // Only while the old text is kept meanwhile:
    std::unique_ptr<SideFiles> present;
    JournalBody journal;
    std::thread copying;

    void Copy()
    {
        try {
            WriteJournalBody(path, journal);
        } catch (...) {
            journal.copied = false;
        }
    }
    void Join()
    {
        if (copying.joinable()) copying.join();
    }
};

BegunSave::BegunSave(const char* pathText) : state_(new State)
{
    State& state = *state_;
    state.device = IsDeviceName(pathText);
    if (state.device) return;
    state.path = ResolvedPath(pathText, &state.facts);
    SceneFileError refused;
    if (!state.facts.exists || !MayWrite(state.facts, refused) || ReplaceChosen(state.facts) ||
        state.facts.size < kKeepMeanwhileFrom)
        return;
    state.present.reset(new SideFiles(state.path));
    RemoveLeftOvers(state.path, *state.present, true);
    try {
        state.copying = std::thread([&state] { state.Copy(); });
    } catch (...) {
        state.Copy();  // no thread to be had: the copy comes first, as in any save
    }
}

BegunSave::~BegunSave()
{
    if (!state_->present) return;
    state_->Join();
    DropJournal(state_->journal);
}

bool BegunSave::KeepsOldTextMeanwhile() const { return state_->present != nullptr; }

bool BegunSave::Finish(const TextPieces& text, SceneFileError& error, FileStamp* stamp)
{
    State& state = *state_;
    if (state.device) return Fail(error, kNotRegular);
    if (!state.present) return WriteResolved(state.path, state.facts, text, error, stamp);
    const std::uint64_t hash = text.Hash();
    state.Join();
    const bool saved = WriteChecked(state.path, state.facts, *state.present, text, hash, error,
                                    stamp, &state.journal);
    state.present.reset();  // the journal is the save's own now: finished or removed
    return saved;
}

bool FindInterruptedSave(const char* pathText, bool removeLeftOvers, std::string& found,
                         SceneFileError& error)
{
    found.clear();
    const std::string path = ResolvedPath(pathText);
    const std::string name = NameOf(path);
    std::uint64_t size = 0, hash = 0;  // of the file's text, read in pieces
    SceneFileError unread;
    bool haveText = false;
    const SideFiles present(path);
    for (int slot = 1; slot <= kSideSlots; ++slot) {
        const std::string journalPath = SideName(path, slot, ".journal");
        if (!present.MayHave(journalPath)) continue;
        Journal journal;
        Found what = LookAtJournal(journalPath, false, journal);
        if (what == Found::kNothing || (what == Found::kJournal && journal.name != name)) continue;
        if (what == Found::kJournal) what = LookAtJournal(journalPath, true, journal);
        bool settled = what == Found::kJunk;
        if (!settled) {
            if (!haveText && !(CheckRegularFile(path.c_str(), unread) &&
                               CopyFrom(path, 0, nullptr, size, hash)))
                return false;
            haveText = true;
            // The save either finished or never began to write: the file is whole.
            settled = (size == journal.newSize && hash == journal.newHash) ||
                      (size == journal.oldSize && hash == journal.oldHash);
        }
        if (settled) {
            if (removeLeftOvers) RemoveFile(journalPath);
        } else if (found.empty()) {
            found = journalPath;
        }
    }
    if (removeLeftOvers) RemoveLeftOvers(path, present, true);
    if (found.empty()) return false;
    Fail(error, "a save of it was interrupted, and it may hold part of the new text; its text "
                "from before that save is kept in " + found);
    return true;
}

bool RestoreFromJournal(const char* pathText, const std::string& journalPath,
                        SceneFileError& error)
{
    const std::string path = ResolvedPath(pathText);
    Journal journal;
    if (LookAtJournal(journalPath, true, journal) != Found::kJournal ||
        journal.name != NameOf(path))
        return Fail(error, journalPath + " holds no whole earlier text of it; nothing was restored");
    if (!CopyBack(path, journalPath, journal.textAt))
        return Fail(error, "could not be restored; its earlier text is still kept in " + journalPath);
    RemoveLeftOvers(path, SideFiles(path), false);
    return true;
}

void SetDiskFaultsForTests(const DiskFaults& newFaults)
{
    faults = newFaults;
    changesMade = 0;
    faultHappened = false;
}

bool DiskFaultHappened() { return faultHappened; }

bool ThreadsAllocateAtOnce()
{
#if defined(_WIN32)
    return !UnderWine();
#else
    return true;
#endif
}
