#include "scriptwindows.h"

#include "scriptlanguage.h"

HWND FindControl(HWND parent, const std::string& control)
{
    int id = 0;
    return ParseWholeNumber(control, id) ? FindControl(parent, id) : FindButton(parent, control);
}
