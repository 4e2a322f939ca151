#include "menuhook.h"

#include <algorithm>

#include "frame.h"
#include "guard.h"

namespace {

constexpr int kMenuPosition = 2;   // the third top-level menu
constexpr int kInsertBefore = 11;  // or at the end of a shorter menu
const char kMenuText[] = "&Find/Replace Properties...";

Interface* hookInterface = nullptr;  // the Interface the hook is registered with; null after
WNDPROC previousProc = nullptr;      // the main window's procedure before ours
HWND hookedWindow = nullptr;
HMENU entryMenu = nullptr;           // the submenu that holds the entry we inserted

HMENU TargetMenu(HWND mainWindow)
{
    HMENU bar = mainWindow ? GetMenu(mainWindow) : nullptr;
    if (!bar) return nullptr;
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_SUBMENU;
    if (!GetMenuItemInfoA(bar, kMenuPosition, TRUE, &info)) return nullptr;
    return info.hSubMenu;
}

bool InsertEntry(HMENU menu)
{
    // Another copy of this module may have put the entry there already.
    if (GetMenuState(menu, FindReplaceCommand, MF_BYCOMMAND) != static_cast<UINT>(-1))
        return true;
    const int count = GetMenuItemCount(menu);
    if (count < 0) return false;
    char text[sizeof kMenuText];
    lstrcpyA(text, kMenuText);
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_TYPE;
    item.fType = MFT_STRING;
    item.wID = FindReplaceCommand;
    item.dwTypeData = text;
    item.cch = lstrlenA(text);
    if (!InsertMenuItemA(menu, std::min(kInsertBefore, count), TRUE, &item)) return false;
    entryMenu = menu;
    return true;
}

void SubclassMainWindow(HWND mainWindow)
{
    if (previousProc) return;
    previousProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowHookProc)));
    hookedWindow = mainWindow;
}

}  // namespace

void MenuHook::Notify(Interface* ip)
{
    Guarded([&] { AddEntry(ip); });
}

void MenuHook::AddEntry(Interface* ip)
{
    // The host may not have its main window and menu yet; the next call tries again.
    const HWND mainWindow = ip->MainWindow();
    const HMENU menu = TargetMenu(mainWindow);
    if (!menu || !InsertEntry(menu)) return;
    ip->UnregisterCallback(this);
    if (ip == hookInterface) hookInterface = nullptr;
    SubclassMainWindow(mainWindow);
}

LRESULT CALLBACK MainWindowHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == FindReplaceCommand) {
        Guarded([] {
            theUtility.hostInterface = GetCOREInterface();
            theUtility.OpenFloater();
        });
    }
    return CallWindowProcA(previousProc, window, message, wParam, lParam);
}

void RegisterMenuHook()
{
    hookInterface = GetCOREInterface();
    hookInterface->RegisterCallback(&theMenuHook);
}

void RemoveMenuHook()
{
    if (hookInterface) {
        hookInterface->UnregisterCallback(&theMenuHook);
        hookInterface = nullptr;
    }
    // Whoever subclassed the window after us keeps our procedure as theirs to call; it can
    // only be taken out while it is still the window's own.
    if (hookedWindow && IsWindow(hookedWindow) &&
        GetWindowLongPtrA(hookedWindow, GWLP_WNDPROC) ==
            reinterpret_cast<LONG_PTR>(MainWindowHookProc)) {
        SetWindowLongPtrA(hookedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
        previousProc = nullptr;
        hookedWindow = nullptr;
    }
    if (entryMenu && IsMenu(entryMenu)) DeleteMenu(entryMenu, FindReplaceCommand, MF_BYCOMMAND);
    entryMenu = nullptr;
}
