#include "command_line.h"

namespace korvi::supervisor {
namespace {

[[noreturn]] void Refuse(const std::string& what) { throw UsageError(what + "; " + std::string(kUsage)); }

std::string Shown(const std::string& argument) {
  constexpr std::size_t kShown = 40;
  return "\"" + (argument.size() > kShown ? argument.substr(0, kShown) + "..." : argument) + "\"";
}

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
  std::size_t i = 0;
  for (; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      ++i;
      break;
    }
    if (argument == "--log-dir" || argument == "--lives") {
      const bool isLives = argument == "--lives";
      if (isLives ? line.lives.has_value() : line.logDir.has_value()) Refuse(argument + " is given twice");
      if (i + 1 == arguments.size()) Refuse(argument + (isLives ? " needs a number" : " needs a folder"));
      ++i;
      if (isLives) {
        line.lives = ReadLives(arguments[i]);
      } else {
        if (arguments[i].empty()) Refuse("the folder after --log-dir is empty");
        line.logDir = i;
      }
      continue;
    }
    if (!argument.empty() && argument[0] == '-') Refuse("unknown option " + Shown(argument));
    break;
  }
  if (i < arguments.size()) {
    if (arguments[i].empty()) Refuse("the program name is empty");
    line.program = i;
  }
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
