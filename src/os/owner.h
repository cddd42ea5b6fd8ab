// The one RAII owner of platform objects: holds one value of a kind and gives it back to the
// platform (Release, WindowsDeleteString, SysFreeString, VariantClear, CloseHandle, the seam's
// CloseEvent, ...) when it goes out of scope, on every path. Each kind is a traits struct and a
// one-line alias. Plain C++, so that the portable logic's event owner is one of its aliases too.
//
// put() hands the empty slot to a platform call that fills an out-parameter; whatever the
// owner held before is given back first, so a slot can never be overwritten while it holds.
//
// A kind whose traits have `Count` is told +1 while an owner comes to hold a value of it (the
// constructor, Reset, a copy, or the end of the call that filled put()'s slot) and -1 when it
// gives it back (Free) or hands it on (Release). A move hands the value over uncounted.
//
// A kind whose traits have `AddRef` (a reference-counted object) may be copied: the copy takes
// a reference of its own. Every other kind is move-only.
#pragma once

#include <concepts>
#include <type_traits>
#include <utility>

namespace korvi::os {

// Traits: `Value`, `static Value Empty() noexcept`, `static bool Holds(const Value&) noexcept`,
// `static void Free(Value&) noexcept`; optionally `static void Count(int step) noexcept` and
// `static void AddRef(Value) noexcept`.
template <class Traits>
class Owner {
 public:
  using Value = typename Traits::Value;

  // The out-parameter slot that put() gives: it converts to a Target* pointing at the owner's
  // value, and when the full expression that used it ends (the platform call has filled it),
  // the value it holds is counted.
  template <class Target>
  class Slot {
   public:
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    ~Slot() { owner_.Taken(); }
    operator Target*() const noexcept { return reinterpret_cast<Target*>(&owner_.value_); }
    Target& operator*() const noexcept { return *static_cast<Target*>(*this); }

   private:
    friend class Owner;
    explicit Slot(Owner& owner) noexcept : owner_(owner) {}
    Owner& owner_;
  };

  Owner() noexcept : value_(Traits::Empty()) {}
  // Takes over a value that the caller owns.
  explicit Owner(Value value) noexcept : value_(value) { Taken(); }
  // A reference of its own to what `other` holds.
  Owner(const Owner& other) noexcept
    requires requires(Value value) { Traits::AddRef(value); }
      : value_(other.value_) {
    if (Traits::Holds(value_)) Traits::AddRef(value_);
    Taken();
  }
  Owner& operator=(const Owner& other) noexcept
    requires requires(Value value) { Traits::AddRef(value); }
  {
    Owner copy(other);
    std::swap(value_, copy.value_);
    return *this;
  }
  Owner(Owner&& other) noexcept : value_(other.HandOver()) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = other.HandOver();
    }
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
  [[nodiscard]] Slot<Value> put() noexcept {
    Reset();
    return Slot<Value>(*this);
  }
  // The same slot for a call that takes it as a void** (QueryInterface and its kin).
  [[nodiscard]] Slot<void*> put_void() noexcept
    requires std::is_pointer_v<Value>
  {
    Reset();
    return Slot<void*>(*this);
  }

  // Gives the value back to the platform and holds `value` instead. A kind that cannot be
  // shared has one owner per value, so handed the value it already holds, the owner keeps it
  // as it is: freeing it would leave the owner holding what it had just given back. (A
  // reference-counted kind frees one reference and keeps the caller's, as it should.)
  void Reset(Value value = Traits::Empty()) noexcept {
    if constexpr (!kShared && std::equality_comparable<Value>) {
      if (Traits::Holds(value) && value == value_) return;
    }
    Value old = value_;
    value_ = value;
    Taken();
    if (Traits::Holds(old)) {
      Traits::Free(old);
      Count(-1);
    }
  }

  // Hands the value to the caller, who then owns it (an out-parameter, say).
  [[nodiscard]] Value Release() noexcept {
    if (Traits::Holds(value_)) Count(-1);
    return HandOver();
  }

 private:
  static constexpr bool kShared = requires(Value value) { Traits::AddRef(value); };

  static void Count(int step) noexcept {
    if constexpr (requires { Traits::Count(step); }) Traits::Count(step);
  }
  // Counts the value just taken, if it is one.
  void Taken() noexcept {
    if (Traits::Holds(value_)) Count(+1);
  }
  // Empties the owner without giving the value back or counting it: it goes on to another.
  Value HandOver() noexcept {
    Value taken = value_;
    value_ = Traits::Empty();
    return taken;
  }

  Value value_;
};

}  // namespace korvi::os
