#include "platform/windows/error_text.h"

#include "os/platform_error.h"
#include "platform/windows/abi/restricted_error.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {
namespace {

constexpr wchar_t kUnknownError[] = L"Unknown error";

std::wstring_view View(const UniqueBstr& text) noexcept {
  return text ? std::wstring_view(text.get(), ::SysStringLen(text.get())) : std::wstring_view();
}

// The restricted description when there is one, else the general one; empty when the
// information is about another code or has no text.
std::wstring RestrictedText(HRESULT code) {
  ComPtr<IRestrictedErrorInfo> info;
  if (::GetRestrictedErrorInfo(info.put()) != S_OK || !info) return {};
  UniqueBstr description;
  UniqueBstr restrictedDescription;
  UniqueBstr capabilitySid;
  HRESULT reported = S_OK;
  if (FAILED(info->GetErrorDetails(description.put(), &reported, restrictedDescription.put(), capabilitySid.put()))) {
    return {};
  }
  if (reported != code) return {};  // left over from an earlier call
  std::wstring text = TrimTrailingBreaks(View(restrictedDescription));
  if (text.empty()) text = TrimTrailingBreaks(View(description));
  return text;
}

}  // namespace

std::wstring TrimTrailingBreaks(std::wstring_view text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == L'\r' || text[end - 1] == L'\n' || text[end - 1] == L' ' || text[end - 1] == L'\t')) {
    --end;
  }
  return std::wstring(text.substr(0, end));
}

std::wstring SystemMessageText(HRESULT code) {
  LocalMemPtr<wchar_t> buffer;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(static_cast<wchar_t**>(buffer.put())), 0, nullptr);
  if (length == 0 || !buffer) return kUnknownError;
  std::wstring text = TrimTrailingBreaks(std::wstring_view(buffer.get(), length));
  return text.empty() ? std::wstring(kUnknownError) : text;
}

std::wstring ErrorText(HRESULT code) {
  std::wstring text = RestrictedText(code);
  return text.empty() ? SystemMessageText(code) : text;
}

void ThrowPlatformError(HRESULT code) { throw os::PlatformError(static_cast<std::int32_t>(code), ErrorText(code)); }

}  // namespace korvi::windows
