#include "command_line.h"

#include "leading_options.h"

namespace korvi::supervisor {
namespace {

[[noreturn]] void Refuse(const std::string& what) { throw UsageError(what + "; " + std::string(kUsage)); }

using capture::Shown;

// A count of lives: decimal digits only, 1 to 1,000,000.
unsigned ReadLives(const std::string& text) {
  constexpr unsigned kMost = 1'000'000;
  unsigned value = 0;
  if (text.empty() || text.size() > 7) Refuse("--lives needs a whole number from 1 to 1000000, got " + Shown(text));
  for (const char c : text) {
    if (c < '0' || c > '9') Refuse("--lives needs a whole number from 1 to 1000000, got " + Shown(text));
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > kMost) Refuse("--lives needs a whole number from 1 to 1000000, got " + Shown(text));
  return value;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  line.program = capture::ReadLeadingOptions(
      arguments,
      [&](std::size_t i) {
        const std::string& argument = arguments[i];
        if (argument != "--log-dir" && argument != "--lives") Refuse("unknown option " + Shown(argument));
        const bool isLives = argument == "--lives";
        if (isLives ? line.lives.has_value() : line.logDir.has_value()) Refuse(argument + " is given twice");
        if (i + 1 == arguments.size()) Refuse(argument + (isLives ? " needs a number" : " needs a folder"));
        if (isLives) {
          line.lives = ReadLives(arguments[i + 1]);
        } else {
          if (arguments[i + 1].empty()) Refuse("the folder after --log-dir is empty");
          line.logDir = i + 1;
        }
        return i + 1;
      },
      Refuse);
  return line;
}

std::optional<std::size_t> FindLogDir(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--" || argument.empty() || argument[0] != '-') break;  // the options end there
    if (argument == "--log-dir" && !arguments[i + 1].empty()) return i + 1;
    if (argument == "--log-dir" || argument == "--lives") ++i;  // its value is no option
  }
  return std::nullopt;
}

}  // namespace korvi::supervisor
