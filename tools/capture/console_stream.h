// The service's standard output as korvi-capture reads it from the pipe: bytes in chunks of
// any size, the C runtime's CR LF for each line break, and messages that carry no separator
// of their own ("...SetEvent(TxEvent).CoInitialize returned 0x80010106:"). The handler's line
// comes from another thread and may fall between any two messages of the main thread, never
// inside one (each message is one locked write).
//
// ConsoleStream cuts that stream back into the messages the capture needs, each stamped with
// the arrival time of its last byte. Text it does not know (the start-up messages, anything
// unforeseen) is passed over byte by byte, so a known message right after it is still found.
// It holds back only what may still grow into a known message, so what it keeps is bounded by
// the longest message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvi::capture {

enum class ConsoleKind {
  kNotification,    // the transmission-state handler's line
  kRequestReport,   // any report of one firmware method call but those below
  kStatePut,        // the Put of InECX, which carries the state asked for; `value` holds its result
  kExecMethod,      // the method's result; `value` holds it
  kRequestEnd,      // "Terminating normally", the call's last report
  kReduceAsked,     // the loop's report after a request for reduced WLAN power
  kNormalAsked,     // the same after a request for normal power
  kRadioOff,        // the loop found the cellular side off
  kOutOfMemory,     // the run ends for lack of memory, a request cut short
};

struct ConsoleMessage {
  ConsoleKind kind;
  std::int64_t us;          // arrival of its last byte
  std::uint32_t value = 0;  // kExecMethod, kStatePut: the result code
};

class ConsoleStream {
 public:
  // Adds bytes that arrived at `us` (not earlier than any before) and returns the messages
  // that are now complete, in order.
  std::vector<ConsoleMessage> Feed(std::string_view bytes, std::int64_t us);
  // The stream has ended: what is held back is taken as it stands.
  std::vector<ConsoleMessage> Finish();

  // Bytes that belonged to no message the capture knows.
  std::size_t unknownBytes() const noexcept { return unknown_; }

 private:
  void Push(char byte, std::int64_t us);
  void Cut(bool ended, std::vector<ConsoleMessage>& out);

  std::string text_;                 // CR LF already folded to LF
  std::vector<std::int64_t> stamps_; // the arrival of each byte of text_
  bool pendingCr_ = false;           // a CR whose LF may come with the next chunk
  std::int64_t pendingCrUs_ = 0;
  std::size_t unknown_ = 0;
};

// How a text matches one message pattern ("%x" stands for 1 to 8 lower-case hex digits).
enum class PatternMatch { kNo, kPartial, kFull };
struct PatternResult {
  PatternMatch match = PatternMatch::kNo;
  std::size_t length = 0;   // kFull: the bytes matched
  std::uint32_t value = 0;  // kFull: the hex hole's value, if the pattern has one
};
// Matches `pattern` at the start of `text`. kPartial: `text` ran out while still matching.
PatternResult MatchPattern(std::string_view pattern, std::string_view text);

}  // namespace korvi::capture
