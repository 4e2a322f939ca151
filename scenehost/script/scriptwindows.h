// Finding and reading windows and controls by what a user sees of them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// A menu item's or button's text as shown: no "&" marks, nothing after a tab.
std::string ShownLabel(const std::string& text);

// This thread's top-level window with the caption: a visible one, or always.
HWND FindTopLevelWindow(const std::string& caption, HWND always);
// A descendant control by its id (a whole number) or by a button's shown text; null if none.
HWND FindControl(HWND parent, const std::string& control);
// The first text of a dialog or message box: its message.
std::string DialogMessage(HWND dialog);
std::vector<std::string> ListItems(HWND list);
