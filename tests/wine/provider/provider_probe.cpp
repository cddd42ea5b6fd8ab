// Drives the fake providers the way the service does, from a program in the test bed (so
// through Wine's own activation and COM, found by the manifest), and checks the answers the
// service relies on. The DLL's exit hook then prints the notebook's summary on stderr, which
// probe_test.sh reads: every fake object must have been released.
#include <windows.h>
#include <objbase.h>
#include <roapi.h>
#include <wbemcli.h>

#include <cstdio>

#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/support/hstrings.h"

namespace {

using korvi::windows::ComPtr;
using korvi::windows::CreateHString;
using korvi::windows::UniqueBstr;
using korvi::windows::UniqueHString;
namespace NO = ABI::Windows::Networking::NetworkOperators;
using ABI::Windows::Security::Cryptography::ICryptographicBufferStatics;
using ABI::Windows::Storage::Streams::IBuffer;

int passed = 0;
int failed = 0;

void Expect(bool condition, const char* what, HRESULT code = S_OK) {
  if (condition) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s (0x%08lx)\n", what, static_cast<unsigned long>(code));
  }
}

template <class Statics>
ComPtr<Statics> GetStatics(const wchar_t* name) {
  UniqueHString className;
  CreateHString(name, className.put());
  Statics* statics = nullptr;
  const HRESULT code = RoGetActivationFactory(className.get(), __uuidof(Statics), reinterpret_cast<void**>(&statics));
  Expect(SUCCEEDED(code) && statics != nullptr, "the manifest activates the class from the fake providers", code);
  return ComPtr<Statics>(statics);
}

void ProbeModem() {
  auto statics = GetStatics<NO::IMobileBroadbandModemStatics>(korvi::abi::kMobileBroadbandModemClass);
  if (!statics) return;
  NO::IMobileBroadbandModem* rawModem = nullptr;
  HRESULT code = statics->GetDefault(&rawModem);
  const auto modem = ComPtr<NO::IMobileBroadbandModem>(rawModem);
  Expect(code == S_OK && modem, "GetDefault gives the scenario's modem", code);
  if (!modem) return;

  NO::IMobileBroadbandDeviceInformation* rawInformation = nullptr;
  code = modem->get_DeviceInformation(&rawInformation);
  const auto information = ComPtr<NO::IMobileBroadbandDeviceInformation>(rawInformation);
  Expect(code == S_OK && information, "the modem gives its device information", code);
  if (information) {
    NO::NetworkDeviceStatus status{};
    Expect(information->get_NetworkDeviceStatus(&status) == S_OK && status == NO::NetworkDeviceStatus_DeviceReady,
           "the default notebook's modem is ready");
    HSTRING rawIdentifier = nullptr;
    code = information->get_SimIccId(&rawIdentifier);
    const auto identifier = UniqueHString(rawIdentifier);
    UINT32 length = 0;
    WindowsGetStringRawBuffer(identifier.get(), &length);
    Expect(code == S_OK && length == 20, "the SIM identifier arrives whole", code);
  }

  NO::IMobileBroadbandModemConfiguration* rawConfiguration = nullptr;
  korvi::abi::ModemConfigurationOperation* rawOperation = nullptr;
  code = modem->GetCurrentConfigurationAsync(&rawOperation);
  const auto operation = ComPtr<korvi::abi::ModemConfigurationOperation>(rawOperation);
  Expect(code == S_OK && operation, "the configuration request starts", code);
  if (!operation) return;
  Expect(operation->put_Completed(nullptr) == E_POINTER, "a null Completed delegate is refused");
  code = operation->GetResults(&rawConfiguration);
  const auto configuration = ComPtr<NO::IMobileBroadbandModemConfiguration>(rawConfiguration);
  Expect(code == S_OK && configuration, "the configuration arrives", code);
  if (!configuration) return;
  NO::IMobileBroadbandModemConfiguration2* rawSecond = nullptr;
  code = configuration->QueryInterface(__uuidof(NO::IMobileBroadbandModemConfiguration2),
                                       reinterpret_cast<void**>(&rawSecond));
  const auto second = ComPtr<NO::IMobileBroadbandModemConfiguration2>(rawSecond);
  Expect(code == S_OK && second, "the configuration offers IMobileBroadbandModemConfiguration2", code);
  if (!second) return;
  NO::IMobileBroadbandSarManager* rawManager = nullptr;
  code = second->get_SarManager(&rawManager);
  const auto manager = ComPtr<NO::IMobileBroadbandSarManager>(rawManager);
  Expect(code == S_OK && manager, "the configuration has a SAR manager", code);
  if (manager) {
    EventRegistrationToken token{};
    Expect(manager->add_TransmissionStateChanged(nullptr, &token) == E_POINTER, "a null handler is refused");
  }
}

