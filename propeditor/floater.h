// The User Properties floater: the selected nodes on the left, the current node's whole
// user-property text in an editor on the right, and Apply to write it back.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "floaterframe.h"
#include "interface.h"

class PropEditorFloater {
public:
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Shows the current item's node text in the editor as its unchanged state. Nothing
    // happens while no item is current.
    void LoadSelectedText();
    // Puts text into the editor without counting it as the user's change.
    void ShowEditorText(const char* text);

    // True while Apply writes its step: a refresh of the list meanwhile would lose its item.
    bool Applying() const { return applying; }

    static void LayoutControls(HWND hwnd);
    static void ScreenRectToClient(HWND hwnd, RECT& rect);

    HWND window = nullptr;          // null while the floater is closed
    Interface* coreInterface = GetCOREInterface();  // taken at module load, never refreshed
    int modified = 0;               // 1 while the editor holds an unapplied change
    FloaterFrame frame{FloaterFrame::Keeps::kPlaceAndSize};  // where it opens, and how large

private:
    void InitDialog(HWND hwnd);
    void Destroyed(HWND hwnd);
    void Command(int id, int code);
    void Apply();
    bool WriteAsStep(SceneNode* node, const CStr& text);
    void FirstChange();
    void SelectionChange();
    void SetApplyEnabled(bool enabled);
    HWND List() const;

    bool loading = false;                 // the editor's text is being set by us
    bool applying = false;                // Apply is writing its undo step
};

extern PropEditorFloater theFloater;

// Index of the item carrying the marker " *" while modified is 1 and the list is not empty.
extern int markedIndex;

constexpr DLGPROC PropEditorProc = FloaterProc<PropEditorFloater, theFloater>;
