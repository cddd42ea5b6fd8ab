#include "rotating_log.h"

#include <algorithm>
#include <system_error>

namespace korvi::supervisor {
namespace {

// The C library's own open, by the path's native form: a wide one on Windows, where the
// user's profile folder may hold any character. There "N" keeps the handle from the service
// the supervisor starts: inherited, it would hold the file open, and the file could not move.
std::FILE* OpenForAppend(const std::filesystem::path& path) noexcept {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"abN");
#else
  return std::fopen(path.c_str(), "ab");
#endif
}

// Moves `from` to `to`, replacing it.
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
#ifdef _WIN32
  _wremove(to.c_str());
  return _wrename(from.c_str(), to.c_str()) == 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

RotatingLog::RotatingLog(std::filesystem::path folder, std::size_t fileBytes, int files, std::string header)
    : folder_(std::move(folder)), fileBytes_(fileBytes), files_(files < 1 ? 1 : files), header_(std::move(header)) {
  // Room for the header, its line break and a line of at least one byte with its own.
  if (header_.size() + 3 > fileBytes_) header_.clear();
  headed_ = header_.empty();
}

RotatingLog::~RotatingLog() { Close(); }

std::filesystem::path RotatingLog::FileName(int index) const {
  return folder_ / (index == 0 ? std::string("korvi-supervisor.log")
                               : "korvi-supervisor." + std::to_string(index) + ".log");
}

void RotatingLog::Close() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool RotatingLog::Open() noexcept {
  if (file_ != nullptr) return true;
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  const std::filesystem::path path = FileName(0);
  file_ = OpenForAppend(path);
  if (file_ == nullptr) return false;
  // Appending to what an earlier supervisor left: its size counts towards the bound.
  const auto size = std::filesystem::file_size(path, error);
  size_ = error ? 0 : static_cast<std::size_t>(size);
  return true;
}

void RotatingLog::Rotate() noexcept {
  Close();
  std::error_code error;
  std::filesystem::remove(FileName(files_ - 1), error);
  for (int index = files_ - 2; index >= 0; --index) MoveReplacing(FileName(index), FileName(index + 1));
  // A current file that could not move (another process holds it without sharing its
  // removal) is emptied instead, so the bound holds all the same.
  if (std::filesystem::exists(FileName(0), error)) {
    std::filesystem::resize_file(FileName(0), 0, error);
  }
  size_ = 0;
  headed_ = header_.empty();
}

std::size_t RotatingLog::HeaderBytes() const noexcept { return headed_ ? 0 : header_.size() + 1; }

void RotatingLog::Write(std::string_view line) noexcept {
  if (!Open()) {
    ++lost_;
    return;
  }
  // Cut to what a new file has room for, and then to what this one has.
  const auto fitted = [&] { return std::min(line.size(), fileBytes_ - 1 - HeaderBytes()); };
  if (size_ > 0 && size_ + HeaderBytes() + fitted() + 1 > fileBytes_) {
    Rotate();
    if (!Open()) {
      ++lost_;
      return;
    }
  }
  line = line.substr(0, fitted());
  std::string whole;
  try {
    whole.reserve(HeaderBytes() + line.size() + 1);
    if (!headed_) whole.append(header_) += '\n';
    whole.append(line);
    whole += '\n';
  } catch (...) {
    ++lost_;
    return;
  }
  const std::size_t written = std::fwrite(whole.data(), 1, whole.size(), file_);
  size_ += written;
  if (written != whole.size()) {
    ++lost_;
    Close();  // reopened at the next write
    return;
  }
  headed_ = true;
}

void RotatingLog::Flush() noexcept {
  if (file_ != nullptr && std::fflush(file_) != 0) Close();
}

}  // namespace korvi::supervisor
