// The objects the simulated COM/WMI hands out: texts, values, the locator, the services, the
// query's enumerator, the class and its instance, the method's parameters; and the firmware
// behind ExecMethod, which records each call and the WLAN power it sets.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/sim/models/apartments.h"
#include "platform/sim/models/object_count.h"
#include "platform/sim/models/wmi_world.h"

namespace korvi::sim {

using wlan_power::HResult;
using wlan_power::WbemClassObject;
using wlan_power::WbemEnumerator;
using wlan_power::WbemLocator;
using wlan_power::WbemServices;
using wlan_power::WmiText;
using wlan_power::WmiValue;

namespace {

using World = SimWmi::World;

constexpr std::wstring_view kNamespace = L"root\\wmi";
constexpr std::wstring_view kClassName = L"QelButtonMethodDWSi";
constexpr std::wstring_view kClassPath = L"\\\\SIM\\root\\wmi:QelButtonMethodDWSi";
constexpr std::wstring_view kParametersClass = L"__PARAMETERS";
constexpr std::wstring_view kMethodName = L"ExecINT";
constexpr std::wstring_view kQueryLanguage = L"WQL";
constexpr std::wstring_view kQuery = L"Select * from QelButtonMethodDWSi";
constexpr std::wstring_view kInstanceName = L"ACPI\\PNP0C14\\0_0";
constexpr std::size_t kInputCount = 6;
constexpr std::wstring_view kInputNames[kInputCount] = {L"InEAX", L"InEBX", L"InECX", L"InEDX", L"InESI", L"InEDI"};
constexpr std::wstring_view kOutputName = L"OutEDX";

// WMI compares names without regard to case; the names here are ASCII.
bool SameName(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i];
    wchar_t y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return true;
}

// What WMI makes of a text declared CIM_UINT32: decimal digits only, within 0..4294967295.
std::optional<std::uint32_t> ToUint32(std::wstring_view text) noexcept {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

class SimText final : public WmiText, CountedObject {
 public:
  explicit SimText(std::wstring_view text) : text_(text) {}
  std::wstring_view text() const noexcept { return text_; }

 private:
  std::wstring text_;
};

// A null text, as a failed SysAllocString or a null argument leaves it, is an empty optional.
std::optional<std::wstring_view> TextOf(const WmiText* text) noexcept {
  const auto* simText = dynamic_cast<const SimText*>(text);
  if (simText == nullptr) return std::nullopt;
  return simText->text();
}

// A VARIANT: VT_NULL, VT_BSTR or a 32-bit unsigned number.
class SimValue final : public WmiValue, CountedObject {
 public:
  SimValue() = default;
  explicit SimValue(std::wstring_view text) : text_(std::wstring(text)) {}
  explicit SimValue(std::uint32_t number) : number_(number) {}
  const std::optional<std::wstring>& text() const noexcept { return text_; }
  const std::optional<std::uint32_t>& number() const noexcept { return number_; }

 private:
  std::optional<std::wstring> text_;
  std::optional<std::uint32_t> number_;
};

// A COM object: counted, and noting a release that comes after the thread left COM.
class ComObject : CountedObject {
 public:
  explicit ComObject(std::shared_ptr<World> world) : world_(std::move(world)) {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  ~ComObject() {
    if (!Apartments::ComUsable()) {
      std::lock_guard lock(world_->mutex);
      ++world_->releasesWithoutCom;
    }
  }

 protected:
  const std::shared_ptr<World>& world() const noexcept { return world_; }

 private:
  std::shared_ptr<World> world_;
};

enum class Kind {
  kInstance,       // the firmware's one instance of QelButtonMethodDWSi
  kClass,          // the class definition
  kInSignature,    // ExecINT's in-parameter definition (a __PARAMETERS class)
  kInParameters,   // an instance of the in-signature
  kOutParameters,  // what ExecINT gave back
};

class SimObject final : public WbemClassObject, ComObject {
 public:
  using Inputs = std::array<std::optional<std::uint32_t>, kInputCount>;

  SimObject(std::shared_ptr<World> world, Kind kind, Inputs inputs = {})
      : ComObject(std::move(world)), kind_(kind), inputs_(inputs) {}

  Kind kind() const noexcept { return kind_; }
  const Inputs& inputs() const noexcept { return inputs_; }

  HResult GetMethod(const WmiText* name, std::unique_ptr<WbemClassObject>& inSignature) noexcept override {
    inSignature.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("GetMethod")) return *code;
      const auto method = TextOf(name);
      if (!method) return kWbemEInvalidParameter;
      if ((kind_ != Kind::kClass && kind_ != Kind::kInstance) || !SameName(*method, kMethodName)) return kWbemENotFound;
      inSignature = std::make_unique<SimObject>(world(), Kind::kInSignature);
      return 0;
    });
  }

