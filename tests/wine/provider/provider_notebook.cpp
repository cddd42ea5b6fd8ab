#include "provider_notebook.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <ostream>
#include <string>

#include "platform/sim/scenario/scenario_source.h"
#include "reaction_stamps.h"
#include "service_hooks.h"

namespace korvi::fake {
namespace {

constexpr UINT kExitBadInput = 2;

// The service writes its debug messages with the real OutputDebugStringW; the simulated
// notebook's own debug sink is never asked to write anything here.
class NoDebugSink final : public sim::DebugSink {
 public:
  void Write(std::string_view) noexcept override {}
};

}  // namespace

Kernel KernelOfTheService() {
  const char* text = std::getenv("KORVI_WINE_KERNEL");
  if (text == nullptr || *text == '\0' || std::string(text) == "simulated") return Kernel::kSimulated;
  if (std::string(text) == "real") return Kernel::kReal;
  throw sim::ScenarioError(std::string("KORVI_WINE_KERNEL: expected \"simulated\" or \"real\", got \"") + text + "\"");
}

ProviderNotebook* ProviderNotebook::Make() {
  try {
    return new ProviderNotebook(sim::LoadScenario(std::getenv("KORVI_SIM_SCENARIO")));
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
namespace {
// KORVI_SIM_TRACE names the trace file, as on Linux; a path that cannot be opened ends the run
// with exit code 2 (through Make).
std::unique_ptr<sim::TraceFile> TraceFileFromEnvironment() {
  const char* path = std::getenv("KORVI_SIM_TRACE");
  if (path == nullptr || *path == '\0') return nullptr;
  return sim::TraceFile::Open(path);
}
}  // namespace

ProviderNotebook::ProviderNotebook(const sim::LoadedScenario& scenario)
    : notebook_(scenario, std::make_unique<NoDebugSink>(), TraceFileFromEnvironment(),
                KernelOfTheService() == Kernel::kReal ? sim::Clock::kRealTime : sim::Clock::kVirtual) {
  // Called inside the service's bounded wait with nothing left to happen: the run ends there,
  // as on Linux, rather than checking the radio once a minute for ever.
  notebook_.WhenTimelineSpent([] { EndRunWhenTimelineSpent(); });
  notebook_.Start();
}

void ProviderNotebook::Stop(int exitCode) {
  if (stopped_) return;
  stopped_ = true;
  notebook_.RecordExit(exitCode);
  notebook_.Stop();
  stamps::WriteIfAsked();
}

}  // namespace korvi::fake
