// Where the guards at the entries report what failed.
#include <cstdio>
#include <mutex>

#include "guard.h"

namespace {

std::mutex reporterLock;  // reports come from any thread
FailureReporter reporter = nullptr;
void* reporterContext = nullptr;

}  // namespace

void SetFailureReporter(FailureReporter report, void* context)
{
    std::lock_guard<std::mutex> lock(reporterLock);
    reporter = report;
    reporterContext = context;
}

void ReportFailure(Failure failure, const char* detail) noexcept
{
    try {
        std::lock_guard<std::mutex> lock(reporterLock);
        if (reporter)
            reporter(failure, detail, reporterContext);
        else  // nobody shows failures yet, or any more
            std::fprintf(stderr, "%s\n", detail                              ? detail
                                           : failure == Failure::kOutOfMemory ? "out of memory"
                                                                            : "an action failed");
    } catch (...) {
        // The report itself failed; the action has stopped all the same.
    }
}

void RecoverFromFailure(int holdDepth, Failure failure, const char* detail) noexcept
{
    try {
        theHold.CancelOpenGroups(holdDepth);
    } catch (...) {
        // A record failed to put its change back; the report still goes out.
    }
    ReportFailure(failure, detail);
}
