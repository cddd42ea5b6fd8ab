// The seam to COM and WMI: the steps of one firmware method call. Each step returns its
// 32-bit result code (an HRESULT) and throws nothing, so that every report and every failure
// branch stays in the portable logic.
//
// Objects come back through unique_ptr out-parameters; destroying one releases the platform
// object (IUnknown::Release, SysFreeString, VariantClear). An out-parameter is left empty when
// the platform gave no object. A text argument may be null: the platform then passes a null
// text on, exactly as a failed SysAllocString would leave it.
#pragma once

#include "os/platform_slot.h"
#include <cstdint>
#include <memory>
#include <string_view>

namespace korvi::wlan_power {

using HResult = std::int32_t;

inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr std::int32_t kCimUint32 = 19;
inline constexpr std::int32_t kWbemFlagForwardOnlyReturnImmediately = 0x30;

// A BSTR.
class WmiText {
 public:
  virtual ~WmiText() = default;
};

// A VARIANT that a Get filled (the instance's path, OutEDX).
class WmiValue {
 public:
  virtual ~WmiValue() = default;
};

// IWbemClassObject.
class WbemClassObject {
 public:
  virtual ~WbemClassObject() = default;
  // GetMethod(name, 0, &inSignature, NULL): the out-signature is not asked for.
  virtual HResult GetMethod(const WmiText* name, std::unique_ptr<WbemClassObject>& inSignature) noexcept = 0;
  // SpawnInstance(0, &instance).
  virtual HResult SpawnInstance(std::unique_ptr<WbemClassObject>& instance) noexcept = 0;
  // Put(name, 0, &variant, cimType) with a VT_BSTR variant holding a new copy of value; the
  // variant is cleared before this returns.
  virtual HResult Put(const WmiText* name, std::wstring_view value, std::int32_t cimType) noexcept = 0;
  // Get(name, 0, &value, NULL, NULL).
  virtual HResult Get(const WmiText* name, std::unique_ptr<WmiValue>& value) noexcept = 0;
};

// IEnumWbemClassObject.
class WbemEnumerator {
 public:
  virtual ~WbemEnumerator() = default;
  // Next(WBEM_INFINITE, 1, &object, &returned); the count returned is not reported.
  virtual HResult Next(std::unique_ptr<WbemClassObject>& object) noexcept = 0;
};

// IWbemServices.
class WbemServices {
 public:
  virtual ~WbemServices() = default;
  // CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, NULL,
  //   RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_NONE).
  virtual HResult CoSetProxyBlanket() noexcept = 0;
  // ExecQuery(language, query, flags, NULL, &enumerator).
  virtual HResult ExecQuery(const WmiText* language, const WmiText* query, std::int32_t flags,
                            std::unique_ptr<WbemEnumerator>& enumerator) noexcept = 0;
  // GetObject(path, 0, NULL, &object, NULL).
  virtual HResult GetObject(const WmiText* path, std::unique_ptr<WbemClassObject>& object) noexcept = 0;
  // ExecMethod(V_BSTR(objectPath), method, 0, NULL, inParams, &outParams, NULL). inParams may be
  // null (no in-parameters object), as ExecMethod itself allows.
  virtual HResult ExecMethod(const WmiValue& objectPath, const WmiText* method, const WbemClassObject* inParams,
                             std::unique_ptr<WbemClassObject>& outParams) noexcept = 0;
};

// IWbemLocator.
class WbemLocator {
 public:
  virtual ~WbemLocator() = default;
  // ConnectServer(ns, NULL, NULL, NULL, 0, NULL, NULL, &services).
  virtual HResult ConnectServer(const WmiText* ns, std::unique_ptr<WbemServices>& services) noexcept = 0;
};

// The process-level COM calls.
class WmiPlatform {
 public:
  virtual ~WmiPlatform() = default;
  // SysAllocString(text) of a null-terminated text; E_OUTOFMEMORY (and an empty text) when it
  // gave none, as it gives none for a null text.
  virtual HResult SysAllocString(const wchar_t* text, std::unique_ptr<WmiText>& out) noexcept = 0;
  // CoInitialize(NULL): asks for a single-threaded apartment.
  virtual HResult CoInitialize() noexcept = 0;
  virtual void CoUninitialize() noexcept = 0;
  // CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_DEFAULT,
  //   RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_NONE, NULL).
  virtual HResult CoInitializeSecurity() noexcept = 0;
  // CoCreateInstance(CLSID_WbemLocator, NULL, CLSCTX_INPROC_SERVER, IID_IWbemLocator, ...).
  virtual HResult CoCreateInstance(std::unique_ptr<WbemLocator>& locator) noexcept = 0;
};

// The platform in use for the whole process; installed once, before the service starts.
inline os::PlatformSlot<WmiPlatform> installedPlatform;
inline void UsePlatform(WmiPlatform& platform) noexcept { installedPlatform.Install(platform); }
inline WmiPlatform& Platform() noexcept { return installedPlatform.Get(); }

}  // namespace korvi::wlan_power
