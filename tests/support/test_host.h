// The host side of the window tests: one main window with a menu and a utility panel, the
// real CoreInterface, and the plug-in modules loaded once per test process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "coreinterface.h"
#include "hold.h"
#include "nodetextrestore.h"
#include "plugins.h"
#include "scene.h"
#include "windowprobes.h"

// Changes a node's text as one record of the open step, as a plug-in's command does.
inline void PutText(SceneNode* node, const char* text)
{
    CStr changed(text);
    PutNodeText(node, changed);
}

class CountingPanel : public UtilityPanel {
public:
    void ClosePanel() override { ++closeCount; }
    int closeCount = 0;
};

class TestHost {
public:
    static TestHost& Get();

    HWND MainWindow() const { return mainWindow_; }
    CoreInterface& Core() { return CoreInterface::Instance(); }
    Scene& GetScene() { return Core().GetScene(); }
    CountingPanel& Panel() { return panel_; }

    // Loads file from the tests' own folder once; fails the test when it cannot.
    const PluginModule& Load(const char* file);
    // The module's utility object, from its descriptor.
    UtilityObject* Utility(const char* file);

    // Empties the scene, the undo history and the status line.
    void Reset();
    // Builds nodes from lines "depth name|text" (depth 1 for a child of the root; text's
    // "\n" stays as written, use \r\n in the string for CR LF).
    std::vector<SceneNode*> Build(const std::vector<std::string>& lines);
    void Select(const std::vector<SceneNode*>& nodes);

private:
    TestHost();
    HWND mainWindow_ = nullptr;
    CountingPanel panel_;
    std::vector<PluginModule> modules_;
};

// Handles every message waiting in this thread's queue.
void PumpMessages();
// The first visible top-level window of this thread with the caption.
inline HWND FindTopWindow(const char* caption) { return FindTopLevelWindow(caption); }
// The text a list view shows in a cell (up to 511 characters).
std::string ListCellText(HWND list, int row, int column);
std::string NodeText(const SceneNode* node);
std::string ModuleFolder();
