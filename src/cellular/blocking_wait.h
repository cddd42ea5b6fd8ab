// Turns an asynchronous platform operation into a plain blocking call on the calling thread.
//
// The wait is a platform wait (the OS seam's completion signal), so its time-out is the
// platform's own time: real on Windows, simulated on the simulated notebook. The signal lives
// in the reference-counted completion handler, not on the waiter's stack: the platform keeps
// its own reference while it calls the handler, so a waiter that has already returned (timed
// out, or woken by a completion that raced it) frees nothing that the callback still touches.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "cellular/modem_platform.h"

namespace korvi::cellular {

// The bound of every wait for an asynchronous platform operation (the SAR command, the
// configuration request, the hysteresis request), in the platform's time. An operation that
// never completes must not hang the service while the notebook is still unprotected.
inline constexpr std::chrono::milliseconds kAsyncOperationTimeout{30000};

// What the caller waits for, as the time-out's message names it ("The SAR configuration
// command"): the code alone would not say which of the modem's requests went unanswered.
inline constexpr const wchar_t* kSomeOperation = L"The operation";

// Blocks until the operation has completed. With a time-out (in the platform's time), a
// completion that has not come by then cancels the operation and throws PlatformError with
// kTimeout and "<request> did not complete within <bound> ms."; a completion that still comes
// touches only the handler's own state.
void WaitForCompletion(AsyncInfo& operation, std::optional<std::chrono::milliseconds> timeout = std::nullopt,
                       const wchar_t* request = kSomeOperation);

// Waits, then yields the result or throws the operation's failure (through GetResults).
template <class Result>
Result Wait(AsyncOperation<Result>& operation, std::optional<std::chrono::milliseconds> timeout = std::nullopt,
            const wchar_t* request = kSomeOperation) {
  WaitForCompletion(operation, timeout, request);
  return operation.GetResults();
}

inline void Wait(AsyncAction& action, std::optional<std::chrono::milliseconds> timeout = std::nullopt,
                 const wchar_t* request = kSomeOperation) {
  WaitForCompletion(action, timeout, request);
  action.GetResults();
}

}  // namespace korvi::cellular
