// Every object that the simulated platform hands out derives from CountedObject, so that a
// run can show that each one was released again on every path.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvi::sim {

class CountedObject {
 public:
  CountedObject() noexcept { live_.fetch_add(1, std::memory_order_relaxed); }
  CountedObject(const CountedObject&) noexcept : CountedObject() {}
  CountedObject& operator=(const CountedObject&) noexcept = default;
  ~CountedObject() { live_.fetch_sub(1, std::memory_order_relaxed); }

  // Objects handed out and not yet released, over every kind.
  static std::int64_t Live() noexcept { return live_.load(std::memory_order_relaxed); }

 private:
  static inline std::atomic<std::int64_t> live_{0};
};

}  // namespace korvi::sim
