#include "console_stream.h"

#include <string>

#include "os/console_texts.h"

namespace korvi::capture {
namespace {

struct Pattern {
  std::string text;
  ConsoleKind kind;
};

// printf's "%u" with the place given, as the service writes it for that place.
std::string WithPlace(std::string_view format, unsigned place) {
  const std::size_t at = format.find("%u");
  return std::string(format.substr(0, at)) + std::to_string(place) + std::string(format.substr(at + 2));
}

// The service's console messages that the capture reads, from the texts the service writes
// (line breaks as "\n" after folding). The reports of a firmware method call are all listed,
// so that whichever comes first opens the request; several start with a shorter one ("Get",
// "GetObject"), which is why the longest match wins.
std::vector<Pattern> MakePatterns() {
  namespace texts = console_texts;
  std::vector<Pattern> patterns = {
      {texts::kNotification, ConsoleKind::kNotification},
      {texts::kExecMethodReturned, ConsoleKind::kExecMethod},
      {texts::kTerminatingNormally, ConsoleKind::kRequestEnd},
      {texts::kReduceAsked, ConsoleKind::kReduceAsked},
      {texts::kNormalAsked, ConsoleKind::kNormalAsked},
      {texts::kRadioOff, ConsoleKind::kRadioOff},
      {texts::kOutOfMemory, ConsoleKind::kOutOfMemory},
  };
  for (const char* report : {texts::kTextOutOfMemory, texts::kTextOutOfMemoryErr, texts::kCoInitializeReturned,
                             texts::kCoInitializeErr, texts::kCoInitializeSecurityReturned,
                             texts::kCoInitializeSecurityErr, texts::kCoCreateInstanceReturned,
                             texts::kCoCreateInstanceErr, texts::kConnectServerReturned, texts::kConnectServerErr,
                             texts::kCoSetProxyBlanketErr, texts::kExecQueryErr, texts::kNextErr,
                             texts::kGetObjectReturned, texts::kGetObjectErr, texts::kGetMethodReturned,
                             texts::kGetMethodErr, texts::kSpawnInstanceReturned, texts::kSpawnInstanceErr,
                             texts::kGetReturnedValueReturned, texts::kGetReturnedValueErr, texts::kExecMethodErr}) {
    patterns.push_back({report, ConsoleKind::kRequestReport});
  }
  for (unsigned place = 0; place < texts::kPutPlaces; ++place) {
    patterns.push_back({WithPlace(texts::kPutReturned, place),
                        place == texts::kStatePutPlace ? ConsoleKind::kStatePut : ConsoleKind::kRequestReport});
    patterns.push_back({WithPlace(texts::kPutErr, place), ConsoleKind::kRequestReport});
  }
  return patterns;
}

const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = MakePatterns();
  return patterns;
}

constexpr std::size_t kMaxHexDigits = 8;

bool IsHexDigit(char c) noexcept { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::uint32_t HexValue(char c) noexcept {
  return static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
}

}  // namespace

PatternResult MatchPattern(std::string_view pattern, std::string_view text) {
  PatternResult result;
  std::size_t p = 0;
  std::size_t t = 0;
  while (p < pattern.size()) {
    if (t == text.size()) {
      result.match = PatternMatch::kPartial;
      return result;
    }
    if (pattern.substr(p, 2) == "%x") {
      // printf's "%x": no leading zeros, so 1 to 8 digits, and the pattern's next literal
      // (never a hex digit) ends them.
      std::size_t digits = 0;
      std::uint32_t value = 0;
      while (t < text.size() && IsHexDigit(text[t])) {
        if (++digits > kMaxHexDigits) return result;
        value = value * 16 + HexValue(text[t]);
        ++t;
      }
      if (digits == 0) return result;
      result.value = value;
      p += 2;
      continue;
    }
    if (pattern[p] != text[t]) return result;
    ++p;
    ++t;
  }
  result.match = PatternMatch::kFull;
  result.length = t;
  return result;
}

void ConsoleStream::Push(char byte, std::int64_t us) {
  text_.push_back(byte);
  stamps_.push_back(us);
}

std::vector<ConsoleMessage> ConsoleStream::Feed(std::string_view bytes, std::int64_t us) {
  for (const char byte : bytes) {
    if (pendingCr_) {
      pendingCr_ = false;
      if (byte == '\n') {
        Push('\n', us);
        continue;
      }
      Push('\r', pendingCrUs_);
    }
    if (byte == '\r') {
      pendingCr_ = true;
      pendingCrUs_ = us;
    } else {
      Push(byte, us);
    }
  }
  std::vector<ConsoleMessage> out;
  Cut(false, out);
  return out;
}

std::vector<ConsoleMessage> ConsoleStream::Finish() {
  if (pendingCr_) {
    pendingCr_ = false;
    Push('\r', pendingCrUs_);
  }
  std::vector<ConsoleMessage> out;
  Cut(true, out);
  return out;
}

void ConsoleStream::Cut(bool ended, std::vector<ConsoleMessage>& out) {
  std::size_t at = 0;
  while (at < text_.size()) {
    const std::string_view rest = std::string_view(text_).substr(at);
    const Pattern* best = nullptr;
    PatternResult bestResult;
    bool mayGrow = false;
    for (const Pattern& pattern : Patterns()) {
      const PatternResult result = MatchPattern(pattern.text, rest);
      if (result.match == PatternMatch::kPartial) {
        mayGrow = true;
      } else if (result.match == PatternMatch::kFull && result.length > bestResult.length) {
        best = &pattern;
        bestResult = result;
      }
    }
    // A message that may still grow into a longer one ("Err: Get" into "Err: GetObject", a
    // result code into more digits) waits for the next bytes, unless none will come.
    if (mayGrow && !ended) break;
    if (best == nullptr) {
      ++unknown_;
      ++at;
      continue;
    }
    out.push_back(ConsoleMessage{best->kind, stamps_[at + bestResult.length - 1], bestResult.value});
    at += bestResult.length;
  }
  text_.erase(0, at);
  stamps_.erase(stamps_.begin(), stamps_.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace korvi::capture
