// Owners for the Win32 objects the monitor holds, so that every one is closed on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace korvi::monitor {

// A kernel handle (event, mutex, mapping, process, thread, job, file). Both null and
// INVALID_HANDLE_VALUE mean "none", because CreateFileW answers the latter.
class Handle {
 public:
  Handle() noexcept = default;
  explicit Handle(HANDLE handle) noexcept : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  ~Handle() { Close(); }

  HANDLE get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  void Close() noexcept {
    if (*this) CloseHandle(handle_);
    handle_ = nullptr;
  }
  HANDLE handle_ = nullptr;
};

// A mutex this thread has acquired; released before its handle is closed, so the next waiter
// gets it plainly rather than abandoned.
class HeldMutex {
 public:
  HeldMutex() noexcept = default;
  explicit HeldMutex(Handle mutex) noexcept : mutex_(std::move(mutex)) {}
  HeldMutex(const HeldMutex&) = delete;
  HeldMutex& operator=(const HeldMutex&) = delete;
  HeldMutex& operator=(HeldMutex&& other) noexcept {
    if (this != &other) {
      Release();
      mutex_ = std::move(other.mutex_);
    }
    return *this;
  }
  ~HeldMutex() { Release(); }

 private:
  void Release() noexcept {
    if (mutex_) ReleaseMutex(mutex_.get());
    mutex_ = Handle();
  }
  Handle mutex_;
};

// A view of a file mapping.
class MappedView {
 public:
  MappedView() noexcept = default;
  explicit MappedView(void* view) noexcept : view_(view) {}
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;
  MappedView& operator=(MappedView&& other) noexcept {
    if (this != &other) {
      Unmap();
      view_ = other.view_;
      other.view_ = nullptr;
    }
    return *this;
  }
  ~MappedView() { Unmap(); }

  void* get() const noexcept { return view_; }
  explicit operator bool() const noexcept { return view_ != nullptr; }

 private:
  void Unmap() noexcept {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    view_ = nullptr;
  }
  void* view_ = nullptr;
};

}  // namespace korvi::monitor
