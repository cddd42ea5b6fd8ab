// The COM apartment of each thread, modelled so that the console shows what Windows shows:
// a single-threaded CoInitialize on a thread in the multithreaded apartment fails with
// RPC_E_CHANGED_MODE, process-wide security can be set once, and a runtime lookup on a
// thread with no apartment answers CO_E_NOTINITIALIZED until the MTA is kept alive.
#pragma once

#include <cstdint>

namespace korvi::sim {

inline constexpr std::int32_t kSFalse = 1;
inline constexpr std::int32_t kRpcEChangedMode = static_cast<std::int32_t>(0x80010106);
inline constexpr std::int32_t kRpcETooLate = static_cast<std::int32_t>(0x80010119);
inline constexpr std::int32_t kCoENotInitialized = static_cast<std::int32_t>(0x800401F0);

enum class Apartment { kNone, kSingleThreaded, kMultithreaded };

class Apartments {
 public:
  // RoInitialize(RO_INIT_MULTITHREADED) / CoInitializeEx(COINIT_MULTITHREADED).
  static std::int32_t EnterMultithreaded() noexcept;
  // CoInitialize(NULL).
  static std::int32_t EnterSingleThreaded() noexcept;
  // RoUninitialize / CoUninitialize: undoes one successful enter of the calling thread.
  static void Leave() noexcept;
  // CoIncrementMTAUsage: keeps the multithreaded apartment alive for threads without one.
  static void IncrementMtaUsage() noexcept;
  // CoInitializeSecurity: succeeds once per process, RPC_E_TOO_LATE after that.
  static std::int32_t InitializeSecurity() noexcept;

  static Apartment Current() noexcept;
  // Whether COM can be used on the calling thread: it is in an apartment, or the MTA is kept
  // alive by CoIncrementMTAUsage (implicit MTA).
  static bool ComUsable() noexcept;
  // How many enters of the calling thread are not yet undone.
  static int Depth() noexcept;
};

}  // namespace korvi::sim
