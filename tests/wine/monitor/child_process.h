// The program under watch, started as a child that shares the monitor's standard handles, so
// its standard output passes through untouched. The child lives in a job that ends it when
// the monitor's last handle to the job closes, so a monitor killed by a time-out leaves no
// orphan behind.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "win_handle.h"

namespace korvi::monitor {

// One argument quoted so that the C runtime's parser gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

class ChildProcess {
 public:
  // Starts arguments[0] with the rest as its arguments. Throws MonitorError (exit 127 when
  // the program cannot be started).
  explicit ChildProcess(const std::vector<std::wstring>& arguments);

  HANDLE Process() const noexcept { return process_.get(); }
  DWORD Id() const noexcept { return id_; }
  DWORD ExitCode() const;  // after Process() is signalled

 private:
  Handle job_;
  Handle process_;
  DWORD id_ = 0;
};

}  // namespace korvi::monitor
