#include "wlan_power/invoke_exec_int.h"

#include <cstddef>
#include <memory>
#include <string_view>

#include "os/console_texts.h"
#include "os/messages.h"
#include "wlan_power/wmi_service.h"

namespace korvi::wlan_power {
namespace {

// The texts that last the whole call (step 1), in the order in which they are made.
// The Put reports number them by place, and the capture reads the state's Put by its place.
constexpr std::size_t kParameterCount = console_texts::kPutPlaces;
constexpr const wchar_t* kParameterNames[kParameterCount] = {L"InEAX", L"InEBX", L"InECX",
                                                             L"InEDX", L"InESI", L"InEDI"};
static_assert(std::wstring_view(kParameterNames[console_texts::kStatePutPlace]) == L"InECX",
              "the state travels in InECX, the place whose Put report the capture reads");

unsigned Hex(HResult code) noexcept { return static_cast<unsigned>(code); }
bool Failed(HResult code) noexcept { return code < 0; }    // steps 2 to 4
bool NonZero(HResult code) noexcept { return code != 0; }  // steps 5 to 14

std::wstring_view View(const wchar_t* text) noexcept {
  return text == nullptr ? std::wstring_view() : std::wstring_view(text);
}

// Step 17's last act: CoUninitialize, only when step 2 succeeded, on every path out of the
// call (the out-of-memory exception included) and after every object has been released.
class ComScope {
 public:
  explicit ComScope(WmiPlatform& platform) noexcept : platform_(platform) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (opened_) platform_.CoUninitialize();
  }
  void Opened() noexcept { opened_ = true; }

 private:
  WmiPlatform& platform_;
  bool opened_ = false;
};

// A text that only one step needs ("WQL", "__PATH"); failing to make it is the one failure
// that leaves the call, as E_OUTOFMEMORY.
std::unique_ptr<WmiText> MakeTextOrThrow(WmiPlatform& platform, const wchar_t* text) {
  std::unique_ptr<WmiText> made;
  platform.SysAllocString(text, made);
  if (!made) throw OutOfMemoryError();
  return made;
}

}  // namespace

const char* OutOfMemoryError::what() const noexcept { return "E_OUTOFMEMORY (0x8007000E): out of memory"; }

