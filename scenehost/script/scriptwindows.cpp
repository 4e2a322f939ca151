#include "scriptwindows.h"

#include "scriptlanguage.h"

HWND FindControl(HWND parent, const std::string& control)
{
    int id = 0;
    return ParseWholeNumber(control, id) ? FindControl(parent, id) : FindButton(parent, control);
}

void PressButton(HWND button)
{
    const LONG type = GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) {
        SendMessageA(button, BM_CLICK, 0, 0);
        return;
    }
    SetFocus(button);
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}
