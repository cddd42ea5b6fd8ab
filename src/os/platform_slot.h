// Where each seam keeps the platform that the process installed for it.
#pragma once

#include <atomic>
#include <cstdlib>

namespace korvi::os {

template <class Seam>
class PlatformSlot {
 public:
  void Install(Seam& platform) noexcept { installed_.store(&platform, std::memory_order_release); }
  Seam& Get() const noexcept {
    Seam* platform = installed_.load(std::memory_order_acquire);
    if (platform == nullptr) std::abort();  // a build that forgot to install its platform
    return *platform;
  }

 private:
  std::atomic<Seam*> installed_{nullptr};
};

}  // namespace korvi::os
