// Shows that long work is under way: once it has taken half a second, a wait cursor and the
// work's progress in the status line, until the application's message loop runs again.
#pragma once

#include <windows.h>

#include <string>

#include "progress.h"

class BusyIndicator : public ProgressListener {
public:
    typedef DWORD (*Clock)();

    // idleMessage is posted to owner when work starts; its arrival means the work is over.
    void Attach(HWND owner, HWND status, UINT idleMessage, Clock clock = GetTickCount);
    // Names the work that starts now; work that reports without a name is "Working".
    void Start(const std::string& task);
    void Progress(int done, int total) override;
    // The message loop runs again: the work is over, or waits for an answer. The status
    // line gets statusText back.
    void Idle(const char* statusText);
    bool Showing() const { return showing_; }

private:
    void Begin();
    void Show(int done, int total);

    HWND owner_ = nullptr;
    HWND status_ = nullptr;
    UINT idleMessage_ = 0;
    Clock clock_ = GetTickCount;
    std::string task_;
    bool working_ = false;
    bool showing_ = false;
    DWORD started_ = 0;
    DWORD shown_ = 0;
    HCURSOR previousCursor_ = nullptr;
};
