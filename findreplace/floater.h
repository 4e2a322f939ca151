// The Find/Replace floater: a modeless window with a Find and a Replace field and the four
// commands that work on the scene's user properties.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "floaterframe.h"
#include "interface.h"
#include "propertyruns.h"
#include "tab.h"

class FindReplaceFloater {
public:
    INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Each button is enabled only while the fields it reads make sense.
    void UpdateButtons(HWND window);
    // False, with text untouched, when no room could be made for the control's text.
    static bool ReadWindowText(HWND control, CStr& text);

    // Selects every node of the scene with a line that begins with find, ignoring case.
    void SearchAndSelect(const CStr& find);
    // Deletes the matching lines from the selected nodes.
    void RemoveProperty(const CStr& find);
    // Replaces the matching lines of the selected nodes by replace; with writeAll, every
    // other selected node gets replace as a new last line.
    void ReplaceProperty(const CStr& find, const CStr& replace, int writeAll);

    HWND window = nullptr;          // null while no floater is open
    Interface* coreInterface = GetCOREInterface();  // taken once, when the module loads
    FloaterFrame frame{FloaterFrame::Keeps::kPlace};  // where it opens; its size is fixed

private:
    // The controls UpdateButtons reads and sets, of the window they belong to.
    struct Controls {
        HWND window = nullptr;
        HWND find = nullptr;
        HWND replace = nullptr;
        HWND searchSelect = nullptr;
        HWND removeProperty = nullptr;
        HWND replaceButton = nullptr;
        HWND writeAll = nullptr;
    };

    void OnCommand(HWND window, int id, int code);
    bool HasSelection();
    void TakeSelection(NodeTab& nodes);
    void CloseRun(const RunOutcome& outcome, int undoNameId, int summaryId, int selectedCount);

    Controls controls_;
};

extern FindReplaceFloater theFloater;

constexpr DLGPROC FindReplaceProc = FloaterProc<FindReplaceFloater, theFloater>;
