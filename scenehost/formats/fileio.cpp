#include "fileio.h"

#include <cstdio>
#include <new>
#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

bool Fail(SceneFileError& error, const char* message)
{
    error.line = 0;
    error.message = message;
    return false;
}

bool ReplaceFileWith(const std::string& from, const char* to)
{
#if defined(_WIN32)
    return MoveFileExA(from.c_str(), to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to) == 0;
#endif
}

}  // namespace

#if defined(_WIN32)
// A few large reads: the C library's reads go through many small ones, each a call into the
// system that costs more than the bytes it moves.
bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(error, "cannot be opened");
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
    FILE* file = std::fopen(path, "rb");
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
    const std::string temporary = std::string(path) + ".saving";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return Fail(error, "cannot be written");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || !ReplaceFileWith(temporary, path)) {
        std::remove(temporary.c_str());
        return Fail(error, "could not be written completely; the file on disk is unchanged");
    }
    return true;
}
