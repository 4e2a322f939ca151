// The node list of the main window: every node in hierarchy order, indented by depth (up to
// a limit), with its hidden flag and its user properties on one line. Selecting rows selects
// nodes in the scene, in the order the user picked them; selection changes from elsewhere
// show at once. A filter narrows the rows to its matches and their ancestors.
//
// The list is virtual: it holds no texts, and asks for those of the rows it shows, so that a
// scene of a million nodes costs no window work per node.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "filterrun.h"
#include "scene.h"

class NodeView {
public:
    void Create(HWND owner, int id);
    // Font and column widths for the DPI the window is shown at.
    void SetDpi(UINT dpi, HFONT font);
    HWND Window() const { return list_; }

    void Rebuild(const Scene& scene);        // after a new scene
    // The rows a filter shows, or every node for null; the result must outlive its use here.
    void SetFilter(const Scene& scene, const FilterResult* filter);
    void ShowSelection(const Scene& scene);  // the scene's selection changed
    void ShowNode(SceneNode* node);          // a node's text or flag changed
    void ShowAllNodes();                     // many nodes changed

    // The list's questions and reports, from the owner's WM_NOTIFY.
    void FillRow(NMLVDISPINFOA& info) const;
    // Typing in the list: the row to go to for the text typed so far, or -1.
    int FindRow(const std::string& typed, UINT flags, int start) const;
    // A row's selection state changed: the scene follows once the burst of changes is over.
    void ItemChanged(const NMLISTVIEW& change);
    void RangeChanged(const NMLVODSTATECHANGE& change);
    void TakeSelectionInto(Scene& scene);
    // Dims context rows and keeps selected rows readable without the focus.
    LRESULT CustomDraw(NMLVCUSTOMDRAW& draw) const;
    // The whole properties text of a row whose cell is cut off.
    void GetInfoTip(NMLVGETINFOTIPA& tip) const;

    int RowCount() const { return static_cast<int>(rows_.size()); }
    SceneNode* NodeAt(int row) const;  // null for a row the list does not have
    int RowOf(const SceneNode* node) const;

private:
    const FilterRow* FilterRowAt(int row) const;
    std::string PropsCell(int row) const;
    void MarkSelection(const Scene& scene, bool pauseRedraw);
    void SetRowSelected(int row, bool selected);
    void ReadSelectionFromList();
    void PostSync();

    std::vector<SceneNode*> rows_;
    mutable std::unordered_map<const SceneNode*, int> rowOf_;
    mutable bool rowOfKnown_ = false;
    // Which rows the list shows selected, kept from what we set and what the list reports.
    std::vector<char> shownSelected_;
    bool shownKnown_ = true;  // false after a report that does not say which rows changed
    HWND list_ = nullptr;
    UINT dpi_ = 96;
    bool dpiKnown_ = false;  // false until the first SetDpi
    HWND owner_ = nullptr;
    const FilterResult* filter_ = nullptr;
    bool showingSelection_ = false;  // rows changed by us, not the user
    bool syncPosted_ = false;
};
