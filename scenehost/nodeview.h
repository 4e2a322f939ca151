// The node list of the main window: every node in hierarchy order, indented by depth (up to
// a limit), with its hidden flag and its user properties on one line. Selecting rows selects
// nodes in the scene, in the order the user picked them; selection changes from elsewhere
// show at once. A filter narrows the rows to its matches and their ancestors.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <unordered_map>

#include "propertyfilter.h"
#include "scene.h"

const UINT WM_APP_SYNC_SELECTION = WM_APP + 2;

class NodeView {
public:
    void Create(HWND owner, int id);
    HWND Window() const { return list_; }

    void Rebuild(const Scene& scene);             // after a new scene
    // The rows a filter shows, or every node for null; the result must outlive its use here.
    void SetFilter(const Scene& scene, const FilterResult* filter);
    void ShowSelection(const Scene& scene);       // the scene's selection changed
    void ShowNode(SceneNode* node);               // a node's text or flag changed
    // A row's selection state changed: the scene follows once the burst of changes is over.
    void ItemChanged(const NMLISTVIEW& change);
    void TakeSelectionInto(Scene& scene);
    // Dims context rows and keeps selected rows readable without the focus.
    LRESULT CustomDraw(NMLVCUSTOMDRAW& draw) const;
    // The whole properties text of a row whose cell is cut off.
    void GetInfoTip(NMLVGETINFOTIPA& tip) const;

private:
    int RowOf(SceneNode* node) const;
    SceneNode* NodeAt(int row) const;
    void SetRowTexts(int row, SceneNode* node);
    const FilterRow* FilterRowAt(int row) const;

    std::unordered_map<const SceneNode*, int> rows_;
    HWND list_ = nullptr;
    HWND owner_ = nullptr;
    const FilterResult* filter_ = nullptr;
    bool showingSelection_ = false;  // rows changed by us, not the user
    bool syncPosted_ = false;
};
