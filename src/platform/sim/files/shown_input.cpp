#include "platform/sim/files/shown_input.h"

#include <cstdio>
#include <vector>

namespace korvi::sim {
namespace {

constexpr std::string_view kCut = "...";

bool Printable(unsigned char byte) { return byte >= 0x20 && byte <= 0x7E; }

std::string Hex(unsigned char byte) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02x", byte);
  return text;
}

std::string PlainEscape(unsigned char byte) { return Printable(byte) ? std::string(1, static_cast<char>(byte)) : Hex(byte); }

std::string JsonEscape(unsigned char byte) {
  switch (byte) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return PlainEscape(byte);
  }
}

// The shown form of each byte, from the front, until the next would pass the limit.
template <typename Escape>
std::string HeadOf(std::string_view input, Escape escape, bool& cut) {
  std::string shown;
  cut = false;
  for (const char c : input) {
    const std::string piece = escape(static_cast<unsigned char>(c));
    if (shown.size() + piece.size() > kShownInputLimit) {
      cut = true;
      break;
    }
    shown += piece;
  }
  return shown;
}

}  // namespace

std::string ShownInput(std::string_view input) {
  bool cut = false;
  std::string shown = HeadOf(input, PlainEscape, cut);
  return cut ? shown + std::string(kCut) : shown;
}

std::string EscapedInput(std::string_view input) {
  std::string shown;
  for (const char c : input) shown += PlainEscape(static_cast<unsigned char>(c));
  return shown;
}

std::string ShownPath(std::string_view path, std::size_t limit) {
  // The same walk from the back: the pieces are collected in reverse and then joined.
  std::vector<std::string> pieces;
  std::size_t length = 0;
  bool cut = false;
  for (auto at = path.rbegin(); at != path.rend(); ++at) {
    std::string piece = PlainEscape(static_cast<unsigned char>(*at));
    if (length + piece.size() > limit) {
      cut = true;
      break;
    }
    length += piece.size();
    pieces.push_back(std::move(piece));
  }
  std::string shown = cut ? std::string(kCut) : std::string();
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) shown += *piece;
  return shown;
}

std::string QuotedInput(std::string_view input) {
  bool cut = false;
  std::string shown(1, '"');
  shown += HeadOf(input, JsonEscape, cut);
  shown += '"';
  if (cut) shown += kCut;
  return shown;
}

}  // namespace korvi::sim
