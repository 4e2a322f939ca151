#include "panel.h"

#include "dpi.h"

namespace {

const char kPanelClass[] = "HostUtilityPanel";
// Sizes at 96 DPI.
const int kMargin = 4;
const int kCaptionHeight = 18;
const int kCaptionPadding = 6;  // the sunken edge and a little room around the title

// A page's title is as tall as its font needs: the font is the page's, which the dialog
// manager chose for the page's DPI.
int CaptionHeight(HWND caption, UINT dpi)
{
    int height = ScaleForDpi(kCaptionHeight, dpi);
    HDC dc = GetDC(caption);
    if (!dc) return height;
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(caption, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics = {};
    if (GetTextMetricsA(dc, &metrics)) {
        const int needed = metrics.tmHeight + ScaleForDpi(kCaptionPadding, dpi);
        if (needed > height) height = needed;
    }
    SelectObject(dc, previous);
    ReleaseDC(caption, dc);
    return height;
}

HINSTANCE CoreInstance()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&CoreInstance), &module);
    return module;
}

}  // namespace

HWND UtilityPanelHost::Create(HWND parent, int x, int y, int width, int height)
{
    DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN : WS_OVERLAPPEDWINDOW;
    return CreateHostWindow({kPanelClass}, WS_EX_CONTROLPARENT, "Utilities", style, x, y, width,
                            height, parent, nullptr);
}

HWND UtilityPanelHost::AddPage(HINSTANCE instance, int templateId, DLGPROC procedure,
                               const char* title, LPARAM param)
{
    if (!window_) return nullptr;
    ForgetDestroyedPages();
    HWND page = CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), window_, procedure,
                                   param);
    if (!page) return nullptr;
    // Tab from the window around the panel reaches the page's controls.
    SetWindowLongPtrA(page, GWL_EXSTYLE,
                      GetWindowLongPtrA(page, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    HWND caption = CreateWindowExA(0, "STATIC", title ? title : "",
                                   WS_CHILD | WS_VISIBLE | SS_CENTER | SS_SUNKEN, 0, 0, 0, 0,
                                   window_, nullptr, CoreInstance(), nullptr);
    SendMessageA(caption, WM_SETFONT, SendMessageA(page, WM_GETFONT, 0, 0), FALSE);
    pages_.push_back({page, caption, CStr(title)});
    Layout();
    return page;
}

void UtilityPanelHost::DeletePage(HWND page)
{
    ForgetDestroyedPages();
    if (!page) return;
    for (auto entry = pages_.begin(); entry != pages_.end(); ++entry) {
        if (entry->page != page) continue;
        if (IsWindow(entry->caption)) DestroyWindow(entry->caption);
        if (IsWindow(entry->page)) DestroyWindow(entry->page);
        pages_.erase(entry);
        Layout();
        return;
    }
}

void UtilityPanelHost::ForgetDestroyedPages()
{
    // A module may destroy its own page; its caption must not stay behind.
    for (auto entry = pages_.begin(); entry != pages_.end();) {
        if (IsWindow(entry->page)) {
            ++entry;
            continue;
        }
        if (IsWindow(entry->caption)) DestroyWindow(entry->caption);
        entry = pages_.erase(entry);
    }
    Layout();
}

HWND UtilityPanelHost::Page(int i) const
{
    return i >= 0 && i < PageCount() ? pages_[i].page : nullptr;
}

const char* UtilityPanelHost::Title(int i) const
{
    return i >= 0 && i < PageCount() ? pages_[i].title.data() : nullptr;
}

HWND UtilityPanelHost::PageContaining(HWND window) const
{
    for (const PageEntry& entry : pages_)
        if (window == entry.page || IsChild(entry.page, window)) return entry.page;
    return nullptr;
}

void UtilityPanelHost::Layout()
{
    RECT client;
    GetClientRect(window_, &client);
    const UINT dpi = DpiOf(window_);
    const int margin = ScaleForDpi(kMargin, dpi);
    int top = margin;
    for (const PageEntry& entry : pages_) {
        RECT pageRect;
        GetWindowRect(entry.page, &pageRect);
        const int width = pageRect.right - pageRect.left;
        const int height = pageRect.bottom - pageRect.top;
        const int left = client.right > width ? (client.right - width) / 2 : 0;
        const int captionHeight = CaptionHeight(entry.caption, dpi);
        MoveWindow(entry.caption, left, top, width, captionHeight, TRUE);
        top += captionHeight;
        MoveWindow(entry.page, left, top, width, height, TRUE);
        top += height + margin;
    }
}
