// The command-line shape that korvi-capture and korvi-supervisor share:
//   TOOL [OPTION...] [--] [PROGRAM [ARGUMENT...]]
// The tool's options come first; "--", or the first argument that does not start with '-',
// ends them, so that every argument from PROGRAM on is the program's own, however it looks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace korvi::capture {

// Quotes a piece of the command line in an error, cut to keep the line short.
std::string Shown(const std::string& argument);

// Calls takeOption(i) for each of the tool's options, which returns the index of the last
// argument it took (i, or i + 1 with a value) or calls refuse; returns PROGRAM's index, if
// one is given. refuse(text) must not return.
template <class TakeOption, class Refuse>
std::optional<std::size_t> ReadLeadingOptions(const std::vector<std::string>& arguments, TakeOption takeOption,
                                              Refuse refuse) {
  std::size_t i = 0;
  for (; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      ++i;
      break;
    }
    if (argument.empty() || argument[0] != '-') break;
    i = takeOption(i);
  }
  if (i == arguments.size()) return std::nullopt;
  if (arguments[i].empty()) refuse("the program name is empty");
  return i;
}

}  // namespace korvi::capture
