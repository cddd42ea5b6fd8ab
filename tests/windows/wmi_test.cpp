// The WMI objects behind the WLAN seam, over recording stand-ins for WMI: each step hands the
// platform's code back unchanged, values and objects come out only when the platform gave
// them, the method's path is used only when it is a text, and every reference goes back.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/wmi_objects.h"
#include "platform/windows/wmi_platform.h"
#include "platform_frees.h"
#include "recording_objects.h"
#include "wmi_stubs.h"

namespace korvi::windows::test {
namespace {

constexpr HRESULT kNotImplemented = E_NOTIMPL;
constexpr HRESULT kInvalidParameter = static_cast<HRESULT>(0x80041008);  // WBEM_E_INVALID_PARAMETER

std::wstring TextOf(const wchar_t* text) { return text != nullptr ? text : L"(null)"; }

class FakeClassObject final : public WbemClassObjectStubs<RecordingUnknown<IWbemClassObject>, kNotImplemented> {
 public:
  // What the last Put received.
  std::wstring putName;
  VARTYPE putType = VT_EMPTY;
  bool putNullText = false;
  std::wstring putText;
  BSTR putCopy = nullptr;  // only compared
  CIMTYPE putCimType = 0;
  // What Get gives: the instance's path as a text, "Number" as a VT_I4.
  std::wstring path = L"\\\\.\\root\\wmi:QelButtonMethodDWSi.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"";

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE*, LONG*) override {
    Hit("Get");
    if (answer < 0) return answer;
    if (std::wstring(TextOf(name)) == L"Number") {
      value->vt = VT_I4;
      value->lVal = 5;
    } else {
      value->vt = VT_BSTR;
      value->bstrVal = ::SysAllocString(path.c_str());
    }
    return answer;
  }
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG, VARIANT* value, CIMTYPE type) override {
    putName = TextOf(name);
    putType = value->vt;
    putNullText = value->vt == VT_BSTR && value->bstrVal == nullptr;
    putText = value->vt == VT_BSTR && value->bstrVal != nullptr ? value->bstrVal : L"";
    putCopy = value->vt == VT_BSTR ? value->bstrVal : nullptr;
    putCimType = type;
    return Hit("Put");
  }
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject** in, IWbemClassObject** out) override {
    if (out != nullptr) *out = nullptr;
    return Give("GetMethod", in, signature);
  }
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject** instance) override {
    return Give("SpawnInstance", instance, signature);
  }
  IWbemClassObject* signature = nullptr;
};

class FakeServices final : public WbemServicesStubs<RecordingUnknown<IWbemServices>, kNotImplemented> {
 public:
  IWbemClassObject* object = nullptr;  // what GetObject and ExecMethod give
  std::wstring execPath;
  IWbemClassObject* execIn = nullptr;

  HRESULT STDMETHODCALLTYPE GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject** found,
                                      IWbemCallResult**) override {
    return Give("GetObject", found, object);
  }
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR, LONG, IWbemContext*, IWbemClassObject* in,
                                       IWbemClassObject** out, IWbemCallResult**) override {
    execPath = TextOf(path);
    execIn = in;
    return Give("ExecMethod", out, object);
  }
};

class FakeLocator final : public RecordingUnknown<IWbemLocator> {
 public:
  IWbemServices* services = nullptr;
  std::wstring ns;
  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR name, const BSTR, const BSTR, const BSTR, LONG, const BSTR,
                                          IWbemContext*, IWbemServices** connected) override {
    ns = TextOf(name);
    return Give("ConnectServer", connected, services);
  }
};

// A locator, its services, and one class object that stands for every object they give.
class WmiTest : public ::testing::Test {
 protected:
  WmiTest() {
    locator->services = services.get();
    services->object = object.get();
    object->signature = object.get();
  }
  ~WmiTest() override {
    object->signature = nullptr;  // the object refers to itself only for the test's calls
  }

  std::unique_ptr<wlan_power::WmiText> Text(const wchar_t* text) {
    std::unique_ptr<wlan_power::WmiText> made;
    EXPECT_EQ(platform.SysAllocString(text, made), S_OK);
    return made;
  }
  std::unique_ptr<wlan_power::WbemServices> Connect() {
    seamLocator = WrapLocator(Retain<IWbemLocator>(locator.get()));
    std::unique_ptr<wlan_power::WbemServices> connected;
    const auto ns = Text(L"root\\wmi");
    EXPECT_EQ(seamLocator->ConnectServer(ns.get(), connected), S_OK);
    EXPECT_EQ(locator->ns, L"root\\wmi");
    return connected;
  }

  ComWmiPlatform platform;
  ComPtr<FakeLocator> locator{new FakeLocator()};
  ComPtr<FakeServices> services{new FakeServices()};
  ComPtr<FakeClassObject> object{new FakeClassObject()};
  std::unique_ptr<wlan_power::WbemLocator> seamLocator;
};

