// Storm: a burst of notifications as fast as one platform thread can deliver them, into the
// real handler and loop, with the firmware answering at once or taking its time. The loop is
// meant to collapse whatever arrives during a firmware call into one wake-up, and its last
// firmware call must ask for the power that the last notification calls for; the run checks
// that from the firmware's own record and fails loudly when it does not hold.
#include <stdexcept>
#include <string>

#include "bench_notebook.h"
#include "benchmarks.h"
#include "thread_activity.h"

namespace korvi::bench {
namespace {

// InECX and InEDX of ExecINT: 1 normal power, 2 reduced.
constexpr std::uint32_t kNormal = 1;
constexpr std::uint32_t kReduced = 2;

const char* PowerName(std::uint32_t value) {
  return value == kNormal ? "normal" : value == kReduced ? "reduced" : "unknown";
}

void CheckLastCall(const BenchNotebook& notebook, bool lastTransmitting) {
  const auto calls = notebook.firmware().Calls();
  if (calls.empty()) throw CheckFailed("no firmware call reached the firmware");
  const std::uint32_t wanted = lastTransmitting ? kReduced : kNormal;
  const auto& last = calls.back();
  if (last.inputs[2] != wanted || last.inputs[3] != wanted) {
    throw CheckFailed(std::string("the last notification said ") + (lastTransmitting ? "transmitting" : "not transmitting") +
                      ", so the last firmware call should ask for " + PowerName(wanted) + " power, but it asked for " +
                      PowerName(last.inputs[2]) + " (InECX " + std::to_string(last.inputs[2]) + ", InEDX " +
                      std::to_string(last.inputs[3]) + ")");
  }
}

}  // namespace

void RunStorm(const Options& options, Report& report) {
  const std::int64_t count = options.Count("notifications", 1'000'000, 1);
  const std::int64_t firmwareMs = options.Count("firmware-ms", 0, 0);
  // The states alternate so that every notification is a change; the last one says
  // "transmitting" unless asked otherwise, the ending whose loss would leave the WLAN at
  // full power beside a transmitting modem.
  const std::int64_t endsTransmitting = options.Count("ends-transmitting", 1, 0);
  if (endsTransmitting > 1) throw UsageError("storm: --ends-transmitting: expected 0 or 1");
  const bool lastState = endsTransmitting == 1;
  auto stateOf = [&](std::int64_t i) { return ((count - 1 - i) % 2 == 0) == lastState; };

  BenchNotebook notebook(firmwareMs);
  notebook.StartService();

  const auto began = std::chrono::steady_clock::now();
  for (std::int64_t i = 0; i < count; ++i) {
    if (!notebook.modem().DeliverNow(stateOf(i))) throw CheckFailed("monitoring stopped during the storm");
  }
  const auto delivered = std::chrono::steady_clock::now();
  notebook.FinishService();
  const auto ended = notebook.os().EndedAt();

  if (const std::int64_t failures = notebook.modem().counts().handlerFailures; failures != 0) {
    throw CheckFailed(std::to_string(failures) + " handler calls answered a failure");
  }
  if (notebook.os().Signals() != count) {
    throw CheckFailed(FormatCount(count) + " notifications signalled the loop's event " +
                      FormatCount(notebook.os().Signals()) + " times");
  }
  const auto reached = static_cast<std::int64_t>(notebook.firmware().Calls().size());
  if (reached != notebook.wmi().Count(TimedWmi::Moment::kCallStart)) {
    throw CheckFailed(FormatCount(notebook.wmi().Count(TimedWmi::Moment::kCallStart)) + " firmware calls started but " + FormatCount(reached) +
                      " reached the firmware");
  }
  CheckLastCall(notebook, lastState);

  // The storm's window opens at the first delivery or at the first firmware call, whichever
  // came first (a call the service made on its own before the storm counts towards the
  // window, as it holds the loop), and closes when the last firmware call has ended. Every
  // call's ExecMethod lies inside it, one after another on the loop's thread, so it can never
  // be shorter than the calls' working time; a window that is would be a figure that cannot
  // be true, a fault of the benchmark's own timing rather than of the service.
  const auto firstCall = notebook.wmi().First(TimedWmi::Moment::kCallStart);
  const auto opened = firstCall && *firstCall < began ? *firstCall : began;
  const std::chrono::milliseconds working(reached * firmwareMs);
  if (ended - opened < working) {
    throw std::runtime_error("the storm's window of " + FormatDuration(ended - opened) + " is shorter than its " +
                             FormatCount(reached) + " firmware calls of " + std::to_string(firmwareMs) +
                             " ms each: its timing cannot be trusted");
  }
  auto perSecond = [&](std::chrono::steady_clock::time_point end) {
    const double seconds = std::chrono::duration<double>(end - opened).count();
    return seconds > 0.0 ? FormatCount(static_cast<std::int64_t>(static_cast<double>(count) / seconds)) : "n/a";
  };
  const std::string name = "Storm, firmware " + (firmwareMs == 0 ? std::string("at once") : std::to_string(firmwareMs) + " ms");
  report.Row(name, "notifications delivered", FormatCount(count));
  report.Row(name, "window (first delivery or firmware call to the last call's end)", FormatDuration(ended - opened));
  report.Row(name, "notifications handled per second (to the last firmware call's end)", perSecond(ended));
  report.Row(name, "notifications delivered per second (the platform thread alone)", perSecond(delivered));
  report.Row(name, "loop wake-ups", FormatCount(notebook.os().Wakeups()));
  report.Row(name, "firmware calls", FormatCount(reached));
  report.Row(name, "peak RSS", FormatKibibytes(PeakResidentKibibytes()));
  report.Row(name, "last firmware call = last delivered state",
             std::string("yes, checked (") + PowerName(lastState ? kReduced : kNormal) + " power)");
}

}  // namespace korvi::bench
