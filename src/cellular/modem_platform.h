// The seam to the mobile-broadband platform: one operation per platform call that the
// cellular logic makes, named as the platform names it.
//
// Every platform object is a reference-counted handle (std::shared_ptr): dropping the last
// reference releases the platform object. Every failing call throws PlatformError with the
// call's result code. An empty handle stands for "none" where the platform may give none.
#pragma once

#include "os/platform_slot.h"
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "os/platform_error.h"

namespace korvi::cellular {

// The seam throws the ground's one platform error type, which the Windows layer throws too;
// cellular code and its callers name it as the seam's own.
using os::PlatformError;

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// NetworkDeviceStatus: the one value the service tests.
inline constexpr std::int32_t kDeviceReady = 1;

// Result codes that the cellular side names.
inline constexpr std::int32_t kEPointer = static_cast<std::int32_t>(0x80004003);
inline constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005);
inline constexpr std::int32_t kEOutOfMemory = static_cast<std::int32_t>(0x8007000E);
inline constexpr std::int32_t kTimeout = static_cast<std::int32_t>(0x800705B4);  // ERROR_TIMEOUT

// An IBuffer.
class Buffer {
 public:
  virtual ~Buffer() = default;
};

// Called once when an asynchronous operation completes, on a thread of the platform's
// choosing, possibly before SetCompleted returns. The platform holds its own reference for as
// long as it may call it.
class CompletionHandler {
 public:
  virtual ~CompletionHandler() = default;
  virtual void OnCompleted() noexcept = 0;
};

class AsyncInfo {
 public:
  virtual ~AsyncInfo() = default;
  virtual void SetCompleted(std::shared_ptr<CompletionHandler> handler) = 0;
  // IAsyncInfo::Cancel: asks the platform to abandon the operation; a completion that comes
  // after it changes nothing.
  virtual void Cancel() = 0;
};

// IAsyncOperation<T>: GetResults yields the result or throws the operation's failure.
template <class Result>
class AsyncOperation : public AsyncInfo {
 public:
  virtual Result GetResults() = 0;
};

// IAsyncAction.
class AsyncAction : public AsyncInfo {
 public:
  virtual void GetResults() = 0;
};

class DeviceInformation {
 public:
  virtual ~DeviceInformation() = default;
  virtual std::int32_t NetworkDeviceStatus() = 0;
  virtual std::u16string SimIccId() = 0;
};

class DeviceServiceCommandResult {
 public:
  virtual ~DeviceServiceCommandResult() = default;
  virtual std::uint32_t StatusCode() = 0;
  virtual std::shared_ptr<Buffer> ResponseData() = 0;
};

class DeviceServiceCommandSession {
 public:
  virtual ~DeviceServiceCommandSession() = default;
  virtual std::shared_ptr<AsyncOperation<std::shared_ptr<DeviceServiceCommandResult>>>
  SendSetCommandAsync(std::uint32_t commandId, const std::shared_ptr<Buffer>& data) = 0;
};

class DeviceService {
 public:
  virtual ~DeviceService() = default;
  // Empty when the platform gives no session.
  virtual std::shared_ptr<DeviceServiceCommandSession> OpenCommandSession() = 0;
};

class TransmissionStateChangedEventArgs {
 public:
  virtual ~TransmissionStateChangedEventArgs() = default;
  virtual bool IsTransmitting() = 0;
};

class SarManager;

// The TypedEventHandler of the transmission-state-changed event. Invoke returns a result code
// to the platform and never lets an exception out.
class TransmissionStateChangedHandler {
 public:
  virtual ~TransmissionStateChangedHandler() = default;
  virtual std::int32_t Invoke(const std::shared_ptr<SarManager>& sender,
                              const std::shared_ptr<TransmissionStateChangedEventArgs>& args) noexcept = 0;
};

class SarManager {
 public:
  virtual ~SarManager() = default;
  // ticks of 100 ns
  virtual std::shared_ptr<AsyncAction> SetTransmissionStateChangedHysteresisAsync(std::int64_t ticks) = 0;
  // The modem's transmission state now, asked of the modem.
  virtual std::shared_ptr<AsyncOperation<bool>> GetIsTransmittingAsync() = 0;
  // Adds the handler; the platform keeps its own reference. Returns the registration token.
  virtual std::int64_t AddTransmissionStateChanged(std::shared_ptr<TransmissionStateChangedHandler> handler) = 0;
  // Removes the handler that the token registered; the platform lets go of its reference.
  virtual void RemoveTransmissionStateChanged(std::int64_t token) = 0;
  virtual void StartTransmissionStateMonitoring() = 0;
  virtual void StopTransmissionStateMonitoring() = 0;
};

class ModemConfiguration {
 public:
  virtual ~ModemConfiguration() = default;
  // Read through IMobileBroadbandModemConfiguration2; empty when there is none.
  virtual std::shared_ptr<cellular::SarManager> SarManager() = 0;
};

class Modem {
 public:
  virtual ~Modem() = default;
  virtual std::shared_ptr<cellular::DeviceInformation> DeviceInformation() = 0;
  virtual std::shared_ptr<DeviceService> GetDeviceService(const Guid& serviceId) = 0;
  virtual std::shared_ptr<AsyncOperation<std::shared_ptr<ModemConfiguration>>> GetCurrentConfigurationAsync() = 0;
};

// The runtime's static entry points: activation, apartments, CryptographicBuffer.
class ModemPlatform {
 public:
  virtual ~ModemPlatform() = default;
  // MobileBroadbandModem.GetDefault; empty when the machine has no mobile-broadband modem.
  virtual std::shared_ptr<Modem> GetDefault() = 0;
  // RoInitialize(RO_INIT_MULTITHREADED) on the calling thread; the result code, not thrown.
  virtual std::int32_t RoInitialize() noexcept = 0;
  virtual void RoUninitialize() noexcept = 0;
  virtual std::shared_ptr<Buffer> CreateFromByteArray(std::span<const std::uint8_t> bytes) = 0;
  virtual std::vector<std::uint8_t> CopyToByteArray(const std::shared_ptr<Buffer>& buffer) = 0;
};

// The platform in use for the whole process; installed once, before the service starts.
inline os::PlatformSlot<ModemPlatform> installedPlatform;
inline void UsePlatform(ModemPlatform& platform) noexcept { installedPlatform.Install(platform); }
inline ModemPlatform& Platform() noexcept { return installedPlatform.Get(); }

}  // namespace korvi::cellular