TEST_F(WmiTest, PutHandsOverATextCopyAsABstrVariantAndTheCodeComesBack) {
  auto connected = Connect();
  std::unique_ptr<wlan_power::WbemClassObject> definition;
  ASSERT_EQ(connected->GetObject(Text(L"QelButtonMethodDWSi").get(), definition), S_OK);
  const auto name = Text(L"InEAX");
  const FreesWatch watch;
  EXPECT_EQ(definition->Put(name.get(), L"38448", wlan_power::kCimUint32), S_OK);
  EXPECT_TRUE(watch.GivenBack(object->putCopy)) << "the copy handed to Put was never freed";
  EXPECT_EQ(object->putName, L"InEAX");
  EXPECT_EQ(object->putType, VT_BSTR);
  EXPECT_EQ(object->putText, L"38448");
  EXPECT_EQ(object->putCimType, wlan_power::kCimUint32);

  EXPECT_EQ(definition->Put(name.get(), std::wstring_view(), wlan_power::kCimUint32), S_OK);
  EXPECT_TRUE(object->putNullText);  // a null text stays null

  // A text longer than a BSTR can hold is not cut to fit (here to its first three units):
  // it never reaches Put.
  object->putText.clear();
  object->last.clear();
  const std::wstring_view overlong(L"384", (std::size_t{1} << 32) + 3);
  EXPECT_EQ(definition->Put(name.get(), overlong, wlan_power::kCimUint32), E_OUTOFMEMORY);
  EXPECT_NE(object->last, "Put");
  EXPECT_EQ(object->putText, L"");

  object->answer = static_cast<HRESULT>(0x80041005);  // WBEM_E_TYPE_MISMATCH
  EXPECT_EQ(definition->Put(nullptr, L"1", wlan_power::kCimUint32), static_cast<HRESULT>(0x80041005));
  EXPECT_EQ(object->putName, L"(null)");
}

TEST_F(WmiTest, GetGivesAValueOnlyWhenThePlatformDid) {
  auto connected = Connect();
  std::unique_ptr<wlan_power::WbemClassObject> instance;
  ASSERT_EQ(connected->GetObject(Text(L"x").get(), instance), S_OK);
  std::unique_ptr<wlan_power::WmiValue> value;
  EXPECT_EQ(instance->Get(Text(L"__PATH").get(), value), S_OK);
  EXPECT_TRUE(value);
  object->answer = static_cast<HRESULT>(0x80041002);  // WBEM_E_NOT_FOUND
  EXPECT_EQ(instance->Get(Text(L"__PATH").get(), value), static_cast<HRESULT>(0x80041002));
  EXPECT_FALSE(value);
}

TEST_F(WmiTest, ExecMethodTakesThePathTextAndRefusesAnyOtherValue) {
  auto connected = Connect();
  std::unique_ptr<wlan_power::WbemClassObject> instance;
  ASSERT_EQ(connected->GetObject(Text(L"x").get(), instance), S_OK);
  std::unique_ptr<wlan_power::WmiValue> path;
  ASSERT_EQ(instance->Get(Text(L"__PATH").get(), path), S_OK);
  std::unique_ptr<wlan_power::WbemClassObject> out;
  const auto method = Text(L"ExecINT");

  EXPECT_EQ(connected->ExecMethod(*path, method.get(), instance.get(), out), S_OK);
  EXPECT_EQ(services->execPath, object->path);
  EXPECT_EQ(services->execIn, object.get());
  EXPECT_TRUE(out);

  EXPECT_EQ(connected->ExecMethod(*path, method.get(), nullptr, out), S_OK);  // no in-parameters is allowed
  EXPECT_EQ(services->execIn, nullptr);

  std::unique_ptr<wlan_power::WmiValue> number;
  ASSERT_EQ(instance->Get(Text(L"Number").get(), number), S_OK);
  services->execPath.clear();
  EXPECT_EQ(connected->ExecMethod(*number, method.get(), instance.get(), out), kInvalidParameter);
  EXPECT_TRUE(services->execPath.empty());  // not called
  EXPECT_FALSE(out);
}

TEST_F(WmiTest, EveryReferenceGoesBackWhenTheSeamObjectsGo) {
  {
    auto connected = Connect();
    std::unique_ptr<wlan_power::WbemClassObject> definition;
    std::unique_ptr<wlan_power::WbemClassObject> signature;
    std::unique_ptr<wlan_power::WbemClassObject> parameters;
    ASSERT_EQ(connected->GetObject(Text(L"QelButtonMethodDWSi").get(), definition), S_OK);
    ASSERT_EQ(definition->GetMethod(Text(L"ExecINT").get(), signature), S_OK);
    ASSERT_EQ(signature->SpawnInstance(parameters), S_OK);
    EXPECT_EQ(object->references(), 4u);
    seamLocator.reset();
  }
  EXPECT_EQ(locator->references(), 1u);
  EXPECT_EQ(services->references(), 1u);
  EXPECT_EQ(object->references(), 1u);
}

TEST_F(WmiTest, AFailedStepGivesNoObjectAndItsOwnCode) {
  services->answer = static_cast<HRESULT>(0x8004100E);  // WBEM_E_INVALID_NAMESPACE
  locator->answer = static_cast<HRESULT>(0x8004100E);
  locator->services = nullptr;
  seamLocator = WrapLocator(Retain<IWbemLocator>(locator.get()));
  std::unique_ptr<wlan_power::WbemServices> connected;
  EXPECT_EQ(seamLocator->ConnectServer(Text(L"root\\nowhere").get(), connected), static_cast<HRESULT>(0x8004100E));
  EXPECT_FALSE(connected);
}

}  // namespace
}  // namespace korvi::windows::test
