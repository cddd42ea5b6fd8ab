// The one RAII owner of platform objects: holds one value of a kind and gives it back to the
// platform (Release, WindowsDeleteString, SysFreeString, VariantClear, CloseHandle, ...) when
// it goes out of scope, on every path. Each kind is a traits struct and a one-line alias.
//
// put() hands the empty slot to a platform call that fills an out-parameter; whatever the
// owner held before is given back first, so a slot can never be overwritten while it holds.
#pragma once

#include <type_traits>
#include <utility>

namespace korvi::windows {

// Traits: `Value`, `static Value Empty() noexcept`, `static bool Holds(const Value&) noexcept`,
// `static void Free(Value&) noexcept`.
template <class Traits>
class Owner {
 public:
  using Value = typename Traits::Value;

  Owner() noexcept : value_(Traits::Empty()) {}
  // Takes over a value that the caller owns.
  explicit Owner(Value value) noexcept : value_(value) {}
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Owner(Owner&& other) noexcept : value_(other.Release()) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~Owner() { Reset(); }

  const Value& get() const noexcept { return value_; }
  Value& get() noexcept { return value_; }
  explicit operator bool() const noexcept { return Traits::Holds(value_); }
  // For interface pointers: calls through to the object held.
  Value operator->() const noexcept
    requires std::is_pointer_v<Value>
  {
    return value_;
  }

  // The slot for an out-parameter, emptied first.
  Value* put() noexcept {
    Reset();
    return &value_;
  }

  // Gives the value back to the platform and holds `value` instead.
  void Reset(Value value = Traits::Empty()) noexcept {
    Value old = value_;
    value_ = value;
    if (Traits::Holds(old)) Traits::Free(old);
  }

  // Hands the value to the caller, who then owns it.
  [[nodiscard]] Value Release() noexcept {
    Value taken = value_;
    value_ = Traits::Empty();
    return taken;
  }

 private:
  Value value_;
};

}  // namespace korvi::windows
