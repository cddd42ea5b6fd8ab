#include "platform/sim/files/own_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvi::sim {
namespace {

#ifdef _WIN32
// No FIFO to block on, no descriptors inherited across exec, no file identity; but text
// mode would turn line breaks into CRLF.
constexpr bool kHasIdentity = false;
constexpr int kPlatformFlags = O_BINARY;
#else
constexpr bool kHasIdentity = true;
constexpr int kPlatformFlags = O_NONBLOCK | O_CLOEXEC;
#endif

FileId IdOf(const struct stat& status) {
  FileId id;
  id.device = static_cast<std::uint64_t>(status.st_dev);
  id.inode = static_cast<std::uint64_t>(status.st_ino);
  id.mode = static_cast<unsigned>(status.st_mode);
  id.rdev = static_cast<std::uint64_t>(status.st_rdev);
  id.known = kHasIdentity;
  return id;
}

std::string Reason(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

void Check(const FileId& id, OwnFile::Use use) {
  if (IsRegular(id)) return;
  if (use != OwnFile::Use::kRead && IsDiscardingDevice(id)) return;
  throw OpenRefused("it is " + KindOf(id) + ", not a regular file");
}

}  // namespace

bool SameFile(const FileId& a, const FileId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

bool IsRegular(const FileId& id) { return S_ISREG(id.mode); }

bool IsDiscardingDevice(const FileId& id) {
  if (!id.known || !S_ISCHR(id.mode)) return false;
  for (const char* sink : {"/dev/null", "/dev/full"}) {
    struct stat status {};
    if (::stat(sink, &status) == 0 && S_ISCHR(status.st_mode) && static_cast<std::uint64_t>(status.st_rdev) == id.rdev)
      return true;
  }
  return false;
}

std::string KindOf(const FileId& id) {
  if (S_ISREG(id.mode)) return "a regular file";
  if (S_ISDIR(id.mode)) return "a directory";
  if (S_ISFIFO(id.mode)) return "a FIFO";
  if (S_ISCHR(id.mode)) return "a character device";
#ifdef S_ISBLK
  if (S_ISBLK(id.mode)) return "a block device";
#endif
#ifdef S_ISSOCK
  if (S_ISSOCK(id.mode)) return "a socket";
#endif
  return "a special file";
}

std::optional<FileId> ExistingFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return IdOf(status);
}

namespace {
std::optional<FileId> StandardStream(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return IdOf(status);
}
}  // namespace

std::optional<FileId> StandardOutput() { return StandardStream(1); }
std::optional<FileId> StandardError() { return StandardStream(2); }

OwnFile OwnFile::Open(const std::string& path, Use use) {
  // Looked at before it is opened, since opening a device can do things of its own.
  if (const std::optional<FileId> before = ExistingFile(path)) Check(*before, use);

  // Never blocking, in case something else took the path's place since: the descriptor is
  // checked again below, and a FIFO opened this way is refused instead of waited on.
  int flags = kPlatformFlags;
  if (use == Use::kRead) {
    flags |= O_RDONLY;
  } else {
    flags |= O_WRONLY | O_CREAT | (use == Use::kAppend ? O_APPEND : 0);
  }
  errno = 0;
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw OpenRefused(Reason(errno));
  OwnFile file(fd, FileId{});

  struct stat status {};
  if (::fstat(fd, &status) != 0) throw OpenRefused(Reason(errno));
  file.id_ = IdOf(status);
  // The descriptor stays non-blocking: a regular file or a sink never makes a read or write
  // wait anyway, and a file of the kernel's that only looks regular then fails instead.
  Check(file.id_, use);
  return file;
}

OwnFile::~OwnFile() {
  if (fd_ >= 0) ::close(fd_);
}

int OwnFile::Release() noexcept {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

}  // namespace korvi::sim
