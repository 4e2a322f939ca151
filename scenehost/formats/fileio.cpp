#include "fileio.h"

#include <cstdio>
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
