// scenehost: the host application. Loads the plug-ins beside the program and the scene named
// on the command line.
//
//   scenehost [--undo-memory MB] [scene-file]
//                                 the application; --undo-memory (with any of the forms
//                                 here) limits what the undo history holds, by default a
//                                 quarter of the physical memory and at most 4096 MB
//   scenehost --describe          prints what the host learns from each plug-in, then exits
//   scenehost --check scene-file  reads a scene file (.scene, .gltf, .glb) and reports the first
//                                 error, if any
//   scenehost --script FILE [SCENE...] [--show] [--keep-going] [--report FILE]
//             [--scenes-from FILE]
//                                 runs a script of commands through the application's windows
//   scenehost --join-reports [--report FILE] REPORT...
//                                 merges the reports of a batch's slices
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "coreinterface.h"
#include "fileio.h"
#include "guard.h"
#include "hold.h"
#include "hosttexts.h"
#include "mainwindow.h"
#include "resource.h"
#include "sceneformat.h"
#include "scriptrunner.h"
#include "utilities.h"

namespace {

// A program without a console writes to the console of whoever started it.
void UseParentConsole()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

// A line on the standard error, after the program's name.
void ReportLine(const std::string& line)
{
    std::fprintf(stderr, "%s\n", HostMessage(IDS_CONSOLE_LINE, {line}).c_str());
}

int Describe()
{
    UseParentConsole();
    UtilityChooser utilities;
    std::vector<std::string> errors;
    utilities.LoadPlugins(ProgramFolder(), errors);
    for (const PluginModule& plugin : utilities.Plugins())
        std::printf("%s\n", DescribePlugin(plugin).c_str());
    for (const std::string& error : errors) ReportLine(error);
    if (utilities.Plugins().empty() && errors.empty())
        ReportLine(HostMessage(IDS_NO_PLUGINS, {ProgramFolder()}));
    return errors.empty() && !utilities.Plugins().empty() ? 0 : 1;
}

int Check(const char* path)
{
    UseParentConsole();
    // Left for the process's end to take back: freeing a large scene node by node would
    // only keep the answer waiting.
    Scene& scene = *new Scene;
    SceneFileError error;
    std::string journal;
    if (FindInterruptedSave(path, false, journal, error) || !LoadSceneFile(path, scene, error)) {
        ReportLine(DescribeError(path, error));
        return 1;
    }
    const std::string nodes = std::to_string(scene.NodeCount());
    std::printf("%s\n", HostMessage(IDS_CHECKED, {path, nodes}).c_str());
    return 0;
}

int RunApplication(HINSTANCE instance, int show, const char* scenePath)
{
    MainWindow window;
    std::vector<std::string> errors;
    if (!window.Start(instance, show, errors)) return 1;
    for (const std::string& error : errors)
        MessageBoxA(window.Window(), error.c_str(), HostText(IDS_APP_NAME).c_str(),
                    MB_OK | MB_ICONERROR);
    if (scenePath) window.OpenScene(scenePath);
    // The plug-ins learn once that the host is up, with its main window and menu in place.
    CoreInterface::Instance().NotifyCallbacks();
    return window.RunMessageLoop();
}

const std::size_t kMegabyte = 1024 * 1024;

std::size_t DefaultUndoBudget()
{
    const unsigned long long most = 4096ULL * kMegabyte;
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory)) return static_cast<std::size_t>(most);
    return static_cast<std::size_t>(std::min(memory.ullTotalPhys / 4, most));
}

// Takes "--undo-memory MB" out of the arguments and sets the history's budget; false for a
// size that is not a whole number of megabytes from 1 up.
bool TakeUndoBudget(std::vector<char*>& arguments)
{
    std::size_t budget = DefaultUndoBudget();
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (std::strcmp(arguments[i], "--undo-memory") != 0) continue;
        if (i + 1 >= arguments.size()) return false;
        char* end = nullptr;
        const unsigned long long megabytes = std::strtoull(arguments[i + 1], &end, 10);
        const unsigned long long most = static_cast<std::size_t>(-1) / kMegabyte;
        if (!std::isdigit(static_cast<unsigned char>(*arguments[i + 1])) || *end ||
            megabytes == 0 || megabytes > most)
            return false;
        budget = static_cast<std::size_t>(megabytes) * kMegabyte;
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
        --i;
    }
    theHold.SetMemoryBudget(budget);
    return true;
}

int Run(HINSTANCE instance, int show)
{
    std::vector<char*> given(__argv, __argv + __argc);
    if (!TakeUndoBudget(given)) {
        UseParentConsole();
        ReportLine(HostText(IDS_UNDO_MEMORY_BAD));
        return 2;
    }
    const int count = static_cast<int>(given.size());
    char** arguments = given.data();
    if (count >= 2 && std::strcmp(arguments[1], "--describe") == 0) return Describe();
    if (count >= 2 && std::strcmp(arguments[1], "--check") == 0) {
        if (count != 3) {
            UseParentConsole();
            ReportLine(HostText(IDS_CHECK_NEEDS_FILE));
            return 2;
        }
        return Check(arguments[2]);
    }
    if (count >= 2 && std::strcmp(arguments[1], "--script") == 0) {
        UseParentConsole();
        const std::vector<std::string> rest(arguments + 2, arguments + count);
        return RunScriptCommandLine(instance, rest);
    }
    if (count >= 2 && std::strcmp(arguments[1], "--join-reports") == 0) {
        UseParentConsole();
        return RunJoinCommandLine(std::vector<std::string>(arguments + 2, arguments + count));
    }
    return RunApplication(instance, show, count >= 2 ? arguments[1] : nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    RestrictDllSearch();
    return Guarded<int>(1, [&] { return Run(instance, show); });
}
