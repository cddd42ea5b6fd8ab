#include "wmi_fakes.h"

#include <wbemcli.h>

#include <memory>
#include <string>
#include <string_view>

#include "com_object.h"
#include "provider_notebook.h"
#include "reaction_stamps.h"
#include "wmi_stubs.h"
#include "wlan_power/wmi_service.h"

namespace korvi::fake {
namespace {

using wlan_power::HResult;

// WBEMSTATUS values as HRESULTs (the enum's values do not fit a signed 32-bit enum).
constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80041024);       // WBEM_E_NOT_SUPPORTED
constexpr HRESULT kInvalidParameter = static_cast<HRESULT>(0x80041008);  // WBEM_E_INVALID_PARAMETER

// A text as the simulated service takes it; null stays null, as the simulated service
// receives a text that SysAllocString could not make.
std::unique_ptr<wlan_power::WmiText> TextOf(const wchar_t* text, std::size_t length) {
  if (text == nullptr) return nullptr;
  return sim::MakeSimText(std::wstring_view(text, length));
}
std::unique_ptr<wlan_power::WmiText> TextOf(LPCWSTR text) {
  return TextOf(text, text != nullptr ? std::char_traits<wchar_t>::length(text) : 0);
}
std::unique_ptr<wlan_power::WmiText> TextOf(BSTR text) { return TextOf(text, SysStringLen(text)); }

// An object path that is no text at all (a null BSTR): the simulated ExecMethod rejects it.
class NoPath final : public wlan_power::WmiValue {};

// The decimal text WMI makes of a number handed to Put; other kinds of value have none.
std::wstring TextOfValue(const VARIANT* value) {
  if (value == nullptr) return {};
  switch (V_VT(value)) {
    case VT_BSTR: return std::wstring(V_BSTR(value), SysStringLen(V_BSTR(value)));
    case VT_I4: return V_I4(value) < 0 ? std::wstring() : std::to_wstring(V_I4(value));
    case VT_UI4: return std::to_wstring(V_UI4(value));
    default: return {};
  }
}

// Fills a VARIANT from a simulated value: a text as VT_BSTR, a number as VT_I4 (WMI hands
// CIM_UINT32 values out as VT_I4), nothing as VT_NULL.
HRESULT FillVariant(const wlan_power::WmiValue& value, VARIANT* out, CIMTYPE* type) {
  if (out != nullptr) VariantInit(out);
  if (const auto text = sim::SimValueText(value)) {
    if (out != nullptr) {
      UniqueBstr copy = CopyToBstr(*text);
      if (!copy) return E_OUTOFMEMORY;
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = copy.Release();
    }
    if (type != nullptr) *type = CIM_STRING;
  } else if (const auto number = sim::SimValueNumber(value)) {
    if (out != nullptr) {
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(*number);
    }
    if (type != nullptr) *type = CIM_UINT32;
  } else {
    if (out != nullptr) V_VT(out) = VT_NULL;
    if (type != nullptr) *type = CIM_EMPTY;
  }
  return S_OK;
}

// What the service never asks of the firmware's objects answers WBEM_E_NOT_SUPPORTED.
class FakeClassObject final
    : public windows::test::WbemClassObjectStubs<ComObject<FakeClassObject, IWbemClassObject>, kNotSupported> {
 public:
  // {6b0f3c55-2e0a-4b8e-9c1d-3f6a1e7d9a01}: only our own objects answer it.
  static constexpr GUID kSelfIid = {0x6b0f3c55, 0x2e0a, 0x4b8e, {0x9c, 0x1d, 0x3f, 0x6a, 0x1e, 0x7d, 0x9a, 0x01}};

  explicit FakeClassObject(std::unique_ptr<wlan_power::WbemClassObject> object) : object_(std::move(object)) {}
  const wlan_power::WbemClassObject& simulated() const noexcept { return *object_; }

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override {
    if (value != nullptr) VariantInit(value);
    if (type != nullptr) *type = CIM_EMPTY;
    if (flavor != nullptr) *flavor = 0;
    return Guard([&] {
      std::unique_ptr<wlan_power::WmiValue> got;
      const HResult result = object_->Get(TextOf(name).get(), got);
      if (result != 0 || !got) return static_cast<HRESULT>(result);
      return FillVariant(*got, value, type);
    });
  }

  HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG, VARIANT* value, CIMTYPE type) override {
    return Guard([&] { return static_cast<HRESULT>(object_->Put(TextOf(name).get(), TextOfValue(value), type)); });
  }

  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG, IWbemClassObject** inSignature,
                                      IWbemClassObject** outSignature) override {
    ClearOut(outSignature);  // the simulated firmware's method has no out-signature to give
    ClearOut(inSignature);
    return Guard([&] {
      std::unique_ptr<wlan_power::WbemClassObject> in;
      const HResult result = object_->GetMethod(TextOf(name).get(), in);
      if (result != 0 || !in) return static_cast<HRESULT>(result);
      if (inSignature == nullptr) return S_OK;
      return GiveOut(Make<FakeClassObject>(std::move(in)), inSignature);
    });
  }

  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject** instance) override {
    if (!ClearOut(instance)) return kInvalidParameter;
    return Guard([&] {
      std::unique_ptr<wlan_power::WbemClassObject> spawned;
      const HResult result = object_->SpawnInstance(spawned);
      if (result != 0 || !spawned) return static_cast<HRESULT>(result);
      return GiveOut(Make<FakeClassObject>(std::move(spawned)), instance);
    });
  }

 private:
  std::unique_ptr<wlan_power::WbemClassObject> object_;
};

