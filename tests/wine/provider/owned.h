// The one owner of platform handles in the fake providers: it releases what it holds when it
// goes out of scope, on every path. A kind of handle is a traits type with Release (and, for
// handles that can be shared, AddRef); each kind is a one-line alias below.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>
#include <winstring.h>

#include <utility>

namespace korvi::fake {

template <class Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;

  Owned() noexcept = default;
  // Takes over a handle that the caller owned (a reference, a string).
  static Owned Adopt(Handle handle) noexcept { return Owned(handle); }
  // Takes a reference of its own to a handle that the caller keeps.
  static Owned Share(Handle handle) noexcept
    requires requires { Traits::AddRef(handle); }
  {
    if (handle != nullptr) Traits::AddRef(handle);
    return Owned(handle);
  }

  Owned(const Owned& other) noexcept
    requires requires(Handle h) { Traits::AddRef(h); }
      : handle_(other.handle_) {
    if (handle_ != nullptr) Traits::AddRef(handle_);
  }
  Owned& operator=(const Owned& other) noexcept
    requires requires(Handle h) { Traits::AddRef(h); }
  {
    Owned copy(other);
    std::swap(handle_, copy.handle_);
    return *this;
  }
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ~Owned() { Reset(); }

  Handle get() const noexcept { return handle_; }
  Handle operator->() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }
  // Hands the handle on to a caller that becomes its owner (an out-parameter).
  [[nodiscard]] Handle Detach() noexcept { return std::exchange(handle_, nullptr); }
  void Reset() noexcept {
    if (Handle handle = std::exchange(handle_, nullptr)) Traits::Release(handle);
  }

 private:
  explicit Owned(Handle handle) noexcept : handle_(handle) {}
  Handle handle_ = nullptr;
};

template <class Interface>
struct ComTraits {
  using Handle = Interface*;
  static void AddRef(Interface* object) noexcept { object->AddRef(); }
  static void Release(Interface* object) noexcept { object->Release(); }
};

struct HStringTraits {
  using Handle = HSTRING;
  static void Release(HSTRING text) noexcept { WindowsDeleteString(text); }
};

struct BstrTraits {
  using Handle = BSTR;
  static void Release(BSTR text) noexcept { SysFreeString(text); }
};

template <class Interface>
using ComRef = Owned<ComTraits<Interface>>;
using OwnedHString = Owned<HStringTraits>;
using OwnedBstr = Owned<BstrTraits>;

}  // namespace korvi::fake
