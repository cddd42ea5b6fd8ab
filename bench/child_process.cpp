#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace korvi::bench {
namespace {

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& replacements) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string current(*entry);
    bool replaced = false;
    for (const std::string& replacement : replacements) replaced = replaced || NameOf(replacement) == NameOf(current);
    if (!replaced) merged.push_back(current);
  }
  // A name alone (no '=') only removes the variable.
  for (const std::string& replacement : replacements)
    if (replacement.find('=') != std::string::npos) merged.push_back(replacement);
  return merged;
}

// The spawn's file actions, destroyed on every path.
class FileActions {
 public:
  FileActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  posix_spawn_file_actions_t* get() noexcept { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

ChildProcess::ChildProcess(const std::string& path, const std::vector<std::string>& environment, Output output) {
  int pipeEnds[2] = {-1, -1};
  if (output == Output::kPipe && ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    throw std::runtime_error(path + ": cannot make a pipe: " + std::strerror(errno));
  }
  FileActions actions;
  if (output == Output::kPipe) {
    ::posix_spawn_file_actions_adddup2(actions.get(), pipeEnds[1], STDOUT_FILENO);
  } else {
    ::posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  std::vector<std::string> entries = MergedEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = path;
  char* argv[] = {program.data(), nullptr};

  const int spawned = ::posix_spawn(&pid_, path.c_str(), actions.get(), nullptr, argv, envp.data());
  if (pipeEnds[1] >= 0) ::close(pipeEnds[1]);
  if (spawned != 0) {
    if (pipeEnds[0] >= 0) ::close(pipeEnds[0]);
    pid_ = -1;
    throw std::runtime_error(path + ": cannot start: " + std::strerror(spawned));
  }
  out_ = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    Kill();
    Wait();
  }
  if (out_ >= 0) ::close(out_);
}

std::string ChildProcess::ReadSome() {
  if (out_ < 0) return {};
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
  }
}

ChildProcess::Ended ChildProcess::Wait() {
  Ended ended{};
  if (pid_ <= 0) return ended;
  while (::wait4(pid_, &ended.status, 0, &ended.usage) < 0) {
    if (errno != EINTR) break;
  }
  pid_ = -1;
  return ended;
}

void ChildProcess::Kill() noexcept {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

std::string DescribeStatus(int status) {
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

}  // namespace korvi::bench
