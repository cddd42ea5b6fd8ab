#include "platform/windows/support/hstrings.h"

#include <limits>

namespace korvi::windows {

HRESULT CreateHString(std::wstring_view text, HSTRING* made) noexcept {
  if (made == nullptr) return E_POINTER;
  *made = nullptr;
  if (text.size() > std::numeric_limits<UINT32>::max()) return E_INVALIDARG;
  return ::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), made);
}

std::u16string Utf16FromHString(HSTRING text) {
  UINT32 length = 0;
  const wchar_t* units = ::WindowsGetStringRawBuffer(text, &length);
  if (units == nullptr || length == 0) return {};
  std::u16string copy(length, u'\0');
  for (UINT32 i = 0; i < length; ++i) copy[i] = static_cast<char16_t>(units[i]);
  return copy;
}

UniqueBstr CopyToBstr(std::wstring_view text) noexcept {
  if (text.size() > std::numeric_limits<UINT>::max() / sizeof(wchar_t)) return UniqueBstr();
  return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

}  // namespace korvi::windows
