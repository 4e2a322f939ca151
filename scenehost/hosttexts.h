// The host's own texts: its string table, messages made from its strings, and numbers as
// the user's locale writes them.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "moduletexts.h"

// String id of the program's string table in the program's code page; empty when there is
// none.
std::string HostText(UINT id);

// String id with %1, %2, ... replaced by values (FormatMessageText).
std::string HostMessage(UINT id, std::initializer_list<std::string> values);

// A static control that is never shown, holding string id: placed just before a control in
// the order of its siblings, it gives that control its name for accessibility tools.
HWND HiddenLabel(HWND parent, UINT id);

// Text of the program's code page in UTF-16, for the calls that take only that.
std::wstring WideText(const std::string& text);

// n with its digits grouped as the user's locale groups them: 4,021 in English.
std::string GroupedNumber(long long n);

// "Hid 1 object." or "Hid 12 objects.": the string for one, or the string for n with n
// grouped.
std::string CountMessage(long long n, UINT one, UINT many);