void InvokeExecINT(const ExecINTInputs& inputs, bool mirror) {
  WmiPlatform& platform = Platform();
  const wchar_t* const values[kParameterCount] = {inputs.inEAX, inputs.inEBX, inputs.inECX,
                                                  inputs.inEDX, inputs.inESI, inputs.inEDI};

  // Declared so that leaving the scope is step 17 in its order: the texts of step 1 are freed
  // first, then the objects are released, and last comes the CoUninitialize.
  ComScope com(platform);
  std::unique_ptr<WbemLocator> locator;
  std::unique_ptr<WbemServices> services;
  std::unique_ptr<WbemEnumerator> enumerator;
  std::unique_ptr<WbemClassObject> instance;
  std::unique_ptr<WbemClassObject> classDefinition;
  std::unique_ptr<WbemClassObject> inSignature;
  std::unique_ptr<WbemClassObject> inParameters;
  std::unique_ptr<WmiValue> path;
  std::unique_ptr<WbemClassObject> outParameters;
  std::unique_ptr<WmiText> namespacePath;
  std::unique_ptr<WmiText> className;
  std::unique_ptr<WmiText> methodName;
  std::unique_ptr<WmiText> parameterNames[kParameterCount];
  std::unique_ptr<WmiText> query;

  // 1. The texts of the whole call; only the first four are tested.
  platform.SysAllocString(L"root\\wmi", namespacePath);
  platform.SysAllocString(L"QelButtonMethodDWSi", className);
  platform.SysAllocString(L"ExecINT", methodName);
  for (std::size_t i = 0; i < kParameterCount; ++i) platform.SysAllocString(kParameterNames[i], parameterNames[i]);
  platform.SysAllocString(L"Select * from QelButtonMethodDWSi", query);
  if (!namespacePath || !className || !methodName || !parameterNames[0]) {
    WriteConsoleMessage(console_texts::kTextOutOfMemory);
    WriteConsoleMessage(console_texts::kTextOutOfMemoryErr);
  }

  // 2. A single-threaded apartment; S_FALSE counts as success.
  HResult hr = platform.CoInitialize();
  if (Failed(hr)) {
    WriteConsoleMessage(console_texts::kCoInitializeReturned, Hex(hr));
    WriteConsoleMessage(console_texts::kCoInitializeErr);
  } else {
    com.Opened();
  }

  // 3. Process-wide security; never fatal.
  hr = platform.CoInitializeSecurity();
  if (Failed(hr)) {
    WriteConsoleMessage(console_texts::kCoInitializeSecurityReturned, Hex(hr));
    WriteConsoleMessage(console_texts::kCoInitializeSecurityErr);
  }

  // 4. The locator.
  hr = platform.CoCreateInstance(locator);
  if (Failed(hr)) {
    WriteConsoleMessage(console_texts::kCoCreateInstanceReturned, Hex(hr));
    WriteConsoleMessage(console_texts::kCoCreateInstanceErr);
  }

  // 5. The services of "root\wmi".
  if (locator) {
    hr = locator->ConnectServer(namespacePath.get(), services);
    WriteConsoleMessage(console_texts::kConnectServerReturned, Hex(hr));
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kConnectServerErr);
  }

  // 6. The proxy's security; its code is not reported.
  if (services) {
    hr = services->CoSetProxyBlanket();
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kCoSetProxyBlanketErr);
  }

  // 7. The query for the class's instances.
  if (services) {
    const std::unique_ptr<WmiText> language = MakeTextOrThrow(platform, L"WQL");
    hr = services->ExecQuery(language.get(), query.get(), kWbemFlagForwardOnlyReturnImmediately, enumerator);
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kExecQueryErr);
  }

  // 8. The first instance; WBEM_S_FALSE (no instance) counts as an error.
  if (enumerator) {
    hr = enumerator->Next(instance);
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kNextErr);
  }

  // 9. The class definition.
  if (services) {
    hr = services->GetObject(className.get(), classDefinition);
    WriteConsoleMessage(console_texts::kGetObjectReturned, Hex(hr));
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kGetObjectErr);
  }

  // 10. The method's in-signature.
  if (classDefinition) {
    hr = classDefinition->GetMethod(methodName.get(), inSignature);
    WriteConsoleMessage(console_texts::kGetMethodReturned, Hex(hr));
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kGetMethodErr);
  }

  // 11. The in-parameters.
  if (inSignature) {
    hr = inSignature->SpawnInstance(inParameters);
    WriteConsoleMessage(console_texts::kSpawnInstanceReturned, Hex(hr));
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kSpawnInstanceErr);
  }

  // 12. The six inputs, each declared CIM_UINT32; every Put is made.
  if (inParameters) {
    for (std::size_t i = 0; i < kParameterCount; ++i) {
      hr = inParameters->Put(parameterNames[i].get(), View(values[i]), kCimUint32);
      // The messages name the inputs by their place, ArgName0 to ArgName5.
      const unsigned place = static_cast<unsigned>(i);
      WriteConsoleMessage(console_texts::kPutReturned, place, Hex(hr));
      if (NonZero(hr)) WriteConsoleMessage(console_texts::kPutErr, place);
    }
  }

  // 13. The instance's path.
  if (instance) {
    {
      const std::unique_ptr<WmiText> pathProperty = MakeTextOrThrow(platform, L"__PATH");
      hr = instance->Get(pathProperty.get(), path);
    }
    if (mirror) WriteDebugMessage(L"[MS_SAR] pObj Get returned 0x%x:", Hex(hr));
    WriteConsoleMessage(console_texts::kGetReturnedValueReturned, Hex(hr));
    if (NonZero(hr)) WriteConsoleMessage(console_texts::kGetReturnedValueErr);
  }

  // 14. The method itself; the in-parameters may be missing, the services and path may not
  // (the path exists only when the services do).
  if (services && path) {
    hr = services->ExecMethod(*path, methodName.get(), inParameters.get(), outParameters);
    path.reset();
    if (mirror) WriteDebugMessage(L"[MS_SAR] ExecMethod returned 0x%x:", Hex(hr));
    WriteConsoleMessage(console_texts::kExecMethodReturned, Hex(hr));
    if (NonZero(hr)) {
      if (mirror) WriteDebugMessage(L"[MS_SAR] [-] Err: ExecMethod");
      WriteConsoleMessage(console_texts::kExecMethodErr);
    }
  }

  // 15. The end, whatever step 14 gave.
  if (mirror) WriteDebugMessage(L"[MS_SAR] Terminating normally");
  WriteConsoleMessage(console_texts::kTerminatingNormally);

  // 16. OutEDX is read and ignored. The seam names properties by text, so the name is made
  // here; if it cannot be made the read is skipped, since nothing depends on it.
  if (outParameters) {
    std::unique_ptr<WmiText> outName;
    platform.SysAllocString(L"OutEDX", outName);
    if (outName) {
      std::unique_ptr<WmiValue> outEdx;
      outParameters->Get(outName.get(), outEdx);
    }
    outParameters.reset();
  }

  // 17. Leaving the scope frees the texts, releases what is held, then CoUninitialize.
}  // 18.

}  // namespace korvi::wlan_power
