// A folder of a test's own, made and examined from the Unix side with a shell: natively
// directly, under Wine through its Z: drive.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "fileio.h"

// The folder as the program names it (Path) and as the shell does (Unix). Without a Unix
// side (on Windows itself) the tests using it are skipped.
class UnixFolder {
public:
    explicit UnixFolder(const std::string& tag = "safe-save")
    {
        unix_ = "/tmp/" + tag + "-" + std::to_string(ProcessId());
#if defined(_WIN32)
        if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return;
        path_ = "Z:" + unix_;
        for (char& c : path_)
            if (c == '/') c = '\\';
#else
        path_ = unix_;
#endif
        usable_ = Shell("rm -rf '" + unix_ + "' && mkdir '" + unix_ + "'", nullptr);
    }
    ~UnixFolder()
    {
        if (usable_) Shell("rm -rf '" + unix_ + "'", nullptr);
    }
    UnixFolder(const UnixFolder&) = delete;
    UnixFolder& operator=(const UnixFolder&) = delete;

    bool Usable() const { return usable_; }
    std::string Path(const std::string& name) const
    {
#if defined(_WIN32)
        return path_ + "\\" + name;
#else
        return path_ + "/" + name;
#endif
    }
    std::string Unix(const std::string& name) const { return "'" + unix_ + "/" + name + "'"; }

    // Runs command in a shell; true when it succeeded. Its output, without the last line
    // break, goes to output when given.
    bool Shell(const std::string& command, std::string* output) const
    {
        const std::string result = unix_ + ".out";
        const std::string status = unix_ + ".status";
        if (!Run("(" + command + ") >'" + result + "' 2>&1; echo $? >'" + status + ".part'; mv '" +
                 status + ".part' '" + status + "'"))
            return false;
        std::string code, text;
        if (!Await(status, code) || !ReadBack(result, text)) return false;
        std::remove(Native(status).c_str());
        std::remove(Native(result).c_str());
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (output) *output = text;
        return code == "0\n";
    }

private:
    static unsigned long ProcessId()
    {
#if defined(_WIN32)
        return GetCurrentProcessId();
#else
        return static_cast<unsigned long>(getpid());
#endif
    }

    std::string Native(const std::string& unixPath) const
    {
#if defined(_WIN32)
        std::string path = "Z:" + unixPath;
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
#else
        return unixPath;
#endif
    }

    // Under Wine a Unix program starts detached, so its end is awaited through the status
    // file it writes last.
    bool Await(const std::string& status, std::string& code) const
    {
        for (int tries = 0; tries < 1000; ++tries) {
            if (ReadFileText(Native(status), code) && !code.empty()) return true;
#if defined(_WIN32)
            Sleep(10);
#endif
        }
        return false;
    }

    static bool ReadFileText(const std::string& path, std::string& text)
    {
        SceneFileError error;
        return ReadWholeFile(path.c_str(), text, error);
    }

    bool ReadBack(const std::string& unixPath, std::string& text) const
    {
        return ReadFileText(Native(unixPath), text);
    }

    static bool Run(const std::string& command)
    {
#if defined(_WIN32)
        std::string line = "/bin/sh -c \"" + command + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
#else
        return std::system(command.c_str()) == 0;
#endif
    }

    std::string unix_;
    std::string path_;
    bool usable_ = false;
};