class FakeEnumerator final : public ComObject<FakeEnumerator, IEnumWbemClassObject> {
 public:
  explicit FakeEnumerator(std::unique_ptr<wlan_power::WbemEnumerator> enumerator)
      : enumerator_(std::move(enumerator)) {}

  HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
    if (objects == nullptr || returned == nullptr) return kInvalidParameter;
    *returned = 0;
    return Guard([&] {
      HResult result = 0;
      for (ULONG i = 0; i < count; ++i) {
        objects[i] = nullptr;
        std::unique_ptr<wlan_power::WbemClassObject> next;
        result = enumerator_->Next(next);
        if (result != 0 || !next) break;
        GiveOut(Make<FakeClassObject>(std::move(next)), &objects[i]);
        ++*returned;
      }
      return static_cast<HRESULT>(result);
    });
  }

  HRESULT STDMETHODCALLTYPE Reset() override { return kNotSupported; }
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return kNotSupported; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return kNotSupported; }
  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return kNotSupported; }

 private:
  std::unique_ptr<wlan_power::WbemEnumerator> enumerator_;
};

// IClientSecurity is what CoSetProxyBlanket asks of the object it is given: the real
// services object is a proxy that has it, and the simulated service answers the call.
class FakeServices final
    : public windows::test::WbemServicesStubs<ComObject<FakeServices, IWbemServices, IClientSecurity>, kNotSupported> {
 public:
  explicit FakeServices(std::unique_ptr<wlan_power::WbemServices> services) : services_(std::move(services)) {}

  HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD, void*, DWORD) override {
    return Guard([&] { return static_cast<HRESULT>(services_->CoSetProxyBlanket()); });
  }
  HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                         DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext*,
                                      IEnumWbemClassObject** enumerator) override {
    if (!ClearOut(enumerator)) return kInvalidParameter;
    return Guard([&] {
      std::unique_ptr<wlan_power::WbemEnumerator> found;
      const HResult result = services_->ExecQuery(TextOf(language).get(), TextOf(query).get(), flags, found);
      if (result != 0 || !found) return static_cast<HRESULT>(result);
      return GiveOut(Make<FakeEnumerator>(std::move(found)), enumerator);
    });
  }

  HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG, IWbemContext*, IWbemClassObject** object,
                                      IWbemCallResult** callResult) override {
    ClearOut(callResult);
    ClearOut(object);
    return Guard([&] {
      std::unique_ptr<wlan_power::WbemClassObject> found;
      const HResult result = services_->GetObject(TextOf(path).get(), found);
      if (result != 0 || !found) return static_cast<HRESULT>(result);
      if (object == nullptr) return S_OK;
      return GiveOut(Make<FakeClassObject>(std::move(found)), object);
    });
  }

  // Stock Wine's ExecMethod crashes on null in-parameters; here a null (or foreign) object
  // reaches the simulated service as "no in-parameters", which it answers with an error.
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG, IWbemContext*,
                                       IWbemClassObject* inParams, IWbemClassObject** outParams,
                                       IWbemCallResult** callResult) override {
    stamps::Take(stamps::Moment::kExecMethod);
    ClearOut(callResult);
    ClearOut(outParams);
    return Guard([&] {
      const ComPtr<FakeClassObject> in = Unwrap<FakeClassObject>(inParams);
      const std::unique_ptr<wlan_power::WmiValue> pathValue =
          path != nullptr ? sim::MakeSimTextValue(std::wstring_view(path, SysStringLen(path)))
                          : std::make_unique<NoPath>();
      std::unique_ptr<wlan_power::WbemClassObject> out;
      const HResult result =
          services_->ExecMethod(*pathValue, TextOf(method).get(), in ? &in->simulated() : nullptr, out);
      if (result != 0 || !out) return static_cast<HRESULT>(result);
      if (outParams == nullptr) return S_OK;
      return GiveOut(Make<FakeClassObject>(std::move(out)), outParams);
    });
  }

 private:
  std::unique_ptr<wlan_power::WbemServices> services_;
};

class FakeLocator final : public ComObject<FakeLocator, IWbemLocator> {
 public:
  explicit FakeLocator(std::unique_ptr<wlan_power::WbemLocator> locator) : locator_(std::move(locator)) {}

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR ns, const BSTR, const BSTR, const BSTR, LONG, const BSTR,
                                          IWbemContext*, IWbemServices** services) override {
    if (!ClearOut(services)) return kInvalidParameter;
    return Guard([&] {
      std::unique_ptr<wlan_power::WbemServices> connected;
      const HResult result = locator_->ConnectServer(TextOf(ns).get(), connected);
      if (result != 0 || !connected) return static_cast<HRESULT>(result);
      return GiveOut(Make<FakeServices>(std::move(connected)), services);
    });
  }

 private:
  std::unique_ptr<wlan_power::WbemLocator> locator_;
};

// Each CreateInstance is one CoCreateInstance of the service, and is answered by the
// simulated service's CoCreateInstance (with its fault).
class LocatorClassFactory final : public ComObject<LocatorClassFactory, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    stamps::Take(stamps::Moment::kCallStart);
    if (!ClearOut(out)) return E_POINTER;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return Guard([&] {
      std::unique_ptr<wlan_power::WbemLocator> locator;
      const HResult result = ProviderNotebook::Get().wmi().CoCreateInstance(locator);
      if (result != 0 || !locator) return result != 0 ? static_cast<HRESULT>(result) : E_FAIL;
      return Make<FakeLocator>(std::move(locator))->QueryInterface(iid, out);
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

}  // namespace

HRESULT GetWbemLocatorClassObject(REFIID iid, void** out) noexcept {
  if (!ClearOut(out)) return E_POINTER;
  return Guard([&] { return Make<LocatorClassFactory>()->QueryInterface(iid, out); });
}

}  // namespace korvi::fake