void ProbeBuffers() {
  auto statics = GetStatics<ICryptographicBufferStatics>(korvi::abi::kCryptographicBufferClass);
  if (!statics) return;
  BYTE request[5] = {1, 2, 3, 4, 5};
  IBuffer* rawBuffer = nullptr;
  HRESULT code = statics->CreateFromByteArray(sizeof request, request, &rawBuffer);
  const auto buffer = ComPtr<IBuffer>(rawBuffer);
  Expect(code == S_OK && buffer, "CreateFromByteArray makes a buffer", code);
  UINT32 length = 0;
  BYTE* bytes = nullptr;
  code = statics->CopyToByteArray(buffer.get(), &length, &bytes);
  Expect(code == S_OK && length == 5 && bytes != nullptr && bytes[4] == 5, "CopyToByteArray gives the bytes back", code);
  CoTaskMemFree(bytes);
  Expect(statics->CopyToByteArray(nullptr, &length, &bytes) < 0 && bytes == nullptr,
         "CopyToByteArray of no buffer fails and gives no array");
}

UniqueBstr Text(const wchar_t* text) { return UniqueBstr(SysAllocString(text)); }

void ProbeWmi() {
  // {4590F811-1D3A-11D0-891F-00AA004B2E24}, {DC12A687-737F-11CF-884D-00AA004B2E24}
  constexpr CLSID kLocator = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
  constexpr IID kIWbemLocator = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
  IWbemLocator* rawLocator = nullptr;
  HRESULT code = CoCreateInstance(kLocator, nullptr, CLSCTX_INPROC_SERVER, kIWbemLocator,
                                  reinterpret_cast<void**>(&rawLocator));
  const auto locator = ComPtr<IWbemLocator>(rawLocator);
  Expect(code == S_OK && locator, "the manifest's comClass makes CoCreateInstance reach the fake locator", code);
  if (!locator) return;
  IWbemServices* rawServices = nullptr;
  code = locator->ConnectServer(Text(L"root\\wmi").get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &rawServices);
  const auto services = ComPtr<IWbemServices>(rawServices);
  Expect(code == S_OK && services, "ConnectServer(root\\wmi)", code);
  if (!services) return;
  code = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  Expect(code == S_OK, "CoSetProxyBlanket answers 0, as for the real proxy", code);

  IEnumWbemClassObject* rawEnumerator = nullptr;
  code = services->ExecQuery(Text(L"WQL").get(), Text(L"Select * from QelButtonMethodDWSi").get(),
                             WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &rawEnumerator);
  const auto enumerator = ComPtr<IEnumWbemClassObject>(rawEnumerator);
  Expect(code == S_OK && enumerator, "ExecQuery", code);
  if (!enumerator) return;
  IWbemClassObject* rawInstance = nullptr;
  ULONG returned = 0;
  code = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, &rawInstance, &returned);
  const auto instance = ComPtr<IWbemClassObject>(rawInstance);
  Expect(code == S_OK && instance && returned == 1, "the query yields the firmware's instance", code);
  code = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, &rawInstance, &returned);
  Expect(code == WBEM_S_FALSE && returned == 0, "and only that one", code);

  IWbemClassObject* rawClass = nullptr;
  code = services->GetObject(Text(L"QelButtonMethodDWSi").get(), 0, nullptr, &rawClass, nullptr);
  const auto classObject = ComPtr<IWbemClassObject>(rawClass);
  IWbemClassObject* rawSignature = nullptr;
  if (classObject) classObject->GetMethod(L"ExecINT", 0, &rawSignature, nullptr);
  const auto signature = ComPtr<IWbemClassObject>(rawSignature);
  IWbemClassObject* rawIn = nullptr;
  if (signature) signature->SpawnInstance(0, &rawIn);
  const auto in = ComPtr<IWbemClassObject>(rawIn);
  Expect(static_cast<bool>(in), "GetObject, GetMethod and SpawnInstance give the in-parameters");
  if (!in || !instance) return;
  const wchar_t* names[] = {L"InEAX", L"InEBX", L"InECX", L"InEDX", L"InESI", L"InEDI"};
  const wchar_t* values[] = {L"38448", L"0", L"2", L"0", L"0", L"0"};
  for (int i = 0; i < 6; ++i) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(values[i]);
    code = in->Put(names[i], 0, &value, CIM_UINT32);
    VariantClear(&value);
    Expect(code == S_OK, "Put of an input", code);
  }
  VARIANT path;
  VariantInit(&path);
  code = instance->Get(L"__PATH", 0, &path, nullptr, nullptr);
  Expect(code == S_OK && V_VT(&path) == VT_BSTR, "the instance's __PATH is a text", code);
  if (V_VT(&path) != VT_BSTR) return;

  IWbemClassObject* rawOut = nullptr;
  code = services->ExecMethod(V_BSTR(&path), Text(L"ExecINT").get(), 0, nullptr, nullptr, &rawOut, nullptr);
  Expect(code < 0 && rawOut == nullptr, "ExecMethod with no in-parameters fails instead of crashing", code);
  code = services->ExecMethod(V_BSTR(&path), Text(L"ExecINT").get(), 0, nullptr, in.get(), &rawOut, nullptr);
  const auto out = ComPtr<IWbemClassObject>(rawOut);
  VariantClear(&path);
  Expect(code == S_OK && out, "ExecMethod reaches the firmware", code);
}

}  // namespace

int main() {
  // The service's own order: the modem before any apartment, then the multithreaded one.
  ProbeModem();
  Expect(SUCCEEDED(RoInitialize(RO_INIT_MULTITHREADED)), "RoInitialize");
  ProbeBuffers();
  ProbeWmi();
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}
