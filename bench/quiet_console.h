// Sends standard output to /dev/null for as long as it lives, so that the service's console
// messages cost a real write each and show nowhere; the figures go to the standard output the
// program started with, through report().
#pragma once

#include <cstdio>

namespace korvi::bench {

class QuietConsole {
 public:
  QuietConsole();  // throws std::runtime_error when the descriptors cannot be set up
  ~QuietConsole();
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;

  std::FILE* report() const noexcept { return report_; }

 private:
  std::FILE* report_ = nullptr;
};

}  // namespace korvi::bench
