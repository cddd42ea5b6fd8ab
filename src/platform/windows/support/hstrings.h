// Texts across the Windows Runtime and automation boundaries: HSTRING and BSTR made from a
// text and read back, for the service, the fake providers and the tests alike.
#pragma once

#include <string>
#include <string_view>

#include "platform/windows/support/owners.h"

namespace korvi::windows {

// A new HSTRING holding a copy of the text (the empty text is the null HSTRING) in *made; the
// runtime's code, or E_INVALIDARG for a text longer than an HSTRING can hold.
HRESULT CreateHString(std::wstring_view text, HSTRING* made) noexcept;

// The UTF-16 code units of an HSTRING; null is the empty text.
std::u16string Utf16FromHString(HSTRING text);

// A BSTR holding a copy of the whole text (embedded nulls included); empty when memory ran
// out or the text is longer than a BSTR can hold.
UniqueBstr CopyToBstr(std::wstring_view text) noexcept;

}  // namespace korvi::windows
