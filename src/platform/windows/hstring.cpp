#include "platform/windows/hstring.h"

#include "platform/windows/error_text.h"

namespace korvi::windows {

UniqueHString MakeHString(std::wstring_view text) {
  UniqueHString made;
  Check(CreateHString(text, made.put()));
  return made;
}

}  // namespace korvi::windows
