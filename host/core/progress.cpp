#include "progress.h"

namespace {

ProgressListener* listener = nullptr;
unsigned int calls = 0;

}  // namespace

void SetProgressListener(ProgressListener* newListener) { listener = newListener; }

void ReportProgress(int done, int total)
{
    if (!listener || (done != 0 && (++calls & 4095) != 0)) return;
    listener->Progress(done, total);
}
