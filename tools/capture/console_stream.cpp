#include "console_stream.h"

#include <array>

namespace korvi::capture {
namespace {

struct Pattern {
  std::string_view text;
  ConsoleKind kind;
};

// The service's console messages that the capture reads, as the service writes them (line
// breaks as "\n" after folding). The reports of a firmware method call are all listed, so
// that whichever comes first opens the request; several start with a shorter one ("Get",
// "GetObject"), which is why the longest match wins.
constexpr std::array kPatterns = {
    Pattern{"\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).", ConsoleKind::kNotification},
    Pattern{"SysAllocString failed. Out of memory.\n", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: xxx", ConsoleKind::kRequestReport},
    Pattern{"CoInitialize returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: CoInitialize", ConsoleKind::kRequestReport},
    Pattern{"CoInitializeSecurity returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: CoInitializeSecurity", ConsoleKind::kRequestReport},
    Pattern{"CoCreateInstance returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: CoCreateInstance", ConsoleKind::kRequestReport},
    Pattern{"\nConnectServer returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: ConnectServer", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: CoSetProxyBlanket", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: ExecQuery", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Next", ConsoleKind::kRequestReport},
    Pattern{"\nGetObject returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: GetObject", ConsoleKind::kRequestReport},
    Pattern{"\nGetMethod returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: GetMethod", ConsoleKind::kRequestReport},
    Pattern{"\nSpawnInstance returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: SpawnInstance", ConsoleKind::kRequestReport},
    Pattern{"\nPut ArgName0 returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\nPut ArgName1 returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\nPut ArgName2 returned 0x%x:", ConsoleKind::kStatePut},  // InECX
    Pattern{"\nPut ArgName3 returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\nPut ArgName4 returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\nPut ArgName5 returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Put ArgName0", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Put ArgName1", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Put ArgName2", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Put ArgName3", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Put ArgName4", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Put ArgName5", ConsoleKind::kRequestReport},
    Pattern{"\npObj Get returned 0x%x:", ConsoleKind::kRequestReport},
    Pattern{"\n[-] Err: Get", ConsoleKind::kRequestReport},
    Pattern{"\nExecMethod returned 0x%x:", ConsoleKind::kExecMethod},
    Pattern{"\n[-] Err: ExecMethod", ConsoleKind::kRequestReport},
    Pattern{"Terminating normally\n", ConsoleKind::kRequestEnd},
    Pattern{"\nSetWLANTxState_WLANREDUCE()", ConsoleKind::kReduceAsked},
    Pattern{"\nSetWLANTxState_WLANNORMAL()", ConsoleKind::kNormalAsked},
    Pattern{"\nKorvi::GetRadioState()  Off", ConsoleKind::kRadioOff},
    Pattern{"\nKorvi: out of memory: exiting", ConsoleKind::kOutOfMemory},
};

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
    for (const Pattern& pattern : kPatterns) {
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
