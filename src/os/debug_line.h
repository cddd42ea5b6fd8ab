// One debug message as one line of a file: the form of the simulated notebook's debug log and
// of the debug file that korvi-capture writes, so that the two compare line for line.
#pragma once

#include <string>
#include <string_view>

namespace korvi::os {

// A line break, carriage return or backslash inside the message is written as "\n", "\r" or
// "\\"; every other byte stays as it is.
std::string OneLine(std::string_view message);

}  // namespace korvi::os
