// A child process that this program started, owned: destroying the owner kills the child by
// its pid if it still runs, reaps it, and closes the pipe from its standard output.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace korvi::bench {

class ChildProcess {
 public:
  enum class Output { kPipe, kDiscard };

  // Starts `path` with no arguments, this process's environment with `environment` entries
  // (NAME=value) replacing those of the same name (NAME alone: removed, so that the child
  // runs as if it was never set), standard output to a pipe or /dev/null,
  // standard error to /dev/null. Throws std::runtime_error naming the path on failure.
  ChildProcess(const std::string& path, const std::vector<std::string>& environment, Output output);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // What the child wrote next on standard output, after blocking until something came; empty
  // once the child closed it.
  std::string ReadSome();

  struct Ended {
    int status;    // as waitpid gives it
    rusage usage;  // the child's own, as wait4 gives it
  };
  Ended Wait();
  void Kill() noexcept;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// "exit code 3" or "killed by signal 9", from a waitpid status.
std::string DescribeStatus(int status);

}  // namespace korvi::bench
