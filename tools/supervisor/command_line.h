// korvi-supervisor's command line, read from narrow forms of the arguments as korvi-capture's
// is (the Windows side takes the wide arguments by the indices given here).
//
//   korvi-supervisor [--log-dir DIR] [--lives N] [--] [PROGRAM [ARGUMENT...]]
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvi::supervisor {

inline constexpr std::string_view kUsage =
    "usage: korvi-supervisor [--log-dir DIR] [--lives N] [--] [PROGRAM [ARGUMENT...]]";

struct CommandLine {
  std::optional<std::size_t> logDir;   // index of the argument that names it; none: %LOCALAPPDATA%\Korvi
  std::optional<unsigned> lives;       // none: for ever
  std::optional<std::size_t> program;  // index of PROGRAM; none: korvi-sar.exe beside the supervisor
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `arguments` without the supervisor's own name. Throws UsageError with one line that names
// what is wrong and ends with the usage line.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

// For a command line that ReadCommandLine refused: the first --log-dir among the options that
// names a folder, so that the refusal reaches the log that was asked for.
std::optional<std::size_t> FindLogDir(const std::vector<std::string>& arguments);

}  // namespace korvi::supervisor
