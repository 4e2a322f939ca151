// The filter bar above the node list: a pattern field, how a line matches, and the count of
// matches. The search runs on a worker thread that reads the nodes' texts in place; a newer
// pattern or a changed scene cancels a search still running, and a text about to change
// stops it first.
// The bar tells its owner through WM_COMMAND with its id and one of the codes below.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "dpi.h"
#include "filterrun.h"
#include "hostwindow.h"
#include "linematcher.h"
#include "searchworker.h"

const WORD FBN_CHANGED = 1;    // the rows to show changed: Result() has them
const WORD FBN_SUBMITTED = 2;  // Enter in the field: select the matches
const WORD FBN_DISMISSED = 3;  // Escape in the field: the filter is cleared

class FilterBar : public HostWindow {
public:
    FilterBar();
    ~FilterBar();
    FilterBar(const FilterBar&) = delete;
    FilterBar& operator=(const FilterBar&) = delete;

    void Create(HWND owner, int id, const Scene* scene);
    // Sizes and font for the DPI the window is shown at; lays the bar out again.
    void SetDpi(UINT dpi, HFONT font);
    HWND Field() const { return field_; }
    HWND ModeBox() const { return mode_; }
    int Height() const;

    void Focus();
    // The rows to show, or null while no pattern filters (or none has been searched yet).
    const FilterResult* Result() const { return shown_ ? &result_ : nullptr; }
    bool Searching() const { return job_ != nullptr; }
    std::string CountText() const;

    // Texts changed: the search runs again once the burst of changes is over. After a new
    // scene the old rows are dropped at once, since they name nodes that are gone.
    void SceneChanged(bool rebuilt);
    // A text is about to change or nodes to go: a search reading them stops first. Waits at
    // most for the line (or the short text) being searched.
    void StopReading();
    bool Reading() const { return worker_.Reading(); }

private:
    static LRESULT CALLBACK FieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout();
    void PatternChanged();
    void StartSearch();
    void SearchDone(unsigned generation);
    void CancelSearch();
    void StopWorker();
    void ShowCount(const std::string& text);
    void Notify(WORD code);

    HWND owner_ = nullptr;
    HWND field_ = nullptr;
    HWND mode_ = nullptr;
    HWND count_ = nullptr;
    int id_ = 0;
    int rowHeight_ = 0;
    int modeWidth_ = 0;
    UINT dpi_ = kDefaultDpi;
    const Scene* scene_ = nullptr;
    std::shared_ptr<const NodeListing> nodes_;
    bool nodesStale_ = true;  // the scene changed since they were listed
    LineMatcher matcher_;
    bool invalid_ = false;
    FilterResult result_;
    FilterResult spare_;  // the result before, whose memory the next search reuses
    bool shown_ = false;
    bool selectWhenDone_ = false;
    bool refreshPosted_ = false;
    unsigned generation_ = 0;
    std::shared_ptr<SearchWorker::Job> job_;  // the search whose result the bar waits for
    SearchWorker worker_;
};
