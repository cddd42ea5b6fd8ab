// COM and WMI behind the WLAN seam: each step of the firmware method call is the platform
// call itself, and its HRESULT goes back to the portable logic unchanged.
#pragma once

#include "wlan_power/wmi_service.h"

namespace korvi::windows {

class ComWmiPlatform final : public wlan_power::WmiPlatform {
 public:
  wlan_power::HResult SysAllocString(const wchar_t* text, std::unique_ptr<wlan_power::WmiText>& out) noexcept override;
  wlan_power::HResult CoInitialize() noexcept override;
  void CoUninitialize() noexcept override;
  wlan_power::HResult CoInitializeSecurity() noexcept override;
  wlan_power::HResult CoCreateInstance(std::unique_ptr<wlan_power::WbemLocator>& locator) noexcept override;
};

}  // namespace korvi::windows