  HResult SpawnInstance(std::unique_ptr<WbemClassObject>& instance) noexcept override {
    instance.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("SpawnInstance")) return *code;
      // The simulated firmware supports spawning the method's in-parameters only.
      if (kind_ != Kind::kInSignature) return kWbemEInvalidOperation;
      instance = std::make_unique<SimObject>(world(), Kind::kInParameters, inputs_);
      return 0;
    });
  }

  HResult Put(const WmiText* name, std::wstring_view value, std::int32_t cimType) noexcept override {
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("Put")) return *code;
      const auto property = TextOf(name);
      if (!property) return kWbemEInvalidParameter;
      const std::optional<std::size_t> index = InputIndex(*property);
      if (!index || (kind_ != Kind::kInSignature && kind_ != Kind::kInParameters)) return kWbemENotFound;
      if (cimType != wlan_power::kCimUint32) return kWbemETypeMismatch;
      const std::optional<std::uint32_t> number = ToUint32(value);
      if (!number) return kWbemETypeMismatch;
      inputs_[*index] = *number;
      return 0;
    });
  }

  HResult Get(const WmiText* name, std::unique_ptr<WmiValue>& value) noexcept override {
    value.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("Get")) return *code;
      const auto property = TextOf(name);
      if (!property) return kWbemEInvalidParameter;
      const bool parameters = kind_ == Kind::kInSignature || kind_ == Kind::kInParameters || kind_ == Kind::kOutParameters;
      if (SameName(*property, L"__CLASS")) {
        value = std::make_unique<SimValue>(parameters ? kParametersClass : kClassName);
        return 0;
      }
      if (SameName(*property, L"__PATH")) {
        if (kind_ == Kind::kInstance) {
          value = std::make_unique<SimValue>(std::wstring_view(kFirmwareInstancePath));
        } else if (kind_ == Kind::kClass) {
          value = std::make_unique<SimValue>(kClassPath);
        } else {
          value = std::make_unique<SimValue>();  // not a stored object: no path
        }
        return 0;
      }
      if (kind_ == Kind::kInstance && SameName(*property, L"InstanceName")) {
        value = std::make_unique<SimValue>(kInstanceName);
        return 0;
      }
      if (kind_ == Kind::kInParameters || kind_ == Kind::kInSignature) {
        if (const auto index = InputIndex(*property)) {
          value = inputs_[*index] ? std::make_unique<SimValue>(*inputs_[*index]) : std::make_unique<SimValue>();
          return 0;
        }
      }
      if (kind_ == Kind::kOutParameters && SameName(*property, kOutputName)) {
        value = std::make_unique<SimValue>(std::uint32_t{0});
        return 0;
      }
      return kWbemENotFound;
    });
  }

 private:
  static std::optional<std::size_t> InputIndex(std::wstring_view property) noexcept {
    for (std::size_t i = 0; i < kInputCount; ++i) {
      if (SameName(property, kInputNames[i])) return i;
    }
    return std::nullopt;
  }

  const Kind kind_;
  Inputs inputs_;
};

class SimEnumerator final : public WbemEnumerator, ComObject {
 public:
  SimEnumerator(std::shared_ptr<World> world, bool hasInstance) : ComObject(std::move(world)), remaining_(hasInstance ? 1 : 0) {}

  HResult Next(std::unique_ptr<WbemClassObject>& object) noexcept override {
    object.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("Next")) return *code;
      if (remaining_ == 0) return kWbemSFalse;  // no more objects
      object = std::make_unique<SimObject>(world(), Kind::kInstance);
      --remaining_;
      return 0;
    });
  }

 private:
  int remaining_;
};

class SimServices final : public WbemServices, ComObject {
 public:
  using ComObject::ComObject;

