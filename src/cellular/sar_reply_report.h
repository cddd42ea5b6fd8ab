// The text that InitSAR writes to the debug channel about the modem's reply to the SAR
// command: the reply's header words, then each antenna entry where its offset/size pair says
// it lies. It is read by people diagnosing a notebook, so it says in one line where the reply
// contradicts itself instead of showing bytes that are not there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace korvi::cellular {

// Entries shown at most: a notebook has a handful of antennas, and the report stays short
// whatever the element count claims.
inline constexpr std::size_t kMostReportedElements = 16;

// Each line starts with a line break; the text ends without one. The first six lines are the
// fields of ParseSARConfigReply (SAR mode to the first pair's offset and size), so the ordinary
// one-element reply reads as its eight fields. The first element's antenna and back-off index
// follow, then each further element's four lines in the same order; a reply that counts no
// element ends after the six. An entry that is too short or lies outside the reply, a count
// the reply has no room for and elements past the shown ones each get one line instead.
// A reply shorter than 32 bytes cannot hold even one element: its report is the eight fields
// at their fixed places, the missing words 0.
std::string RenderSARConfigReply(std::span<const std::uint8_t> responseData);

}  // namespace korvi::cellular
