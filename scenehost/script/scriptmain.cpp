// scenehost --script FILE [SCENE...] [--show]: reads the script, starts the application
// with its window hidden, and runs the script once per scene, stopping at the first failure.
#include <cstdio>

#include "coreinterface.h"
#include "fileio.h"
#include "scriptrunner.h"

namespace {

bool ReadStandardInput(std::string& text)
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!input || input == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    return true;
}

bool ReadScript(const std::string& file, std::string& text)
{
    if (file == "-") {
        if (ReadStandardInput(text)) return true;
        std::fprintf(stderr, "scenehost: the standard input cannot be read\n");
        return false;
    }
    SceneFileError error;
    if (ReadWholeFile(file.c_str(), text, error)) return true;
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.message.c_str());
    return false;
}

std::string FolderOf(const std::string& file)
{
    const size_t slash = file.find_last_of("\\/");
    return file == "-" || slash == std::string::npos ? "" : file.substr(0, slash + 1);
}

void Report(const std::string& line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

int RunScriptCommandLine(HINSTANCE instance, const std::vector<std::string>& args)
{
    bool show = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--show")
            show = true;
        else
            files.push_back(arg);
    }
    if (files.empty()) {
        Report("scenehost: --script needs a script file (- reads the standard input)");
        return kExitError;
    }
    const std::string file = files.front();
    const std::string name = file == "-" ? "stdin" : file;
    const std::vector<std::string> scenes(files.begin() + 1, files.end());
    std::string text;
    if (!ReadScript(file, text)) return kExitError;
    std::vector<ScriptCommand> commands;
    ScriptSyntaxError syntax;
    if (!ParseScript(text, commands, syntax)) {
        Report(name + ":" + std::to_string(syntax.line) + ": " + syntax.message);
        return kExitError;
    }

    MainWindow app;
    std::vector<std::string> errors;
    if (!app.Start(instance, show ? SW_SHOWNORMAL : SW_HIDE, errors)) {
        Report("scenehost: the main window cannot be created");
        return kExitError;
    }
    for (const std::string& error : errors) Report("scenehost: " + error);
    CoreInterface::Instance().NotifyCallbacks();

    ScriptRunner runner(app, FolderOf(file));
    ScriptOutcome outcome;
    // No scene: one run on the empty scene the application starts with.
    const std::vector<std::string> runs = scenes.empty() ? std::vector<std::string>{""} : scenes;
    for (const std::string& scene : runs) {
        outcome = runner.Run(commands, scene);
        if (outcome.code == kExitPassed) continue;
        std::string line = outcome.message;
        if (outcome.line > 0) line = name + ":" + std::to_string(outcome.line) + ": " + line;
        if (outcome.line > 0 && scenes.size() > 1) line = scene + ": " + line;
        Report(line);
        break;
    }
    runner.Finish();
    return outcome.code;
}
