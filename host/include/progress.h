// Long work says how far it has got; whoever listens (the application's status line) decides
// whether the work has taken long enough to show it. Plain C++.
#pragma once

#include "hostapi.h"

class ProgressListener {
public:
    // total is 0 when the amount of work is not known beforehand.
    virtual void Progress(int done, int total) = 0;

protected:
    ~ProgressListener() = default;
};

CORE_API void SetProgressListener(ProgressListener* listener);

// Cheap enough to call for every node: the listener hears of the start of the work (done 0)
// and of every 4096th call.
CORE_API void ReportProgress(int done, int total);
