// The main window's own messages and the ids of the windows inside it, in one place: the
// parts that post to the main window and the tests that find its controls take them here.
#pragma once

#include <windows.h>

// Posted to the main window.
constexpr UINT WM_APP_CLOSE_PANEL = WM_APP + 1;     // a utility asked to close the panel
constexpr UINT WM_APP_SYNC_SELECTION = WM_APP + 2;  // the user changed the node list's rows
constexpr UINT WM_APP_IDLE_AGAIN = WM_APP + 3;      // the message loop runs again after work
constexpr UINT WM_APP_LAYOUT = WM_APP + 4;          // the panel's pages changed: lay out again
constexpr UINT WM_APP_FAILED = WM_APP + 5;          // an action failed: show why
constexpr UINT WM_APP_HEADER_MENU = WM_APP + 6;     // a right click on the table's header
constexpr UINT WM_APP_CELL_EDIT_END = WM_APP + 7;   // the cell editor lost the focus
constexpr UINT WM_APP_SORT_DONE = WM_APP + 8;       // the table's sort thread finished

// Posted to the filter bar.
constexpr UINT WM_APP_SEARCH_DONE = WM_APP + 10;  // the worker finished a search
constexpr UINT WM_APP_REFRESH = WM_APP + 11;      // search again once texts stopped changing

// Children of the main window.
constexpr int kNodeListId = 200;
constexpr int kStatusBarId = 201;
constexpr int kFilterBarId = 202;
constexpr int kUtilityChooserId = 300;

// Children of the filter bar.
constexpr int kFilterFieldId = 1;
constexpr int kFilterModeId = 2;
constexpr int kFilterCountId = 3;
