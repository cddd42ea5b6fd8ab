// The WMI objects, BSTR texts and VARIANT values behind the WLAN seam, each owning its one
// platform object.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <memory>

#include "platform/windows/support/owners.h"
#include "wlan_power/wmi_service.h"

namespace korvi::windows {

class WmiTextObject final : public wlan_power::WmiText {
 public:
  explicit WmiTextObject(UniqueBstr text) noexcept : text_(std::move(text)) {}
  BSTR get() const noexcept { return text_.get(); }

 private:
  UniqueBstr text_;
};

class WmiValueObject final : public wlan_power::WmiValue {
 public:
  explicit WmiValueObject(UniqueVariant value) noexcept : value_(std::move(value)) {}
  const VARIANT& get() const noexcept { return value_.get(); }

 private:
  UniqueVariant value_;
};

// The BSTR behind a seam text; null for a null text (or one that is not ours).
BSTR BstrOf(const wlan_power::WmiText* text) noexcept;

// The seam's locator over an IWbemLocator; null when out of memory.
std::unique_ptr<wlan_power::WbemLocator> WrapLocator(ComPtr<IWbemLocator> locator) noexcept;

}  // namespace korvi::windows