  HResult CoSetProxyBlanket() noexcept override {
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("CoSetProxyBlanket")) return *code;
      return 0;
    });
  }

  HResult ExecQuery(const WmiText* language, const WmiText* query, std::int32_t /*flags*/,
                    std::unique_ptr<WbemEnumerator>& enumerator) noexcept override {
    enumerator.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("ExecQuery")) return *code;
      const auto languageText = TextOf(language);
      const auto queryText = TextOf(query);
      if (!languageText || !queryText) return kWbemEInvalidParameter;
      if (!SameName(*languageText, kQueryLanguage)) return kWbemEInvalidQueryType;
      if (!SameName(*queryText, kQuery)) return kWbemEInvalidQuery;
      enumerator = std::make_unique<SimEnumerator>(world(), world()->firmware.instance);
      return 0;
    });
  }

  HResult GetObject(const WmiText* path, std::unique_ptr<WbemClassObject>& object) noexcept override {
    object.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("GetObject")) return *code;
      const auto pathText = TextOf(path);
      if (!pathText) return kWbemEInvalidParameter;
      if (!SameName(*pathText, kClassName)) return kWbemENotFound;
      object = std::make_unique<SimObject>(world(), Kind::kClass);
      return 0;
    });
  }

  HResult ExecMethod(const WmiValue& objectPath, const WmiText* method, const WbemClassObject* inParams,
                     std::unique_ptr<WbemClassObject>& outParams) noexcept override {
    outParams.reset();
    // The state asked for is InECX, as far as the in-parameters carry it; the recorder hears it
    // for failed calls too, so a reduction that never happened stays visible.
    constexpr std::size_t kInEcx = 2;
    const auto* asked = dynamic_cast<const SimObject*>(inParams);
    const std::optional<std::uint32_t> wlanState =
        asked != nullptr && asked->kind() == Kind::kInParameters ? asked->inputs()[kInEcx] : std::nullopt;
    world()->recorder.FirmwareStart(wlanState);
    const HResult result = Call(objectPath, method, inParams, outParams);
    world()->recorder.FirmwareEnd(wlanState, result);
    return result;
  }

 private:
  HResult Call(const WmiValue& objectPath, const WmiText* method, const WbemClassObject* inParams,
               std::unique_ptr<WbemClassObject>& outParams) noexcept {
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("ExecMethod")) return *code;
      const auto* path = dynamic_cast<const SimValue*>(&objectPath);
      if (path == nullptr || !path->text()) return kWbemEInvalidParameter;
      if (!SameName(*path->text(), kFirmwareInstancePath)) return kWbemEInvalidObjectPath;
      const auto methodText = TextOf(method);
      if (!methodText) return kWbemEInvalidParameter;
      if (!SameName(*methodText, kMethodName)) return kWbemEInvalidMethod;
      const auto* parameters = dynamic_cast<const SimObject*>(inParams);
      if (parameters == nullptr || parameters->kind() != Kind::kInParameters) return kWbemEInvalidParameter;
      FirmwareCall call{};
      for (std::size_t i = 0; i < kInputCount; ++i) {
        if (!parameters->inputs()[i]) return kWbemEInvalidMethodParameters;
        call.inputs[i] = *parameters->inputs()[i];
      }
      // The firmware takes its time; the calling thread waits until the method has returned.
      if (world()->firmware.execMs > 0) world()->scheduler.ParkFor(world()->firmware.execMs);
      auto out = std::make_unique<SimObject>(world(), Kind::kOutParameters);
      {
        std::lock_guard lock(world()->mutex);
        world()->calls.push_back(call);
        world()->wlanState = static_cast<int>(call.inputs[2]);
      }
      outParams = std::move(out);
      return 0;
    });
  }
};

class SimLocator final : public WbemLocator, ComObject {
 public:
  using ComObject::ComObject;

  HResult ConnectServer(const WmiText* ns, std::unique_ptr<WbemServices>& services) noexcept override {
    services.reset();
    return Guarded([&]() -> HResult {
      if (auto code = world()->faults.Check("ConnectServer")) return *code;
      const auto nsText = TextOf(ns);
      if (!nsText) return kWbemEInvalidParameter;
      if (!SameName(*nsText, kNamespace)) return kWbemEInvalidNamespace;
      services = std::make_unique<SimServices>(world());
      return 0;
    });
  }
};

}  // namespace

std::unique_ptr<WbemLocator> MakeSimLocator(std::shared_ptr<World> world) {
  return std::make_unique<SimLocator>(std::move(world));
}

std::unique_ptr<WmiText> MakeSimText(std::wstring_view text) { return std::make_unique<SimText>(text); }

std::unique_ptr<WmiValue> MakeSimTextValue(std::wstring_view text) { return std::make_unique<SimValue>(text); }

std::optional<std::wstring> SimValueText(const WmiValue& value) {
  const auto* simValue = dynamic_cast<const SimValue*>(&value);
  return simValue != nullptr ? simValue->text() : std::nullopt;
}

std::optional<std::uint32_t> SimValueNumber(const WmiValue& value) {
  const auto* simValue = dynamic_cast<const SimValue*>(&value);
  return simValue != nullptr ? simValue->number() : std::nullopt;
}

}  // namespace korvi::sim
