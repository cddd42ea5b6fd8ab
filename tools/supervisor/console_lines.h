// The service's standard output cut into lines for the field log, each stamped with the
// arrival of its last byte. The C runtime's CR LF is folded to LF (a CR that ends one chunk
// waits for the next). A line longer than kLongestLine is cut there and goes on in the next
// record, so that one flood without line breaks never makes one record larger than a log file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvi::supervisor {

inline constexpr std::size_t kLongestLine = 4096;

struct ConsoleLine {
  std::string text;  // without its line break
  std::int64_t us;   // arrival of its last byte
  bool cut = false;  // it went on past kLongestLine (or the stream ended inside it)
};

class ConsoleLines {
 public:
  std::vector<ConsoleLine> Feed(std::string_view bytes, std::int64_t us);
  // The stream has ended: a line without its line break goes out as cut.
  std::vector<ConsoleLine> Finish();

 private:
  void Add(char byte, std::int64_t us, std::vector<ConsoleLine>& out);

  std::string line_;
  std::int64_t lastUs_ = 0;
  bool pendingCr_ = false;
};

}  // namespace korvi::supervisor
