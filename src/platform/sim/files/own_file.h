// Opening the simulated notebook's own files (the scenario it reads, the trace and the debug
// log it writes) so that no path can hang the run or feed it without end: a FIFO blocks an
// open until someone opens its other end, and a device such as /dev/zero reads for ever. Each
// is opened without blocking and refused by what it turns out to be.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace korvi::sim {

// What a path is, as stat tells it. `known` is false where the platform gives no file
// identity (Windows), so that two files never compare equal there by accident.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  unsigned mode = 0;
  std::uint64_t rdev = 0;
  bool known = false;
};

bool SameFile(const FileId& a, const FileId& b);
bool IsRegular(const FileId& id);
// /dev/null or /dev/full (under whatever name): a sink that keeps nothing, so nothing written
// to it can be mixed with anything else.
bool IsDiscardingDevice(const FileId& id);
// "a directory", "a FIFO", "a character device", ...
std::string KindOf(const FileId& id);

// What the path names now; empty when it does not exist or cannot be looked at.
std::optional<FileId> ExistingFile(const std::string& path);
// The process's standard output and standard error, if it has them.
std::optional<FileId> StandardOutput();
std::optional<FileId> StandardError();

// The reason an open was refused, without the path: "No such file or directory", or
// "it is a FIFO, not a regular file". Callers say which file and what for.
class OpenRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An open descriptor that closes itself.
class OwnFile {
 public:
  enum class Use {
    kRead,    // a regular file only
    kWrite,   // created if absent, its contents kept (the caller truncates once it is sure);
              // a regular file or a discarding device
    kAppend,  // as kWrite, every write at the end
  };

  static OwnFile Open(const std::string& path, Use use);  // throws OpenRefused

  OwnFile(OwnFile&& other) noexcept : fd_(other.fd_), id_(other.id_) { other.fd_ = -1; }
  OwnFile& operator=(OwnFile&&) = delete;
  OwnFile(const OwnFile&) = delete;
  ~OwnFile();

  int fd() const noexcept { return fd_; }
  const FileId& id() const noexcept { return id_; }
  // Hands the descriptor over (to a stream that closes it).
  int Release() noexcept;

 private:
  OwnFile(int fd, const FileId& id) : fd_(fd), id_(id) {}
  int fd_;
  FileId id_;
};

}  // namespace korvi::sim
