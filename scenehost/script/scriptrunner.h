// Runs a script on the application's own thread through its real windows: each command as
// a user would give it, then every message waiting is handled before the next one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "mainwindow.h"
#include "questionanswerer.h"
#include "scriptlanguage.h"

struct ScriptOutcome {
    int code = 0;  // 0: all ran; 1: an expect failed; 2: an error
    int line = 0;  // the script's line; 0 when the message names its own place
    std::string message;
};

class ScriptRunner {
public:
    // Relative file names in the script are taken from folder (with its trailing separator).
    ScriptRunner(MainWindow& app, const std::string& folder);
    // Runs the commands in a fresh scene, with the scene file opened first unless it is "".
    ScriptOutcome Run(const std::vector<ScriptCommand>& commands, const std::string& scenePath);
    // Closes the application without asking anything.
    void Finish();

private:
    typedef std::vector<std::string> Args;
    typedef bool (ScriptRunner::*Handler)(const Args&);
    static Handler HandlerFor(const std::string& name);

    void StartFresh();
    void Drain();
    bool Fail(int code, const std::string& reason);
    bool Expect(bool met, const std::string& what, const std::string& got);
    std::string FilePath(const std::string& file) const;
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

    bool New(const Args& args);
    bool Open(const Args& args);
    bool Save(const Args& args);
    bool Select(const Args& args);
    bool Hide(const Args& args);
    bool Unhide(const Args& args);
    bool SetProps(const Args& args);
    bool Utility(const Args& args);
    bool ClosePanel(const Args& args);
    bool Menu(const Args& args);
    bool Click(const Args& args);
    bool Type(const Args& args);
    bool Pick(const Args& args);
    bool Answer(const Args& args);
    bool Move(const Args& args);
    bool Size(const Args& args);
    bool Close(const Args& args);
    bool Undo(const Args& args);
    bool Redo(const Args& args);
    bool ExpectProps(const Args& args);
    bool ExpectSelection(const Args& args);
    bool ExpectStatus(const Args& args);
    bool ExpectMessage(const Args& args);
    bool ExpectNoMessage(const Args& args);
    bool ExpectText(const Args& args);
    bool ExpectEnabled(const Args& args);
    bool ExpectItems(const Args& args);
    bool ExpectCurrent(const Args& args);
    bool ExpectWindow(const Args& args);
    bool ExpectPosition(const Args& args);
    bool ExpectSize(const Args& args);
    bool ExpectPlace(const Args& args, const std::string& what);
    bool ExpectUndo(const Args& args);
    bool ExpectRedo(const Args& args);
    bool ExpectModified(const Args& args);
    bool PrintProps(const Args& args);
    bool PrintSelection(const Args& args);
    bool PrintTree(const Args& args);
    bool PrintStatus(const Args& args);
    bool PrintWindow(const Args& args);

    MainWindow& app_;
    std::string folder_;
    QuestionAnswerer answerer_;
    size_t checkedQuestions_ = 0;  // questions shown before the last expect message
    int line_ = 0;
    ScriptOutcome outcome_;
};

// scenehost --script FILE [SCENE...] [--show]: the program's exit code.
int RunScriptCommandLine(HINSTANCE instance, const std::vector<std::string>& args);
