#include "provider_notebook.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <ostream>
#include <string>

#include "default_scenario.h"
#include "platform/sim/scenario_file.h"

namespace korvi::fake {
namespace {

constexpr UINT kExitBadInput = 2;

// The service writes its debug messages with the real OutputDebugStringW; the simulated
// notebook's own debug sink is never asked to write anything here.
class NoDebugSink final : public sim::DebugSink {
 public:
  void Write(std::string_view) noexcept override {}
};

// KORVI_WINE_SLOWDOWN=N runs simulated time N times slower than the scenario says. The
// scheduler's clock runs while the service's main thread works, and under Wine that work
// (COM activation, the wine server's round trips) takes far longer than on Linux; on a busy
// machine a scenario at speed 100 then sees its later timeline items come due in a burst
// before the service gets to park, and its output differs from the Linux one. Slower time
// keeps that work small against the scenario's durations; the order of events is the same.
double Slowdown() {
  const char* text = std::getenv("KORVI_WINE_SLOWDOWN");
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double slowdown = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(slowdown >= 1.0 && slowdown <= 1000.0)) {
    throw sim::ScenarioError(std::string("KORVI_WINE_SLOWDOWN: expected a number from 1 to 1000, got \"") + text +
                             "\"");
  }
  return slowdown;
}

sim::Scenario LoadScenario() {
  const char* path = std::getenv("KORVI_SIM_SCENARIO");
  sim::Scenario scenario = path != nullptr && *path != '\0'
                               ? sim::ParseScenario(sim::ReadScenarioFile(path), path)
                               : sim::ParseScenario(sim::kDefaultScenario, "embedded default scenario");
  scenario.speed /= Slowdown();
  return scenario;
}

}  // namespace

ProviderNotebook* ProviderNotebook::Make() {
  try {
    return new ProviderNotebook(LoadScenario());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvi-sar: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "korvi-sar: the simulated notebook could not be built\n");
  }
  std::fflush(stdout);
  std::fflush(stderr);
  ExitProcess(kExitBadInput);
}

namespace {
std::atomic<ProviderNotebook*> made{nullptr};
}  // namespace

ProviderNotebook& ProviderNotebook::Get() {
  static ProviderNotebook* const notebook = [] {
    ProviderNotebook* created = Make();
    made.store(created, std::memory_order_release);
    return created;
  }();
  return *notebook;
}

ProviderNotebook* ProviderNotebook::IfMade() noexcept { return made.load(std::memory_order_acquire); }

// The service's debug messages go out through the real OutputDebugStringW, so the
// notebook's own sink stays silent here. Start installs the simulated seams in this DLL's own
// copy of the seam slots, which nothing here reads.
ProviderNotebook::ProviderNotebook(const sim::Scenario& scenario)
    : notebook_(scenario, std::make_unique<NoDebugSink>()) {
  notebook_.Start();
}

void ProviderNotebook::Stop(int exitCode) {
  if (stopped_) return;
  stopped_ = true;
  notebook_.RecordExit(exitCode);
  notebook_.Stop();
}

}  // namespace korvi::fake
