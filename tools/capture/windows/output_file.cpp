#include "output_file.h"

#include "capture_error.h"

namespace korvi::capture {

OutputFile::OutputFile(const std::wstring& path, std::string role)
    : role_(std::move(role)),
      path_(Utf8FromWide(path)),
      file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
  if (!file_) throw CaptureError(LastErrorText("cannot open " + role_ + " \"" + path_ + "\""));
}

void OutputFile::WriteLine(std::string_view line) noexcept {
  if (failure_) return;
  try {
    const std::string text = std::string(line) + "\n";
    DWORD written = 0;
    if (!WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      failure_ = LastErrorText("cannot write to " + role_ + " \"" + path_ + "\"");
    }
  } catch (const std::bad_alloc&) {
    failure_ = "cannot write to " + role_ + ": out of memory";
  }
}

}  // namespace korvi::capture
