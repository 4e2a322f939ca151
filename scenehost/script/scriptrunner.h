// Runs a script on the application's own thread through its real windows: each command as
// a user would give it, then every message waiting is handled before the next one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mainwindow.h"
#include "questionanswerer.h"
#include "scriptlanguage.h"

struct ScriptOutcome {
    ScriptExit code = kExitPassed;
    int line = 0;  // the script's line; 0 when the message names its own place
    std::string message;
    int nodesChanged = 0;  // nodes whose name, text or hidden flag differ from the file's
    bool saved = false;    // a save wrote the scene
};

class ScriptRunner {
public:
    // Relative file names in the script are taken from folder (with its trailing separator).
    ScriptRunner(MainWindow& app, const std::string& folder);
    // Runs the commands in a fresh scene, with the scene file opened first unless it is "".
    // The first failure ends the run: no later command runs.
    ScriptOutcome Run(const std::vector<ScriptCommand>& commands, const std::string& scenePath);
    // Closes the application without asking anything.
    void Finish();

private:
    typedef std::vector<std::string> Args;
    typedef bool (ScriptRunner::*Handler)(const Args&);
    static Handler HandlerFor(ScriptCommandId id);

    void StartFresh();
    bool RunCommand(const ScriptCommand& command);
    void Drain();
    bool Fail(ScriptExit code, const std::string& reason);
    bool Expect(bool met, const std::string& what, const std::string& got);
    std::string FilePath(const std::string& file) const;
    bool SaveScene(const Args& args, bool overwriteChanges);
    bool FindNodes(const Args& paths, NodeTab& nodes);
    bool FindNode(const std::string& path, SceneNode*& node);
    bool FindWindow(const std::string& name, HWND& window);
    bool FindTopLevel(const std::string& name, HWND& window);
    bool FindControl(const Args& args, HWND& control);
    bool FindUsable(const Args& args, const char* className, HWND& control);
    bool ChooseMenuItem(HMENU menu, int position, const std::string& label);
    bool ChooseMenuCommand(UINT id, const char* what);
    void ChooseUtility(int entry);
    void Print(const std::string& line);

    // One handler per command of scriptcommands.h, named there.
#define SCRIPT_COMMAND_DECLARATION(handler, name, usage) bool handler(const Args& args);
    SCRIPT_COMMANDS(SCRIPT_COMMAND_DECLARATION)
#undef SCRIPT_COMMAND_DECLARATION
    bool ExpectPlace(const Args& args, const std::string& what);

    MainWindow& app_;
    std::string folder_;
    QuestionAnswerer answerer_;
    size_t checkedQuestions_ = 0;  // questions shown before the last expect message
    int line_ = 0;
    ScriptOutcome outcome_;
    std::vector<std::uint64_t> openedNodes_;  // each node's state as its file had it
    NodePathIndex paths_;
};

// scenehost --script FILE [SCENE...] [options]: the program's exit status.
int RunScriptCommandLine(HINSTANCE instance, const std::vector<std::string>& args);
// scenehost --join-reports [--report FILE] REPORT...: one report of a batch's slices.
int RunJoinCommandLine(const std::vector<std::string>& args);
