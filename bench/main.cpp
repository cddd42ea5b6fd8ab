// korvi-bench: one benchmark per run, its figures as rows of a Markdown table on standard
// output. bench/run runs them all and prints the table's head. The benchmarks and their
// options are in kUsage, which --help prints.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "benchmarks.h"
#include "quiet_console.h"

namespace {

constexpr const char* kUsage =
    "usage: korvi-bench BENCHMARK [OPTIONS]\n"
    "  korvi-bench reaction [--changes N]\n"
    "  korvi-bench storm [--notifications N] [--firmware-ms M] [--ends-transmitting 0|1]\n"
    "  korvi-bench idle [--seconds S]\n"
    "  korvi-bench startup --binary PATH [--runs N]\n"
    "  korvi-bench default-scenario --binary PATH\n"
    "  korvi-bench wine-reaction --stamps FILE --wake FILE\n"
    "Prints the benchmark's figures as rows of a Markdown table; bench/run runs them all.\n"
    "Exit codes: 0 figures printed, 1 a check found the service at fault, 2 bad usage or a\n"
    "benchmark that could not be set up.\n";

constexpr int kExitCheckFailed = 1;
constexpr int kExitUnusable = 2;

using namespace korvi::bench;

int RunInProcess(void (*benchmark)(const Options&, Report&), const Options& options) {
  // Console quiet for the service; the rows go to the standard output we started with.
  QuietConsole console;
  Report report(console.report());
  benchmark(options, report);
  return 0;
}

int Run(const std::string& name, int argc, char** argv) {
  if (name == "reaction") return RunInProcess(RunReaction, Options(name, argc, argv, {"changes"}));
  if (name == "storm") {
    return RunInProcess(RunStorm, Options(name, argc, argv, {"notifications", "firmware-ms", "ends-transmitting"}));
  }
  if (name == "idle") return RunInProcess(RunIdle, Options(name, argc, argv, {"seconds"}));
  Report report(stdout);
  if (name == "startup") {
    RunStartup(Options(name, argc, argv, {"binary", "runs"}), report);
    return 0;
  }
  if (name == "default-scenario") {
    RunDefaultScenario(Options(name, argc, argv, {"binary"}), report);
    return 0;
  }
  if (name == "wine-reaction") {
    RunWineReaction(Options(name, argc, argv, {"stamps", "wake"}), report);
    return 0;
  }
  throw UsageError("unknown benchmark \"" + name +
                   "\" (expected reaction, storm, idle, startup, default-scenario or wine-reaction)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "korvi-bench: expected a benchmark: reaction, storm, idle, startup, default-scenario or wine-reaction\n";
    return kExitUnusable;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    if (std::cout << kUsage << std::flush) return 0;
    std::cerr << "korvi-bench: --help: cannot write the usage to standard output\n";
    return kExitUnusable;
  }
  try {
    return Run(name, argc - 2, argv + 2);
  } catch (const CheckFailed& failure) {
    std::cerr << "korvi-bench: " << name << ": CHECK FAILED: " << failure.what() << "\n";
    return kExitCheckFailed;
  } catch (const UsageError& error) {
    std::cerr << "korvi-bench: " << error.what() << "\n";
    return kExitUnusable;
  } catch (const std::exception& error) {
    std::cerr << "korvi-bench: " << name << ": " << error.what() << "\n";
    return kExitUnusable;
  }
}
