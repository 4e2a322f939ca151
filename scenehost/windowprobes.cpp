#include "windowprobes.h"

#include <commctrl.h>

#include <cstring>
#include <functional>

#include "guard.h"
#include "hostutil.h"

namespace {

// The first descendant of parent for which matches holds; null if none.
HWND FindChild(HWND parent, const std::function<bool(HWND)>& matches)
{
    struct Search {
        const std::function<bool(HWND)>* matches;
        HWND found;
    } search = {&matches, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM lParam) -> BOOL {
            return Guarded<BOOL>(FALSE, [&] {
                auto* search = reinterpret_cast<Search*>(lParam);
                if (!(*search->matches)(child)) return TRUE;
                search->found = child;
                return FALSE;
            });
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsIcon(HWND control)
{
    return ClassOf(control) == "Static" &&
           (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// A multibyte character takes at most this many bytes in any code page, UTF-8 included.
const size_t kMaxBytesPerCharacter = 4;

}  // namespace

std::string WindowText(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    std::string text(length + 1, '\0');
    const int got = GetWindowTextA(window, &text[0], length + 1);
    text.resize(got > 0 ? got : 0);
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    // Class names compare without case; callers compare the usual spelling.
    std::string shown = name;
    for (const char* known : {"Button", "Edit", "ListBox", "Static", "ComboBox"})
        if (lstrcmpiA(name, known) == 0) shown = known;
    return shown;
}

std::string ShownLabel(const std::string& text)
{
    std::string label;
    for (size_t i = 0; i < text.size() && text[i] != '\t'; ++i) {
        if (text[i] == '&' && ++i >= text.size()) break;
        label += text[i];
    }
    return label;
}

HWND FindTopLevelWindow(const std::string& caption, HWND always)
{
    struct Wanted {
        const std::string* caption;
        HWND always;
        HWND found;
    } wanted = {&caption, always, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM lParam) -> BOOL {
            auto* wanted = reinterpret_cast<Wanted*>(lParam);
            if (window != wanted->always && !IsWindowVisible(window)) return TRUE;
            if (WindowText(window) != *wanted->caption) return TRUE;
            wanted->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

HWND FindControl(HWND parent, int id)
{
    return FindChild(parent, [id](HWND child) { return GetDlgCtrlID(child) == id; });
}

HWND FindButton(HWND parent, const std::string& label)
{
    return FindChild(parent, [&label](HWND child) {
        return ClassOf(child) == "Button" && ShownLabel(WindowText(child)) == label;
    });
}

std::vector<int> ControlIds(HWND parent)
{
    std::vector<int> ids;
    FindChild(parent, [&ids](HWND child) {
        ids.push_back(GetDlgCtrlID(child));
        return false;
    });
    return ids;
}

std::string DialogMessage(HWND dialog)
{
    std::string message;
    FindChild(dialog, [&message](HWND child) {
        if (ClassOf(child) != "Static" || IsIcon(child)) return false;
        message = WindowText(child);
        return !message.empty();
    });
    return message;
}

UINT MessageBoxIcon(HWND box)
{
    struct Known {
        LPCSTR id;
        UINT style;
    };
    const Known icons[] = {{IDI_HAND, MB_ICONERROR},
                           {IDI_ASTERISK, MB_ICONINFORMATION},
                           {IDI_EXCLAMATION, MB_ICONWARNING},
                           {IDI_QUESTION, MB_ICONQUESTION}};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsIcon(child)) continue;
        HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        for (const Known& known : icons)
            if (shown && shown == LoadIconA(nullptr, known.id)) return known.style;
    }
    return 0;
}

std::vector<std::string> ListItems(HWND list)
{
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        CStr item;
        ListBoxItemText(list, static_cast<int>(i), item);
        items.push_back(item.data());
    }
    return items;
}

std::string ListViewCellText(HWND list, int row, int column)
{
    std::vector<char> text(65536, 0);
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text.data();
}

std::string StatusBarText(HWND statusBar, int part)
{
    // The length counts characters, not the bytes they take.
    const size_t characters = LOWORD(SendMessageA(statusBar, SB_GETTEXTLENGTHA, part, 0));
    std::string text(characters * kMaxBytesPerCharacter + 1, '\0');
    SendMessageA(statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::strlen(text.c_str()));
    return text;
}
