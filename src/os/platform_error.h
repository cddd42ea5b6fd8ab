// The one error type of the platform layers: a failing platform call's 32-bit result code (an
// HRESULT, negative) and the platform's message text for it. The cellular seam throws it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace korvi::os {

class PlatformError : public std::runtime_error {
 public:
  PlatformError(std::int32_t code, std::wstring message);

  std::int32_t code() const noexcept { return code_; }
  const std::wstring& message() const noexcept { return message_; }

 private:
  std::int32_t code_;
  std::wstring message_;
};

}  // namespace korvi::os
