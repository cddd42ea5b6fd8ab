#include "platform/windows/hstring.h"

#include <cstdint>
#include <limits>

#include "platform/windows/error_text.h"

namespace korvi::windows {

UniqueHString MakeHString(std::wstring_view text) {
  if (text.size() > std::numeric_limits<UINT32>::max()) ThrowPlatformError(E_INVALIDARG);
  UniqueHString made;
  Check(::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), made.put()));
  return made;
}

std::u16string Utf16FromHString(HSTRING text) {
  UINT32 length = 0;
  const wchar_t* units = ::WindowsGetStringRawBuffer(text, &length);
  if (units == nullptr || length == 0) return {};
  std::u16string copy(length, u'\0');
  for (UINT32 i = 0; i < length; ++i) copy[i] = static_cast<char16_t>(units[i]);
  return copy;
}

}  // namespace korvi::windows
