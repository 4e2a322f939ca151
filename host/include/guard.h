// The barrier at every entry from the system or from another module: window, dialog and hook
// procedures, exports, callbacks into plug-ins and threads. No exception passes it. A failure
// is shown to the user by whoever reports failures (the host's status line), and on the
// thread of the windows an undo group the failed call left open is cancelled, so that what
// it changed so far is put back and the history stays usable.
#pragma once

#include <exception>
#include <new>
#include <utility>

#include "hold.h"
#include "hostapi.h"

enum class Failure { kOutOfMemory, kError };

// Shows a failure to the user. Called on any thread and while a message is being handled:
// a reporter copies what it needs and shows it later, on its own thread.
using FailureReporter = void (*)(Failure failure, const char* detail, void* context);
CORE_API void SetFailureReporter(FailureReporter reporter, void* context);
CORE_API void ReportFailure(Failure failure, const char* detail) noexcept;

// Cancels the undo groups opened above holdDepth, then reports the failure.
CORE_API void RecoverFromFailure(int holdDepth, Failure failure, const char* detail) noexcept;

// The body's result, or failed when it throws. The classification happens here, in the
// module that threw: each module has a runtime of its own.
template <class Result, class Body>
Result Guarded(Result failed, Body&& body) noexcept
{
    const int depth = theHold.Holding();
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        RecoverFromFailure(depth, Failure::kOutOfMemory, nullptr);
    } catch (const std::exception& failure) {
        RecoverFromFailure(depth, Failure::kError, failure.what());
    } catch (...) {
        RecoverFromFailure(depth, Failure::kError, nullptr);
    }
    return failed;
}

template <class Body>
void Guarded(Body&& body) noexcept
{
    Guarded(0, [&body] {
        std::forward<Body>(body)();
        return 0;
    });
}

// For a thread of its own, which never touches the undo hold.
template <class Body>
void GuardedThread(Body&& body) noexcept
{
    try {
        std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        ReportFailure(Failure::kOutOfMemory, nullptr);
    } catch (const std::exception& failure) {
        ReportFailure(Failure::kError, failure.what());
    } catch (...) {
        ReportFailure(Failure::kError, nullptr);
    }
}
