#include "os/platform_error.h"

#include <cstdio>
#include <utility>

namespace korvi::os {
namespace {
std::string Describe(std::int32_t code) {
  char text[40];
  std::snprintf(text, sizeof text, "platform error 0x%08x", static_cast<unsigned>(code));
  return text;
}
}  // namespace

PlatformError::PlatformError(std::int32_t code, std::wstring message)
    : std::runtime_error(Describe(code)), code_(code), message_(std::move(message)) {}

}  // namespace korvi::os
