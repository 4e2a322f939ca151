// The two modal questions a run asks about one node: several matching lines (dialog 103) and
// confirming a replacement (dialog 104).
#pragma once

#include <windows.h>

#include <cstdint>

// Handed to a question as its creation parameter; lives in the asker's frame.
struct QueryParams {
    int32_t answer;    // id of the button that closed the dialog; the asker sets 0
    const char* text;  // the message; the asker keeps it alive until the dialog returns
};

INT_PTR CALLBACK MultiMatchProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReplaceConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Run a question owned by owner and return the id of the button pressed, or 0 when the
// dialog could not be shown or was closed some other way.
int MultiMatchDialog(HWND owner, const char* text);
int ReplaceConfirmDialog(HWND owner, const char* text);
