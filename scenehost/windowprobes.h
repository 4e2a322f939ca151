// Reading windows and controls as a user sees them, and finding them by what is shown: the
// one set of probes of the script runner, the tests and the benchmark. Texts are read back
// whole, in the program's 8-bit code page.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

std::string WindowText(HWND window);
// The class name, in the usual spelling of the standard controls ("Button", "Edit", ...).
std::string ClassOf(HWND window);
// A menu item's or button's text as shown: no "&" marks, nothing after a tab.
std::string ShownLabel(const std::string& text);

// This thread's top-level window with the caption: a visible one, or always.
HWND FindTopLevelWindow(const std::string& caption, HWND always = nullptr);
// A descendant control by its id, or a button by its shown text; null if there is none.
HWND FindControl(HWND parent, int id);
HWND FindButton(HWND parent, const std::string& label);
// The ids of a window's controls, in the order they were made.
std::vector<int> ControlIds(HWND parent);

// The first text of a dialog or message box: its message.
std::string DialogMessage(HWND dialog);
// The icon a message box shows: MB_ICONERROR, MB_ICONINFORMATION, ... or 0.
UINT MessageBoxIcon(HWND box);
std::vector<std::string> ListItems(HWND list);
// The text of a list view's cell, as its owner gives it for drawing.
std::string ListViewCellText(HWND list, int row, int column);
// The text of one part of a status bar.
std::string StatusBarText(HWND statusBar, int part);
