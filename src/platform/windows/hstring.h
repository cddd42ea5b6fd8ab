// HSTRINGs that the service makes, always in an owner.
#pragma once

#include <string_view>

#include "platform/windows/support/hstrings.h"

namespace korvi::windows {

// A new HSTRING holding a copy of the text (the empty text is the null HSTRING). Throws the
// platform error when the runtime cannot make it.
UniqueHString MakeHString(std::wstring_view text);

}  // namespace korvi::windows
