#include "filterbar.h"

#include <commctrl.h>

#include "dpi.h"
#include "hosttexts.h"
#include "mainwindowids.h"
#include "resource.h"
#include "windowprobes.h"

namespace {

const char kClassName[] = "SceneHostFilterBar";
// Sizes at 96 DPI.
const int kMargin = 4;
const int kMinRowHeight = 20;
const int kFieldWidth = 260;
const int kModeWidth = 150;
const int kDropDownHeight = 200;
const int kComboPadding = 10;  // around the chosen text, beside the arrow

// In the order of MatchMode.
const UINT kModeNames[] = {IDS_MODE_STARTS_WITH, IDS_MODE_CONTAINS, IDS_MODE_WILDCARD,
                           IDS_MODE_REGEX};

HWND Child(HWND parent, const char* windowClass, DWORD style, int id)
{
    return CreateWindowExA(0, windowClass, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

FilterBar::FilterBar()
    : worker_([this](const SearchWorker::Job& job) {
          PostMessageA(window_, WM_APP_SEARCH_DONE, job.generation, 0);
      })
{
}

FilterBar::~FilterBar() { StopWorker(); }

void FilterBar::Create(HWND owner, int id, const Scene* scene)
{
    owner_ = owner;
    id_ = id;
    scene_ = scene;
    CreateHostWindow({kClassName}, WS_EX_CONTROLPARENT, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                     owner, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    // Each field is named by the hidden label before it, as accessibility tools read it.
    HiddenLabel(window_, IDS_FILTER_LABEL);
    field_ = Child(window_, WC_EDITA, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kFilterFieldId);
    HiddenLabel(window_, IDS_MODE_LABEL);
    mode_ = Child(window_, WC_COMBOBOXA, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kFilterModeId);
    count_ = Child(window_, WC_STATICA, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX,
                   kFilterCountId);
    for (UINT name : kModeNames)
        SendMessageA(mode_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(HostText(name).c_str()));
    SendMessageA(mode_, CB_SETCURSEL, 0, 0);
    SendMessageW(field_, EM_SETCUEBANNER, FALSE,
                 reinterpret_cast<LPARAM>(WideText(HostText(IDS_FILTER_CUE)).c_str()));
    SetWindowSubclass(field_, FieldProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void FilterBar::SetDpi(UINT dpi, HFONT font)
{
    dpi_ = dpi;
    for (HWND control : {field_, mode_, count_})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The field and the count line up with the closed drop-down, whose height the font sets.
    MoveWindow(mode_, 0, 0, ScaleForDpi(kModeWidth, dpi), ScaleForDpi(kDropDownHeight, dpi),
               FALSE);
    RECT closed;
    GetWindowRect(mode_, &closed);
    const int minimum = ScaleForDpi(kMinRowHeight, dpi);
    rowHeight_ = closed.bottom - closed.top > minimum ? closed.bottom - closed.top : minimum;
    // The mode box is as wide as its longest choice needs, never narrower than usual.
    modeWidth_ = ScaleForDpi(kModeWidth, dpi);
    const int around = SystemMetricForDpi(SM_CXVSCROLL, dpi) + ScaleForDpi(kComboPadding, dpi);
    for (UINT name : kModeNames) {
        const int needed = TextExtent(font, HostText(name).c_str()).cx + around;
        if (needed > modeWidth_) modeWidth_ = needed;
    }
    Layout();
}

int FilterBar::Height() const { return rowHeight_ + 2 * ScaleForDpi(kMargin, dpi_); }

void FilterBar::Focus()
{
    SetFocus(field_);
    SendMessageA(field_, EM_SETSEL, 0, -1);
}

std::string FilterBar::CountText() const { return WindowText(count_); }

void FilterBar::SceneChanged(bool rebuilt)
{
    nodesStale_ = true;
    if (rebuilt && shown_) {
        shown_ = false;
        result_ = FilterResult();
        Notify(FBN_CHANGED);
    }
    if (!matcher_.Active() || refreshPosted_) return;
    refreshPosted_ = true;
    PostMessageA(window_, WM_APP_REFRESH, 0, 0);
}

void FilterBar::StopReading()
{
    CancelSearch();
    worker_.StopReading();
}

LRESULT FilterBar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_COMMAND:
        if ((LOWORD(wParam) == kFilterFieldId && HIWORD(wParam) == EN_CHANGE) ||
            (LOWORD(wParam) == kFilterModeId && HIWORD(wParam) == CBN_SELCHANGE))
            PatternChanged();
        return 0;
    case WM_APP_REFRESH:
        refreshPosted_ = false;
        if (matcher_.Active()) StartSearch();
        return 0;
    case WM_APP_SEARCH_DONE:
        SearchDone(static_cast<unsigned>(wParam));
        return 0;
    case WM_DESTROY:
        StopWorker();
        return 0;
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

// Enter and Escape belong to the field, also where dialog navigation would take them.
LRESULT CALLBACK FilterBar::FieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data)
{
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        auto* self = reinterpret_cast<FilterBar*>(data);
        const bool enterOrEscape = wParam == VK_RETURN || wParam == VK_ESCAPE;
        switch (message) {
        case WM_GETDLGCODE:
            if (lParam && enterOrEscape) return DLGC_WANTALLKEYS;
            break;
        case WM_CHAR:
            if (wParam == '\r' || wParam == 0x1B) return 0;  // no beep
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                // The rows still shown for an invalid pattern are not its matches.
                if (self->invalid_) return 0;
                if (self->Searching())
                    self->selectWhenDone_ = true;
                else
                    self->Notify(FBN_SUBMITTED);
                return 0;
            }
            if (wParam == VK_ESCAPE) {
                SetWindowTextA(window, "");  // EN_CHANGE clears the filter
                self->Notify(FBN_DISMISSED);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, FieldProc, 0);
            break;
        }
        return DefSubclassProc(window, message, wParam, lParam);
    });
}

void FilterBar::Layout()
{
    RECT client;
    GetClientRect(window_, &client);
    const int margin = ScaleForDpi(kMargin, dpi_);
    const int fieldWidth = ScaleForDpi(kFieldWidth, dpi_);
    int x = margin;
    MoveWindow(field_, x, margin, fieldWidth, rowHeight_, TRUE);
    x += fieldWidth + margin;
    MoveWindow(mode_, x, margin, modeWidth_, ScaleForDpi(kDropDownHeight, dpi_), TRUE);
    x += modeWidth_ + 2 * margin;
    const int rest = client.right - x - margin;
    MoveWindow(count_, x, margin, rest > 0 ? rest : 0, rowHeight_, TRUE);
}

void FilterBar::PatternChanged()
{
    const int mode = static_cast<int>(SendMessageA(mode_, CB_GETCURSEL, 0, 0));
    CancelSearch();
    selectWhenDone_ = false;
    invalid_ = !matcher_.Compile(static_cast<MatchMode>(mode < 0 ? 0 : mode), WindowText(field_));
    if (invalid_) {
        // The rows of the last good pattern stay while the user goes on typing.
        ShowCount(HostMessage(IDS_INVALID_PATTERN, {matcher_.Error()}));
        return;
    }
    if (matcher_.Active()) {
        StartSearch();
        return;
    }
    ShowCount("");
    if (shown_) {
        shown_ = false;
        result_ = FilterResult();
        Notify(FBN_CHANGED);
    }
}

void FilterBar::StartSearch()
{
    CancelSearch();
    if (nodesStale_) {
        nodes_ = NodeListing::Take(*scene_);
        nodesStale_ = false;
    }
    auto job = std::make_shared<SearchWorker::Job>();
    job->result = std::move(spare_);
    job->nodes = nodes_;
    job->matcher = matcher_;
    job->generation = ++generation_;
    job_ = job;
    worker_.Start(std::move(job));
}

void FilterBar::StopWorker()
{
    CancelSearch();
    worker_.Stop();
}

void FilterBar::SearchDone(unsigned generation)
{
    if (!job_ || generation != job_->generation || job_->cancel || !job_->finished) return;
    spare_ = std::move(result_);
    result_ = std::move(job_->result);
    job_.reset();
    shown_ = true;
    ShowCount(result_.CountText());
    Notify(FBN_CHANGED);
    if (selectWhenDone_) {
        selectWhenDone_ = false;
        Notify(FBN_SUBMITTED);
    }
}

void FilterBar::CancelSearch()
{
    if (job_) job_->cancel = true;
    job_.reset();
}

void FilterBar::ShowCount(const std::string& text) { SetWindowTextA(count_, text.c_str()); }

void FilterBar::Notify(WORD code)
{
    SendMessageA(owner_, WM_COMMAND, MAKEWPARAM(id_, code), reinterpret_cast<LPARAM>(window_));
}
