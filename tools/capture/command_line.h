// korvi-capture's command line, read from narrow forms of the arguments (the Windows side
// keeps the wide arguments and takes them by the indices given here, so no text is
// converted). Options are ASCII; two arguments are the same exactly when their forms are.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvi::capture {

inline constexpr std::string_view kUsage =
    "usage: korvi-capture [--debug-file FILE] [--trace FILE] [--] [PROGRAM [ARGUMENT...]]";

// The help text for --help, on standard output; its first line is the usage line.
std::string HelpText();

struct CommandLine {
  bool help = false;
  std::optional<std::size_t> debugFile;  // index of the argument that names it
  std::optional<std::size_t> trace;
  std::optional<std::size_t> program;    // index of PROGRAM; none: korvi-sar.exe beside the capture
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `arguments` without the program's own name. Throws UsageError with one line that names
// what is wrong and ends with the usage line.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

}  // namespace korvi::capture
