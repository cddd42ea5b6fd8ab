#include "platform/sim/models/apartments.h"

#include <atomic>

namespace korvi::sim {
namespace {
struct ThreadApartment {
  Apartment kind = Apartment::kNone;
  int depth = 0;
};
thread_local ThreadApartment current;
std::atomic<int> mtaUsage{0};
std::atomic<bool> securitySet{false};

std::int32_t Enter(Apartment wanted) noexcept {
  if (current.depth == 0) {
    current.kind = wanted;
    current.depth = 1;
    return 0;
  }
  if (current.kind != wanted) return kRpcEChangedMode;
  ++current.depth;
  return kSFalse;
}
}  // namespace

std::int32_t Apartments::EnterMultithreaded() noexcept { return Enter(Apartment::kMultithreaded); }
std::int32_t Apartments::EnterSingleThreaded() noexcept { return Enter(Apartment::kSingleThreaded); }

void Apartments::Leave() noexcept {
  if (current.depth > 0 && --current.depth == 0) current.kind = Apartment::kNone;
}

void Apartments::IncrementMtaUsage() noexcept { mtaUsage.fetch_add(1); }

std::int32_t Apartments::InitializeSecurity() noexcept {
  return securitySet.exchange(true) ? kRpcETooLate : 0;
}

Apartment Apartments::Current() noexcept { return current.kind; }
bool Apartments::ComUsable() noexcept { return current.depth > 0 || mtaUsage.load() > 0; }
int Apartments::Depth() noexcept { return current.depth; }

}  // namespace korvi::sim
