#include "output_file.h"

#include "capture_error.h"

namespace korvi::capture {

std::string ShortWriteText(const std::string& role, const std::string& path, std::size_t written, std::size_t size) {
  return "cannot write to " + role + " \"" + path + "\": it took " + std::to_string(written) + " of " +
         std::to_string(size) + " bytes without an error";
}

OutputFile::OutputFile(const std::wstring& path, std::string role)
    : role_(std::move(role)),
      path_(Utf8FromWide(path)),
      file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
  if (!file_) throw CaptureError(LastErrorText("cannot open " + role_ + " \"" + path_ + "\""));
}

void OutputFile::Empty() {
  if (!SetEndOfFile(file_.get())) throw CaptureError(LastErrorText("cannot empty " + role_ + " \"" + path_ + "\""));
}

void OutputFile::WriteLine(std::string_view line) noexcept {
  if (failure_) return;
  try {
    const std::string text = std::string(line) + "\n";
    DWORD written = 0;
    if (!WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      failure_ = LastErrorText("cannot write to " + role_ + " \"" + path_ + "\"");
    } else if (written != text.size()) {
      // The call succeeded, so the last error says nothing about why the rest was not taken.
      failure_ = ShortWriteText(role_, path_, written, text.size());
    }
  } catch (const std::bad_alloc&) {
    failure_ = "cannot write to " + role_ + ": out of memory";
  }
}

}  // namespace korvi::capture
