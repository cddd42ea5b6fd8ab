// Texts across the Windows Runtime boundary: HSTRING in and out, always in an owner.
#pragma once

#include <string>
#include <string_view>

#include "platform/windows/owners.h"

namespace korvi::windows {

// A new HSTRING holding a copy of the text (the empty text is the null HSTRING). Throws the
// platform error when the runtime cannot make it.
UniqueHString MakeHString(std::wstring_view text);

// The UTF-16 code units of an HSTRING; null is the empty text.
std::u16string Utf16FromHString(HSTRING text);

}  // namespace korvi::windows
