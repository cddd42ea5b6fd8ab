// korvi-sar.exe's live object counts, exported by name so that a test bed loaded into the
// process can read them at exit without the service writing anything on its own channels,
// which stay byte for byte what they are. Nothing in the service calls it.
#include <cstdint>

#include "platform/windows/support/live_objects.h"

// The count of one kind (LiveKind's value); 0 for a kind there is not.
extern "C" __declspec(dllexport) std::int64_t KorviLiveObjectCount(int kind) noexcept {
  using korvi::windows::LiveKind;
  using korvi::windows::LiveObjects;
  if (kind < 0 || kind >= korvi::windows::kLiveKinds) return 0;
  return LiveObjects::Count(static_cast<LiveKind>(kind));
}
