#include "cellular/cellular_state.h"

#include <cwchar>

#include "controller/messages.h"

namespace korvi::cellular {

ModemLookup ObtainDefaultModem() {
  ModemLookup lookup;
  try {
    modem = Platform().GetDefault();
    if (modem) deviceInformation = modem->DeviceInformation();
    lookup.found = modem != nullptr && deviceInformation != nullptr;
  } catch (const PlatformError& error) {
    lookup.error = error;
  }
  if (!lookup.found) {
    deviceInformation.reset();
    modem.reset();
  }
  return lookup;
}

void ReleaseProcessObjects() noexcept {
  deviceInformation.reset();
  modem.reset();
  sarManager.reset();
}

void ReportCaughtError(const wchar_t* format, const PlatformError& error) {
  // The text is cut at the buffer's size, as the fixed buffer of 260 characters would cut it.
  wchar_t text[260] = {};
  if (std::swprintf(text, 260, format, static_cast<unsigned>(error.code()), error.message().c_str()) < 0) {
    text[259] = L'\0';
  }
  WriteDebugMessage(L"%ls", text);
}

}  // namespace korvi::cellular
