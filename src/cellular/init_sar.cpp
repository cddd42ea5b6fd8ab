#include "cellular/init_sar.h"

#include <memory>
#include <string>
#include <vector>

#include "cellular/blocking_wait.h"
#include "cellular/cellular_state.h"
#include "cellular/sar_config_message.h"
#include "cellular/sar_reply_report.h"
#include "os/console_texts.h"
#include "os/messages.h"

namespace korvi::cellular {
namespace {

// Leaves the runtime again on every path out of InitSAR, when entering it succeeded.
class RuntimeScope {
 public:
  RuntimeScope() : entered_(Platform().RoInitialize() >= 0) {}
  ~RuntimeScope() {
    if (entered_) Platform().RoUninitialize();
  }
  RuntimeScope(const RuntimeScope&) = delete;
  RuntimeScope& operator=(const RuntimeScope&) = delete;

 private:
  bool entered_;
};

// The objects of one command, released in this order when InitSAR ends.
struct CommandObjects {
  std::shared_ptr<Buffer> request;
  std::vector<std::uint8_t> responseBytes;
  std::shared_ptr<DeviceService> service;
  std::shared_ptr<DeviceServiceCommandSession> session;
  std::shared_ptr<AsyncOperation<std::shared_ptr<DeviceServiceCommandResult>>> pending;
  std::shared_ptr<DeviceServiceCommandResult> result;
};

}  // namespace

std::uint32_t InitSAR(const ModemObjects& process) {
  RuntimeScope runtime;
  std::uint32_t status = 0;
  CommandObjects objects;
  try {
    const SARSetConfigMessage message = BuildSARSetConfigMessage();
    objects.request = Platform().CreateFromByteArray(message);
    objects.service = process.modem->GetDeviceService(kSarDeviceServiceId);
    if (objects.service) objects.session = objects.service->OpenCommandSession();
    if (objects.session) {
      objects.pending = objects.session->SendSetCommandAsync(kSarConfigCommandId, objects.request);
      objects.result = Wait(*objects.pending, kAsyncOperationTimeout, L"The SAR configuration command");
      if (!objects.result) throw PlatformError(kEPointer, L"The command completed without a result.");
      status = objects.result->StatusCode();
      if (status != 0) {
        WriteConsoleMessage(console_texts::kSarConfigFailed);
      } else {
        std::shared_ptr<Buffer> response = objects.result->ResponseData();
        objects.responseBytes = Platform().CopyToByteArray(response);
        response.reset();
        if (objects.responseBytes.size() < kSarConfigReplySize) {
          WriteDebugMessage(L"[Korvi] - InitSAR()  the reply holds %u bytes, fewer than %u: the missing words read as 0",
                            static_cast<unsigned>(objects.responseBytes.size()),
                            static_cast<unsigned>(kSarConfigReplySize));
        }
        const std::string report = RenderSARConfigReply(objects.responseBytes);  // ASCII only
        WriteDebugMessage(L"%ls", std::wstring(report.begin(), report.end()).c_str());
      }
    }
  } catch (const PlatformError& error) {
    status = 1;
    ReportCaughtError(L" 0x%08x - %ls", error);
  }
  // Released in the order the modem expects them back: result, operation, session, service,
  // then the response bytes and the request buffer.
  objects.result.reset();
  objects.pending.reset();
  objects.session.reset();
  objects.service.reset();
  objects.responseBytes.clear();
  objects.request.reset();
  return status;
}

}  // namespace korvi::cellular
