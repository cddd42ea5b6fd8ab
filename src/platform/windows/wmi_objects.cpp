#include "platform/windows/wmi_objects.h"

#include <new>
#include <utility>

#include "platform/windows/support/hstrings.h"

namespace korvi::windows {
namespace {

using wlan_power::HResult;

// WBEM_E_INVALID_PARAMETER, which the header gives as an unsigned enumerator.
constexpr HResult kInvalidParameter = static_cast<HResult>(0x80041008);

// Hands a platform object to a seam out-parameter. The platform's code stands unless the
// wrapper itself could not be made.
template <class Seam, class Wrapper, class Interface>
HResult Give(HResult code, ComPtr<Interface>& object, std::unique_ptr<Seam>& out) noexcept {
  out.reset();
  if (!object) return code;
  out.reset(new (std::nothrow) Wrapper(std::move(object)));
  return out ? code : E_OUTOFMEMORY;
}

class ClassObject final : public wlan_power::WbemClassObject {
 public:
  explicit ClassObject(ComPtr<IWbemClassObject> object) noexcept : object_(std::move(object)) {}
  IWbemClassObject* get() const noexcept { return object_.get(); }

  HResult GetMethod(const wlan_power::WmiText* name, std::unique_ptr<wlan_power::WbemClassObject>& inSignature) noexcept
      override {
    ComPtr<IWbemClassObject> signature;
    const HRESULT code = object_->GetMethod(BstrOf(name), 0, signature.put(), nullptr);
    return Give<wlan_power::WbemClassObject, ClassObject>(code, signature, inSignature);
  }

  HResult SpawnInstance(std::unique_ptr<wlan_power::WbemClassObject>& instance) noexcept override {
    ComPtr<IWbemClassObject> spawned;
    const HRESULT code = object_->SpawnInstance(0, spawned.put());
    return Give<wlan_power::WbemClassObject, ClassObject>(code, spawned, instance);
  }

  HResult Put(const wlan_power::WmiText* name, std::wstring_view value, std::int32_t cimType) noexcept override {
    // A null text stays a null BSTR (an empty one to COM); any other text is copied whole, or
    // not at all when it is longer than a BSTR can hold (cut to fit, it would hand the
    // firmware another value).
    UniqueBstr copy;
    if (value.data() != nullptr) {
      copy = CopyToBstr(value);
      if (!copy) return E_OUTOFMEMORY;
    }
    VARIANT text;
    ::VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = copy.Release();
    UniqueVariant variant(text);  // owns the copy from here on
    return object_->Put(BstrOf(name), 0, &variant.get(), static_cast<CIMTYPE>(cimType));
    // The variant, and with it the copy, is cleared on the way out.
  }

  HResult Get(const wlan_power::WmiText* name, std::unique_ptr<wlan_power::WmiValue>& value) noexcept override {
    value.reset();
    UniqueVariant got;
    const HRESULT code = object_->Get(BstrOf(name), 0, got.put(), nullptr, nullptr);
    if (FAILED(code)) return code;
    value.reset(new (std::nothrow) WmiValueObject(std::move(got)));
    return value ? code : E_OUTOFMEMORY;
  }

 private:
  ComPtr<IWbemClassObject> object_;
};

class EnumeratorObject final : public wlan_power::WbemEnumerator {
 public:
  explicit EnumeratorObject(ComPtr<IEnumWbemClassObject> enumerator) noexcept : enumerator_(std::move(enumerator)) {}

  HResult Next(std::unique_ptr<wlan_power::WbemClassObject>& object) noexcept override {
    ComPtr<IWbemClassObject> next;
    ULONG returned = 0;
    const HRESULT code = enumerator_->Next(static_cast<LONG>(WBEM_INFINITE), 1, next.put(), &returned);
    return Give<wlan_power::WbemClassObject, ClassObject>(code, next, object);
  }

 private:
  ComPtr<IEnumWbemClassObject> enumerator_;
};

class ServicesObject final : public wlan_power::WbemServices {
 public:
  explicit ServicesObject(ComPtr<IWbemServices> services) noexcept : services_(std::move(services)) {}

  HResult CoSetProxyBlanket() noexcept override {
    return ::CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  }

  HResult ExecQuery(const wlan_power::WmiText* language, const wlan_power::WmiText* query, std::int32_t flags,
                    std::unique_ptr<wlan_power::WbemEnumerator>& enumerator) noexcept override {
    ComPtr<IEnumWbemClassObject> found;
    const HRESULT code = services_->ExecQuery(BstrOf(language), BstrOf(query), flags, nullptr, found.put());
    return Give<wlan_power::WbemEnumerator, EnumeratorObject>(code, found, enumerator);
  }

  HResult GetObject(const wlan_power::WmiText* path, std::unique_ptr<wlan_power::WbemClassObject>& object) noexcept
      override {
    ComPtr<IWbemClassObject> found;
    const HRESULT code = services_->GetObject(BstrOf(path), 0, nullptr, found.put(), nullptr);
    return Give<wlan_power::WbemClassObject, ClassObject>(code, found, object);
  }

  HResult ExecMethod(const wlan_power::WmiValue& objectPath, const wlan_power::WmiText* method,
                     const wlan_power::WbemClassObject* inParams,
                     std::unique_ptr<wlan_power::WbemClassObject>& outParams) noexcept override {
    outParams.reset();
    // The path must be a text: reading V_BSTR of another kind of value would read the wrong
    // member of the union.
    const auto* path = dynamic_cast<const WmiValueObject*>(&objectPath);
    if (path == nullptr || path->get().vt != VT_BSTR) return kInvalidParameter;
    IWbemClassObject* in = nullptr;
    if (inParams != nullptr) {
      const auto* ours = dynamic_cast<const ClassObject*>(inParams);
      if (ours == nullptr) return kInvalidParameter;
      in = ours->get();
    }
    ComPtr<IWbemClassObject> out;
    const HRESULT code = services_->ExecMethod(path->get().bstrVal, BstrOf(method), 0, nullptr, in, out.put(), nullptr);
    return Give<wlan_power::WbemClassObject, ClassObject>(code, out, outParams);
  }

 private:
  ComPtr<IWbemServices> services_;
};

class LocatorObject final : public wlan_power::WbemLocator {
 public:
  explicit LocatorObject(ComPtr<IWbemLocator> locator) noexcept : locator_(std::move(locator)) {}

  HResult ConnectServer(const wlan_power::WmiText* ns, std::unique_ptr<wlan_power::WbemServices>& services) noexcept
      override {
    ComPtr<IWbemServices> connected;
    const HRESULT code = locator_->ConnectServer(BstrOf(ns), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                                       connected.put());
    return Give<wlan_power::WbemServices, ServicesObject>(code, connected, services);
  }

 private:
  ComPtr<IWbemLocator> locator_;
};

}  // namespace

BSTR BstrOf(const wlan_power::WmiText* text) noexcept {
  const auto* ours = dynamic_cast<const WmiTextObject*>(text);
  return ours != nullptr ? ours->get() : nullptr;
}

std::unique_ptr<wlan_power::WbemLocator> WrapLocator(ComPtr<IWbemLocator> locator) noexcept {
  if (!locator) return nullptr;
  return std::unique_ptr<wlan_power::WbemLocator>(new (std::nothrow) LocatorObject(std::move(locator)));
}

}  // namespace korvi::windows
