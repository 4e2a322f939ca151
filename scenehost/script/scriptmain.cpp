// scenehost --script FILE [SCENE...] [options]: reads the script, starts the application with
// its window hidden, and runs the script once per scene, each in a fresh scene; and
// scenehost --join-reports, which merges the reports of a batch's slices.
#include <atomic>
#include <cstdio>

#include "batch.h"
#include "coreinterface.h"
#include "fileio.h"
#include "scriptrunner.h"

namespace {

std::atomic<bool> interruptRequested(false);

// Ctrl+C or Ctrl+Break: the scene being run ends and no other starts. A second one ends the
// program at once.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return !interruptRequested.exchange(true);
}

bool ReadStandardInput(std::string& text)
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!input || input == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    return true;
}

// A script, a scene list or a report; "-" reads the standard input.
bool ReadInput(const std::string& file, std::string& text, std::string& problem)
{
    if (file == "-") {
        if (ReadStandardInput(text)) return true;
        problem = "scenehost: the standard input cannot be read";
        return false;
    }
    SceneFileError error;
    if (ReadWholeFile(file.c_str(), text, error)) return true;
    problem = file + ": " + error.message;
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

std::string Located(const std::string& name, const ScriptSyntaxError& error)
{
    return name + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " + error.message;
}

// The report's lines, each handed to the system as soon as it is written, so that a batch
// killed midway leaves every line it finished.
class ReportFile {
public:
    ReportFile() = default;
    ~ReportFile()
    {
        if (file_ && file_ != stdout) std::fclose(file_);
    }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    bool Open(const std::string& path, std::string& problem)
    {
        file_ = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
        if (!file_) problem = path + ": cannot be written";
        return file_ != nullptr;
    }
    void Write(const std::string& line)
    {
        if (!file_) return;
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }

private:
    std::FILE* file_ = nullptr;  // stdout for "-"
};

double Milliseconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The scenes of the command line, then those of the list.
bool CollectScenes(const BatchOptions& options, std::vector<std::string>& scenes,
                   std::string& problem)
{
    scenes = options.scenes;
    if (options.scenesFrom.empty()) return true;
    std::string text;
    if (!ReadInput(options.scenesFrom, text, problem)) return false;
    std::vector<std::string> listed;
    ScriptSyntaxError error;
    if (!ReadSceneList(text, listed, error)) {
        problem = Located(options.scenesFrom == "-" ? "stdin" : options.scenesFrom, error);
        return false;
    }
    scenes.insert(scenes.end(), listed.begin(), listed.end());
    return true;
}

class Batch {
public:
    Batch(const BatchOptions& options, const std::string& scriptName,
          const std::vector<ScriptCommand>& commands)
        : options_(options), scriptName_(scriptName), commands_(commands)
    {
    }

    ScriptExit Run(HINSTANCE instance, const std::vector<std::string>& scenes, ReportFile& report)
    {
        MainWindow app;
        std::vector<std::string> errors;
        if (!app.Start(instance, options_.show ? SW_SHOWNORMAL : SW_HIDE, errors)) {
            Report("scenehost: the main window cannot be created");
            return kExitError;
        }
        for (const std::string& error : errors) Report("scenehost: " + error);
        CoreInterface::Instance().NotifyCallbacks();
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);

        ScriptRunner runner(app, FolderOf(options_.script));
        // No scene: one run on the empty scene the application starts with.
        const bool none = options_.scenes.empty() && options_.scenesFrom.empty();
        const std::vector<std::string> runs = none ? std::vector<std::string>{""} : scenes;
        report.Write(ReportStartLine(scriptName_, static_cast<int>(runs.size())));
        BatchSummary summary;
        size_t started = 0;
        while (started < runs.size()) {
            if (interruptRequested || !IsWindow(app.Window())) {
                summary.Interrupted();
                break;
            }
            const SceneResult result = RunScene(runner, runs[started++], runs.size() > 1);
            report.Write(ReportSceneLine(result));
            summary.Add(result);
            if (result.code != kExitPassed && !options_.keepGoing) break;
        }
        summary.NotRun(static_cast<int>(runs.size() - started));
        report.Write(summary.Line());
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        runner.Finish();
        return summary.Exit();
    }

private:
    SceneResult RunScene(ScriptRunner& runner, const std::string& scene, bool several)
    {
        const double start = Milliseconds();
        const ScriptOutcome outcome = runner.Run(commands_, scene);
        SceneResult result;
        result.file = scene;
        result.code = outcome.code;
        result.line = outcome.line;
        result.nodesChanged = outcome.nodesChanged;
        result.saved = outcome.saved;
        result.milliseconds = Milliseconds() - start;
        if (outcome.code == kExitPassed) return result;
        // A message without a line of the script names its own place (a file's line, say).
        const bool scriptLine = outcome.line > 0;
        result.message = scriptLine ? Located(scriptName_, {outcome.line, outcome.message})
                                    : outcome.message;
        Report(scriptLine && several ? scene + ": " + result.message : result.message);
        return result;
    }

    const BatchOptions& options_;
    const std::string scriptName_;
    const std::vector<ScriptCommand>& commands_;
};

}  // namespace

int RunScriptCommandLine(HINSTANCE instance, const std::vector<std::string>& args)
{
    BatchOptions options;
    std::string problem;
    if (!ParseBatchOptions(args, options, problem)) {
        Report(problem);
        return kExitError;
    }
    const std::string name = options.script == "-" ? "stdin" : options.script;
    std::string text;
    if (!ReadInput(options.script, text, problem)) {
        Report(problem);
        return kExitError;
    }
    std::vector<ScriptCommand> commands;
    ScriptSyntaxError syntax;
    if (!ParseScript(text, commands, syntax)) {
        Report(Located(name, syntax));
        return kExitError;
    }
    std::vector<std::string> scenes;
    ReportFile report;
    if (!CollectScenes(options, scenes, problem) ||
        (!options.report.empty() && !report.Open(options.report, problem))) {
        Report(problem);
        return kExitError;
    }
    return Batch(options, name, commands).Run(instance, scenes, report);
}

int RunJoinCommandLine(const std::vector<std::string>& args)
{
    std::string output = "-";
    std::vector<std::string> reports;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--report" && i + 1 < args.size())
            output = args[++i];
        else
            reports.push_back(args[i]);
    }
    if (reports.empty()) {
        Report("scenehost: --join-reports needs the reports to join ([--report FILE] REPORT...)");
        return kExitError;
    }
    ReportJoin join;
    for (const std::string& name : reports) {
        std::string text, problem;
        if (ReadInput(name, text, problem))
            join.Add(name, text);
        else
            join.Unreadable(problem);
    }
    for (const std::string& line : join.Problems()) Report(line);
    ReportFile merged;
    std::string problem;
    if (!merged.Open(output, problem)) {
        Report(problem);
        return kExitError;
    }
    merged.Write(join.SceneLines());
    merged.Write(join.Summary().Line());
    // The library's summary shows where the join was started, too.
    if (output != "-") std::printf("%s", join.Summary().Line().c_str());
    return join.Summary().Exit();
}
