// The utility panel's container: module pages stacked top to bottom, each under its title.
#pragma once

#include <windows.h>

#include <vector>

#include "cstr.h"
#include "hostwindow.h"

class UtilityPanelHost : public HostWindow {
public:
    UtilityPanelHost() = default;
    HWND Create(HWND parent, int x, int y, int width, int height);

    // Null when there is no panel window or the template cannot be made into a page.
    HWND AddPage(HINSTANCE instance, int templateId, DLGPROC procedure, const char* title,
                 LPARAM param);
    void DeletePage(HWND page);

    int PageCount() const { return static_cast<int>(pages_.size()); }
    HWND Page(int i) const;
    const char* Title(int i) const;
    HWND PageContaining(HWND window) const;  // the page window is itself or an ancestor of

private:
    struct PageEntry {
        HWND page;
        HWND caption;
        CStr title;
    };
    // Page buttons report to their own dialogs; nothing reaches the container but layout.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return DefaultHandling(message, wParam, lParam);
    }
    void Layout();
    void ForgetDestroyedPages();

    std::vector<PageEntry> pages_;
};
