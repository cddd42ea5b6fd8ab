// The program under capture (or under the supervisor), started as a child whose standard
// output is a pipe that its parent reads (standard input and error are the parent's own, or
// error on the same pipe). The child lives in a job that ends it when the parent's last
// handle to the job closes, so a parent that is killed leaves no orphan behind.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/windows/support/owners.h"

namespace korvi::capture {

// One argument quoted so that the C runtime's parser gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

struct ChildOptions {
  bool errorOnPipe = false;  // standard error on the output pipe too
  bool noWindow = false;     // CREATE_NO_WINDOW: a console program gets no console window
};

class ChildProcess {
 public:
  // Starts arguments[0] with the rest as its arguments, suspended until Resume. Throws
  // CaptureError (exit 127 when the program cannot be started).
  explicit ChildProcess(const std::vector<std::wstring>& arguments, ChildOptions options = {});

  void Resume();
  HANDLE Process() const noexcept { return process_.get(); }
  DWORD Id() const noexcept { return id_; }
  DWORD ExitCode() const;  // after Process() is signalled
  // The read end of the child's standard output.
  HANDLE Output() const noexcept { return output_.get(); }
  // Closes the read end, once nobody reads it: the child's writes then fail instead of
  // blocking on a full pipe. Only the reading thread calls it, after its last read.
  void CloseOutput() noexcept { output_.Reset(); }
  // Ends the child if it still runs, and whatever it left running in its job (a process of
  // its own that still holds the pipe), so that the pipe reaches its end.
  void EndAll() noexcept;

 private:
  std::string name_;
  windows::UniqueHandle job_;
  windows::UniqueHandle output_;
  windows::UniqueHandle process_;
  windows::UniqueHandle thread_;
  DWORD id_ = 0;
};

}  // namespace korvi::capture
