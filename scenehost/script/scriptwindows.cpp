#include "scriptwindows.h"

#include "scriptlanguage.h"

namespace {

struct Search {
    const std::string* text;
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND control, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    const bool matches = search->text ? ClassOf(control) == "Button" &&
                                            ShownLabel(WindowText(control)) == *search->text
                                      : GetDlgCtrlID(control) == search->id;
    if (!matches) return TRUE;
    search->found = control;
    return FALSE;
}

bool IsIcon(HWND control)
{
    return (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

BOOL CALLBACK MatchMessage(HWND control, LPARAM lParam)
{
    auto* message = reinterpret_cast<std::string*>(lParam);
    if (ClassOf(control) != "Static" || IsIcon(control)) return TRUE;
    *message = WindowText(control);
    return message->empty();
}

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
    // Class names compare without case; the runner compares the usual spelling.
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

HWND FindControl(HWND parent, const std::string& control)
{
    Search search = {&control, 0, nullptr};
    if (ParseWholeNumber(control, search.id)) search.text = nullptr;
    EnumChildWindows(parent, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string DialogMessage(HWND dialog)
{
    std::string message;
    EnumChildWindows(dialog, MatchMessage, reinterpret_cast<LPARAM>(&message));
    return message;
}

std::vector<std::string> ListItems(HWND list)
{
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
        std::string item(length > 0 ? length + 1 : 1, '\0');
        const LRESULT got = SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&item[0]));
        item.resize(got > 0 ? got : 0);
        items.push_back(item);
    }
    return items;
}
