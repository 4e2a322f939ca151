// The application's main window: menu, node list, utility panel and status line.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "coreinterface.h"
#include "filterbar.h"
#include "nodeview.h"
#include "sceneformat.h"
#include "utilities.h"

class MainWindow : private SceneObserver {
public:
    bool Create(HINSTANCE instance, int show);
    HWND Window() const { return window_; }
    UtilityChooser& Utilities() { return utilities_; }
    FilterBar& Filter() { return filter_; }

    // Loads path into the scene; a bad file is reported in a message box and changes nothing.
    bool OpenScene(const std::string& path);
    int RunMessageLoop();
    // What the message loop does with a message before dispatching it: the shortcuts, then
    // the keyboard navigation of dialogs and of this window. True when it was handled.
    bool TranslateKeyboard(MSG* msg);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void OnInitMenu(HMENU menu);
    LRESULT OnNotify(const NMHDR& header);
    void OnFilterBar(WORD code);
    void Layout();
    void RememberFocus();
    void RestoreFocus();
    void KeepKeyboardFocus();

    bool CommandRunning();
    bool ConfirmDiscard();
    bool Save(bool askForName);
    void ChooseSceneToOpen();
    void UndoOrRedo(bool undo);
    void SelectAll(bool select);
    void ToggleHiddenOfSelection();
    void ShowAbout();
    void UpdateTitle();  // caption and the status line's counts
    void ShowTitle();
    void UpdateCounts();
    void ShowError(const std::string& line);

    void SelectionChanged() override;
    void NodeChanged(SceneNode* node) override;
    void SceneRebuilt() override;

    static void StatusShown(const char* text, void* context);

    HWND window_ = nullptr;
    HWND status_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HWND focused_ = nullptr;  // the child with the focus when the window was last deactivated
    FilterBar filter_;
    NodeView nodes_;
    UtilityChooser utilities_;
    std::string path_;
    std::unique_ptr<SceneDocument> document_;  // what the scene's file format keeps of it
    std::string shownTitle_;
};
