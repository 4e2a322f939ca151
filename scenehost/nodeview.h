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

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "nodechanges.h"
#include "filterrun.h"
#include "propertycolumns.h"
#include "scene.h"
#include "sortworker.h"

class NodeView {
public:
    NodeView();
    void Create(HWND owner, int id);
    // Font and column widths for the DPI the window is shown at.
    void SetDpi(UINT dpi, HFONT font);
    HWND Window() const { return list_; }

    void Rebuild(const Scene& scene);        // after a new scene
    void ShowNoRows(const Scene& scene);     // before the scene's nodes go: none listed
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

    // The property table (nodetable.cpp): after Node and Hidden, a column per key of the rows
    // shown, in place of the properties column. Cells are read from the texts as drawn.
    void SetTableMode(const Scene& scene, bool table);
    // The scene whose changes the table follows node by node.
    void WatchScene(Scene* scene);
    bool TableMode() const { return table_; }
    const PropertyColumns& TableModel() const { return model_; }
    int ModelColumnOf(int listColumn) const;  // -1 for Node, Hidden or none
    int ListColumnOf(int modelColumn) const;  // -1 when the column is not shown
    std::vector<std::string> ShownKeys() const;
    // The chooser: which keys have columns. With many keys only the first ones do at first.
    bool KeyShown(int modelColumn) const;
    void ShowKey(int modelColumn, bool shown);
    void ShowAllKeys();
    // A view order by a model column, or the hierarchy order for -1.
    void SortBy(const Scene& scene, int modelColumn);
    int SortColumn() const;
    // The same order made on the sort thread: the rows change when it is done (SortDone with
    // its generation, from WM_APP_SORT_DONE), unless the rows or a text changed meanwhile or
    // another sort began. Both cancel it.
    void StartSort(int modelColumn);
    bool SortDone(unsigned generation);  // false when dropped
    bool FinishSort();                   // waits for the sort and shows it
    void CancelSort();
    bool Sorting() const { return sortJob_ != nullptr; }
    int PendingSortColumn() const;
    std::string ColumnTitle(int modelColumn) const;  // the key as shown, or "(other lines)"
    std::string CellText(int row, int listColumn) const;
    std::string HeaderTip(int listColumn) const;
    HWND Header() const;
    // The header's tooltip asks its text here (TTN_GETDISPINFO from TipWindow()).
    HWND TipWindow() const { return tip_; }
    void FillHeaderTip(NMTTDISPINFOA& info);
    void FillHeaderTip(NMTTDISPINFOW& info);
    // The column the keyboard works on: F2, typing and Delete.
    int CurrentColumn() const { return currentColumn_; }
    void SetCurrentColumn(int listColumn);
    // The in-place editor over a cell: Enter commits (the owner reads the text), Escape and
    // leaving it cancel.
    bool BeginCellEdit(int row, int listColumn, const std::string& text, bool selectAll);
    HWND CellEditor() const { return editor_; }
    int EditedRow() const { return editedRow_; }
    int EditedColumn() const { return editedColumn_; }
    std::string EndCellEdit();

    int RowCount() const { return static_cast<int>(rows_.size()); }
    SceneNode* NodeAt(int row) const;  // null for a row the list does not have
    int RowOf(const SceneNode* node) const;

private:
    void ShowRows(const Scene& scene);
    void RefreshTable();
    void UpdateTable(SceneNode* node);
    void ShowKeyColumns();
    void ShowSortArrow();
    const std::vector<SceneNode*>& HierarchyRows() const;
    static RowTexts TextsOf(const std::vector<SceneNode*>& rows);
    void OrderRows();
    void SetColumnTitles(const std::vector<std::string>& titles, int width);
    void SetKeyColumns(const std::vector<int>& shown);
    void AttachTableParts();
    void DetachTableParts();
    static LRESULT CALLBACK HeaderProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK EditorProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    void ShowPropsColumn();
    std::string ColumnIdOf(int modelColumn) const;
    int ColumnWithId(const std::string& id) const;  // -1 for none
    RowTexts TextsOfRows() const;
    const FilterRow* FilterRowAt(int row) const;
    std::string PropsCell(int row) const;
    void MarkSelection(const Scene& scene, bool pauseRedraw);
    void SetRowSelected(int row, bool selected);
    void ReadSelectionFromList();
    void PostSync();

    std::vector<SceneNode*> rows_;
    mutable std::unordered_map<const SceneNode*, int> rowOf_;
    mutable bool rowOfKnown_ = false;
    // Whether the list had the focus as its paint began: asked once a paint, not once a row,
    // for under Wine each question is a round trip to the server.
    mutable bool focusedWhilePainting_ = false;
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

    bool table_ = false;
    PropertyColumns model_;  // over the rows in hierarchy order
    NodeChanges changed_;
    std::vector<SceneNode*> hierarchy_;      // rows_ in hierarchy order while sorted, or empty
    std::vector<int> shownColumns_;          // the model column of each key column shown
    std::vector<std::string> shownHeaders_;  // their titles
    std::vector<std::string> listTitles_;    // the list's titles after Hidden, either view
    std::map<std::string, bool> keyChoices_;  // by folded key: what the user chose
    std::string sortId_;                      // folded key of the view order; empty for none
    int currentColumn_ = 2;
    HWND tip_ = nullptr;
    bool headerAttached_ = false;  // the header's subclass is in place
    int tipColumn_ = -1;  // the header column the tooltip is about
    std::string tipText_;
    std::wstring tipWide_;
    HWND editor_ = nullptr;
    int editedRow_ = -1, editedColumn_ = -1;
    const Scene* scene_ = nullptr;  // the one watched
    std::shared_ptr<SortWorker::Job> sortJob_;  // the sort whose rows are to show
    std::string pendingSortId_;
    unsigned sortGeneration_ = 0;
    SortWorker sorter_;  // last: it stops before the rest goes
};
