#include "cellular/cellular_state.h"

#include <cwchar>

#include "os/messages.h"

namespace korvi::cellular {

ModemLookup ObtainDefaultModem() {
  ModemLookup lookup;
  std::shared_ptr<Modem> modem;
  std::shared_ptr<DeviceInformation> deviceInformation;
  try {
    modem = Platform().GetDefault();
    if (modem) deviceInformation = modem->DeviceInformation();
  } catch (const PlatformError& error) {
    lookup.error = error;
  }
  // Either one missing is no modem to watch, and neither is held.
  if (modem != nullptr && deviceInformation != nullptr) {
    lookup.objects.reset(new ModemObjects(std::move(modem), std::move(deviceInformation)));
  }
  return lookup;
}

TransmissionSubscription& TransmissionSubscription::operator=(TransmissionSubscription&& other) noexcept {
  if (this != &other) {
    Revoke();
    manager_ = std::move(other.manager_);
    token_ = other.token_;
    other.manager_.reset();
  }
  return *this;
}

void TransmissionSubscription::Revoke() noexcept {
  const std::shared_ptr<SarManager> manager = std::move(manager_);
  manager_.reset();
  if (!manager) return;
  try {
    manager->RemoveTransmissionStateChanged(token_);
  } catch (const PlatformError& error) {
    ReportCaughtError(L"0x%08x - %ls\n", error);
  } catch (...) {
    // Nothing more can be done: the process is ending or monitoring has stopped.
  }
}

void ReportCaughtError(os::WideFormat<unsigned, const wchar_t*> form, const PlatformError& error) {
  // The text is cut at the buffer's size, as the fixed buffer of 260 characters would cut it.
  wchar_t text[260] = {};
  if (std::swprintf(text, 260, form.c_str(), static_cast<unsigned>(error.code()), error.message().c_str()) < 0) {
    text[259] = L'\0';
  }
  WriteDebugMessage(L"%ls", text);
}

}  // namespace korvi::cellular
