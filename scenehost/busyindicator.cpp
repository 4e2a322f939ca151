#include "busyindicator.h"

#include <commctrl.h>

#include "hosttexts.h"
#include "resource.h"

namespace {

const DWORD kQuietMilliseconds = 500;    // work shorter than this shows nothing
const DWORD kRefreshMilliseconds = 100;  // the status line changes at most this often

}  // namespace

void BusyIndicator::Attach(HWND owner, HWND status, UINT idleMessage, Clock clock)
{
    owner_ = owner;
    status_ = status;
    idleMessage_ = idleMessage;
    clock_ = clock;
}

void BusyIndicator::Start(const std::string& task)
{
    if (!working_) Begin();
    task_ = task;
}

void BusyIndicator::Progress(int done, int total)
{
    if (!working_) Begin();
    const DWORD now = clock_();
    if (now - started_ < kQuietMilliseconds) return;
    if (showing_ && now - shown_ < kRefreshMilliseconds) return;
    shown_ = now;
    Show(done, total);
}

void BusyIndicator::Idle(const char* statusText)
{
    if (!working_) return;
    working_ = false;
    task_.clear();
    if (!showing_) return;
    showing_ = false;
    SetCursor(previousCursor_);
    SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(statusText));
}

void BusyIndicator::Begin()
{
    working_ = true;
    started_ = clock_();
    PostMessageA(owner_, idleMessage_, 0, 0);
}

void BusyIndicator::Show(int done, int total)
{
    if (!showing_) {
        showing_ = true;
        previousCursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    }
    const std::string task = task_.empty() ? HostText(IDS_WORKING) : task_;
    const std::string text =
        total > 0 && done >= 0
            ? HostMessage(IDS_WORKING_PERCENT,
                          {task, std::to_string(static_cast<long long>(done) * 100 / total)})
            : HostMessage(IDS_WORKING_ON, {task});
    SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // The work goes on without a message loop: the status line paints now.
    UpdateWindow(status_);
}
