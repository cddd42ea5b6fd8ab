// How many of each kind of platform object the Windows layer holds right now: the COM objects
// it implements itself, the interface references, texts and values its owners hold. Each
// count goes up where the layer comes to hold one and down where it gives it back, so at the
// end of a run, or of a test, every count is back where it started; a count above it is an
// object never given back (a leak), one below it an object given back twice.
//
// Relaxed atomics: a count is read only once the work that moved it is over.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvi::windows {

enum class LiveKind : int {
  kComObject,   // our own COM objects (completion handlers, the transmission-state handler)
  kInterface,   // interface references held by an owner
  kHString,
  kBstr,
  kVariant,     // non-empty VARIANTs
};
inline constexpr int kLiveKinds = 5;

class LiveObjects {
 public:
  static void Add(LiveKind kind) noexcept { counts_[Index(kind)].fetch_add(1, std::memory_order_relaxed); }
  static void Remove(LiveKind kind) noexcept { counts_[Index(kind)].fetch_sub(1, std::memory_order_relaxed); }
  static std::int64_t Count(LiveKind kind) noexcept { return counts_[Index(kind)].load(std::memory_order_relaxed); }

  // The kind's name in messages: "COM object", "interface reference", "HSTRING", ...
  static const char* Name(LiveKind kind) noexcept {
    constexpr const char* kNames[kLiveKinds] = {"COM object", "interface reference", "HSTRING", "BSTR", "VARIANT"};
    return kNames[Index(kind)];
  }

 private:
  static constexpr int Index(LiveKind kind) noexcept { return static_cast<int>(kind); }
  static inline std::atomic<std::int64_t> counts_[kLiveKinds]{};
};

}  // namespace korvi::windows
