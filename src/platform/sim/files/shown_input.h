// How an error line shows a piece of input (a path, a key, a value, the JSON library's own
// message): on one printable ASCII line and short, whatever the input holds. A key of a
// megabyte or a byte that is not valid UTF-8 must not end up raw on a terminal or in a log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvi::sim {

// The most characters of one piece of input that an error line shows (escapes counted as
// they are shown); a piece that is cut is marked with "...".
inline constexpr std::size_t kShownInputLimit = 80;

// Printable ASCII as it is, every other byte as \xNN; longer input is cut at its end and
// followed by "...".
std::string ShownInput(std::string_view input);

// As ShownInput, never cut: for text whose length is bounded already (a library's own words).
std::string EscapedInput(std::string_view input);

// The same for a path, cut at its start instead ("..." first), so that the file's own name
// (or the last key) stays in view.
std::string ShownPath(std::string_view path, std::size_t limit = kShownInputLimit);

// A string in double quotes as JSON writes one (\" \\ \n \r \t), every other byte that is
// not printable ASCII as \xNN; longer input is cut and "..." follows the closing quote.
std::string QuotedInput(std::string_view input);

}  // namespace korvi::sim
