// Idle: the service monitoring with nothing happening. The loop waits on its event, bounded at
// a minute, so it should neither wake nor spend CPU but for one radio check a minute; the
// other threads' context switches show any polling or timer, in the service or in the
// platform under it.
#include <thread>

#include "bench_notebook.h"
#include "controller/service.h"
#include "benchmarks.h"
#include "thread_activity.h"

namespace korvi::bench {

void RunIdle(const Options& options, Report& report) {
  const double seconds = options.Seconds("seconds", 10.0);

  BenchNotebook notebook(0);
  notebook.StartService();
  // Start-up is over once the loop waits; give its last writes a moment to finish.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  const std::int64_t wakeupsBefore = notebook.os().Wakeups();
  const std::int64_t checksBefore = notebook.os().Timeouts();
  const std::int64_t switchesBefore = OtherThreadsContextSwitches();
  const double cpuBefore = ProcessCpuSeconds();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  const std::int64_t switches = OtherThreadsContextSwitches() - switchesBefore;
  const std::int64_t wakeups = notebook.os().Wakeups() - wakeupsBefore;
  const std::int64_t checks = notebook.os().Timeouts() - checksBefore;

  notebook.FinishService();

  char duration[32];
  std::snprintf(duration, sizeof duration, "%.1f s", seconds);
  char cpuText[32];
  std::snprintf(cpuText, sizeof cpuText, "%.6f s", cpu);
  const std::string name = "Idle";
  report.Row(name, "monitoring with nothing happening", duration);
  report.Row(name, "loop wake-ups", FormatCount(wakeups) + (wakeups == 0 ? " (no polling)" : " (the loop polls!)"));
  report.Row(name, "radio checks at the wait's bound (one a minute expected)",
             FormatCount(checks) + " in " + duration + ", bound " +
                 std::to_string(controller::kTxEventWaitBound.count() / 1000) + " s");
  report.Row(name, "context switches of the service's threads", FormatCount(switches));
  report.Row(name, "CPU time, user + system (getrusage, whole process)", cpuText);
}

}  // namespace korvi::bench
