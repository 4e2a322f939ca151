// The application's main window: menu, node list, utility panel and status line.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "busyindicator.h"
#include "coreinterface.h"
#include "fileio.h"
#include "filterbar.h"
#include "guard.h"
#include "handles.h"
#include "hostwindow.h"
#include "mainwindowids.h"
#include "nodeview.h"
#include "sceneformat.h"
#include "utilities.h"

class MainWindow : public HostWindow, private SceneObserver {
public:
    // The common controls, the plug-ins beside the program (a line for each one that failed
    // goes to errors), then the window.
    bool Start(HINSTANCE instance, int show, std::vector<std::string>& errors);
    bool Create(HINSTANCE instance, int show);
    UtilityChooser& Utilities() { return utilities_; }
    const NodeView& Nodes() const { return nodes_; }

    // The File commands without their file dialogs. A failure is described in error when
    // one is given, in a message box otherwise; a bad file changes nothing.
    bool NewScene(bool askToSave);
    bool OpenScene(const std::string& path, std::string* error = nullptr);
    // A save over the scene's own file changed on disk since it was read or saved asks first
    // (a script's is refused) unless overwriteChanges.
    bool SaveSceneAs(const std::string& path, std::string* error = nullptr,
                     bool overwriteChanges = false);
    const std::string& ScenePath() const { return path_; }
    // Sets or clears the nodes' hidden flag as Hide/Unhide Selected does, as one undo step.
    void SetHidden(const NodeTab& nodes, bool hidden);
    std::string StatusText() const;
    FilterBar& Filter() { return filter_; }
    // The DPI the window's sizes and fonts are for, and the font of its controls.
    UINT Dpi() const { return dpi_; }
    HFONT Font() const;

    // Failures shown since the window was made, and what the last one said.
    int FailureCount() const { return failureCount_; }
    const std::string& LastFailure() const { return lastFailure_; }

    // The property table (mainwindowtable.cpp): View > Property Table and back, remembered
    // while the program runs; its edits over the selected nodes, each one undo step. A bad
    // key or value is described in error when one is given, in a message box otherwise.
    void ShowTable(bool table);
    bool SetKey(const std::string& key, const std::string& value, std::string* error = nullptr);
    bool RemoveKey(const std::string& key, std::string* error = nullptr);
    bool RenameKey(const std::string& oldKey, const std::string& newKey, bool allNodes,
                   std::string* error = nullptr);
    // The header menu's Rename Key...: asks for the new key, then renames.
    void AskToRenameKey(const std::string& key);
    // The view order by a key's column; "" for the hierarchy order.
    bool SortTable(const std::string& key, std::string* error = nullptr);
    NodeView& NodeList() { return nodes_; }

    int RunMessageLoop();
    // What the message loop does with a message before dispatching it: the shortcuts, then
    // the keyboard navigation of dialogs and of this window. True when it was handled.
    bool TranslateKeyboard(MSG* msg);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(int id);
    void OnInitMenu(HMENU menu);
    LRESULT OnNotify(const NMHDR& header);
    void OnFilterBar(WORD code);
    void Layout();
    void ApplyDpi(UINT dpi);
    void SetStatusParts();
    void RememberFocus();
    void RestoreFocus();
    void KeepKeyboardFocus();

    bool CommandRunning();
    bool ConfirmDiscard();
    void ForgetFile();
    bool RecoverInterruptedSave(const std::string& path, std::string* error);
    bool Save(bool askForName);
    bool SaveTo(const std::string& path, std::string* error, bool overwriteChanges = false);
    bool ConfirmOverwriteOfChanges(const std::string& path, std::string* error, bool& elsewhere);
    bool Failed(const std::string& line, std::string* error);
    void ChooseSceneToOpen();
    void UndoOrRedo(bool undo);
    void SelectAll(bool select);
    void ToggleHiddenOfSelection();
    void ChangeHidden(const NodeTab& nodes, const std::function<bool(const SceneNode*)>& hidden);
    void ShowAbout();
    void RestoreView();
    bool TableKey(const MSG& msg);
    void TableClick(const NMITEMACTIVATE& click, bool twice);
    void TableHeaderClick(int listColumn);
    void TableSortDone(unsigned generation);
    void TableHeaderMenu(POINT screen);
    void CommitCellEdit();
    void EditCurrentCell(const std::string& typed);
    bool ColumnForKey(const std::string& key, TableColumn& column);
    bool EditKeyOf(const TableColumn& column, const std::string* value, const std::string* newKey,
                   bool allNodes, std::string* error);
    void UpdateTitle();  // caption and the status line's counts
    void ShowTitle();
    void UpdateCounts();

    void SelectionChanged() noexcept override;
    void NodeChanged(SceneNode* node) noexcept override;
    void NodesChanged() noexcept override;
    void SceneRebuilt() noexcept override;
    void TextsChanging() noexcept override;

    static void StatusShown(const char* text, void* context);
    static void FailureReported(Failure failure, const char* detail, void* context);
    void ShowFailure(Failure failure, char* detail);  // frees detail

    HWND status_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HWND focused_ = nullptr;  // the child with the focus when the window was last deactivated
    FilterBar filter_;
    NodeView nodes_;
    BusyIndicator busy_;
    UtilityChooser utilities_;
    std::string path_;
    std::unique_ptr<SceneDocument> document_;  // what the scene's file format keeps of it
    FileStamp stamp_;  // the file as last read or written
    std::string shownTitle_;
    UINT dpi_ = 96;
    int failureCount_ = 0;
    std::string lastFailure_;
    bool replacingScene_ = false;  // the scene's nodes are about to go: the list lets go first
    GdiObject font_;  // the controls' font, for dpi_
};

// The main window's first outer size at dpi: never larger than the work area.
SIZE FirstWindowSize(UINT dpi, const RECT& workArea);
