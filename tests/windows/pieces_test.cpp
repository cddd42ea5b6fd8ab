// The small pieces of the Windows platform with logic of their own: the owner template and its
// live counts, error texts, HSTRING and BSTR texts, the activation lookup, the Win32 event and
// its bounded wait, and the one-instance lock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "import_patch.h"
#include "os/messages.h"
#include "os/platform_error.h"
#include "os/text_encoding.h"
#include "platform_frees.h"
#include "platform/windows/abi/restricted_error.h"
#include "platform/windows/error_text.h"
#include "platform/windows/hstring.h"
#include "platform/windows/support/live_objects.h"
#include "platform/windows/support/owners.h"
#include "platform/windows/win32_os.h"
#include "platform/windows/winrt_activation.h"
#include "platform/windows/wmi_objects.h"
#include "platform/windows/wmi_platform.h"
#include "recording_objects.h"
#include "support/recording_os.h"

namespace korvi::windows::test {
namespace {

// A kind whose values are small numbers and whose frees are counted.
std::vector<int> freed;
struct CountedTraits {
  using Value = int;
  static Value Empty() noexcept { return 0; }
  static bool Holds(const Value& value) noexcept { return value != 0; }
  static void Free(Value& value) noexcept { freed.push_back(value); }
};
using Counted = Owner<CountedTraits>;

TEST(Owner, GivesEveryValueBackExactlyOnceOnEveryPath) {
  freed.clear();
  {
    Counted a(1);
    *a.put() = 2;  // put frees what was held before
    Counted b(std::move(a));
    EXPECT_FALSE(a);
    Counted c(3);
    c = std::move(b);  // frees 3, takes 2
    Counted d(4);
    const int taken = d.Release();  // nothing freed: the caller owns it now
    EXPECT_EQ(taken, 4);
    Counted e(5);
    e.Reset(6);
  }
  EXPECT_EQ(freed, (std::vector<int>{1, 3, 5, 6, 2}));

  freed.clear();
  try {
    Counted held(7);
    throw std::runtime_error("failure path");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(freed, std::vector<int>{7});
}

TEST(Owner, InterfaceReferencesAreReleasedAndRetained) {
  auto* buffer = new RecordingBuffer();
  {
    ComPtr<WSS::IBuffer> first(buffer);
    ComPtr<WSS::IBuffer> second = Retain<WSS::IBuffer>(buffer);
    EXPECT_EQ(buffer->references(), 2u);
    ComPtr<IInspectable> wrong;
    ComPtr<NO::IMobileBroadbandModem> none;
    EXPECT_EQ(QueryAs(buffer, none), E_NOINTERFACE);
    EXPECT_FALSE(none);
    EXPECT_EQ(QueryAs(buffer, wrong), S_OK);
    EXPECT_EQ(buffer->references(), 3u);
    second.Reset();
    wrong.Reset();
    EXPECT_EQ(buffer->references(), 1u);
    buffer->AddRef();  // keeps the object alive past the owner to read its count
  }
  EXPECT_EQ(buffer->references(), 1u);
  buffer->Release();
}

// Each kind is counted while an owner holds it, and only then: a move hands it over, Release
// hands it out, and an empty value is not counted.
TEST(Owner, CountsEachKindWhileItHoldsIt) {
  const auto count = [](LiveKind kind) { return LiveObjects::Count(kind); };
  const std::int64_t texts = count(LiveKind::kHString);
  {
    UniqueHString made = MakeHString(L"8949");
    EXPECT_EQ(count(LiveKind::kHString), texts + 1);
    UniqueHString moved(std::move(made));
    UniqueHString assigned;
    assigned = std::move(moved);
    EXPECT_EQ(count(LiveKind::kHString), texts + 1);
    const HSTRING handedOut = assigned.Release();
    EXPECT_EQ(count(LiveKind::kHString), texts);
    UniqueHString adopted(handedOut);
    EXPECT_EQ(count(LiveKind::kHString), texts + 1);
    adopted.Reset();
    EXPECT_EQ(count(LiveKind::kHString), texts);
    EXPECT_FALSE(MakeHString(L""));  // the null HSTRING is nothing to count
    EXPECT_EQ(count(LiveKind::kHString), texts);
  }
  const std::int64_t references = count(LiveKind::kInterface);
  auto* buffer = new RecordingBuffer();
  {
    ComPtr<WSS::IBuffer> first(buffer);
    ComPtr<IInspectable> second;
    ASSERT_EQ(QueryAs(buffer, second), S_OK);
    EXPECT_EQ(count(LiveKind::kInterface), references + 2);
  }
  EXPECT_EQ(count(LiveKind::kInterface), references);
}

// A local patch of one of this program's imports, for a function Wine only stubs.
template <class Function>
fake::ImportPatch Watch(const char* name, Function watch, Function& real) {
  fake::ImportPatch patch(::GetModuleHandleW(nullptr), name, reinterpret_cast<void*>(watch));
  real = reinterpret_cast<Function>(patch.original());
  return patch;
}

// The platform's own view: what the owners give back reaches WindowsDeleteString,
// SysFreeString and VariantClear.
TEST(Owner, EachTextAndValueGoesBackToThePlatform) {
  const FreesWatch watch;
  ASSERT_TRUE(watch.deletesHStrings()) << "nothing in this program deletes an HSTRING";
  ASSERT_TRUE(watch.freesBstrs()) << "nothing in this program frees a BSTR";
  ASSERT_TRUE(watch.clearsVariants()) << "nothing in this program clears a VARIANT";

  HSTRING hstring = nullptr;
  {
    const UniqueHString text = MakeHString(L"89490200001234567890");
    hstring = text.get();
  }
  EXPECT_TRUE(watch.GivenBack(hstring)) << "HSTRING";

  BSTR bstr = nullptr;
  {
    ComWmiPlatform platform;
    std::unique_ptr<wlan_power::WmiText> text;
    ASSERT_EQ(platform.SysAllocString(L"root\\wmi", text), S_OK);
    bstr = BstrOf(text.get());
  }
  EXPECT_TRUE(watch.GivenBack(bstr)) << "BSTR";

  BSTR inVariant = ::SysAllocString(L"ExecINT");
  {
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = inVariant;
    const UniqueVariant owned(value);
  }
  EXPECT_TRUE(watch.GivenBack(inVariant)) << "VARIANT";
}

// The debug messages are formatted with this C runtime's vswprintf, whose answer for a buffer
// that is too small is not the C standard's: a message longer than the first buffer must still
// arrive whole (the reply's report is one such).
TEST(DebugMessage, OneLongerThanTheFirstBufferArrivesWhole) {
  korvi::testing::RecordingOs recording;
  os::UsePlatform(recording);
  const std::wstring texts[] = {std::wstring(255, L'a'), std::wstring(256, L'b'), std::wstring(300, L'c'),
                                std::wstring(5000, L'd')};
  for (const std::wstring& text : texts) WriteDebugMessage(L"[MS_SAR] %ls.", text.c_str());
  const std::vector<std::wstring> messages = recording.DebugMessages();
  ASSERT_EQ(messages.size(), std::size(texts));
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i], L"[MS_SAR] " + texts[i] + L".") << "a message of " << texts[i].size() + 10 << " characters";
  }
  static Win32Os platform;  // the recording one goes with this test
  os::UsePlatform(platform);
}

TEST(ErrorText, TrailingBreaksAndBlanksGoTheRestStays) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"Access is denied.\r\n", L"Access is denied."},
      {L"Not implemented.\r\r\n", L"Not implemented."},
      {L"Unspecified error \r\n", L"Unspecified error"},
      {L"two\r\nlines\n", L"two\r\nlines"},
      {L"no break", L"no break"},
      {L"\r\n", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimTrailingBreaks(c.in), c.out) << "for: " << os::Utf8FromWide(c.in);
}

TEST(ErrorText, TheSystemsTextWithoutItsLineBreakOrUnknownError) {
  const std::wstring denied = SystemMessageText(E_ACCESSDENIED);
  ASSERT_FALSE(denied.empty());
  EXPECT_NE(denied.back(), L'\n');
  EXPECT_NE(denied.back(), L'\r');
  EXPECT_EQ(SystemMessageText(static_cast<HRESULT>(0xA0FF1234)), L"Unknown error");
}

TEST(ErrorText, ThePlatformErrorCarriesTheCodeAndItsText) {
  try {
    Check(E_ACCESSDENIED);
    FAIL() << "no error";
  } catch (const os::PlatformError& error) {
    EXPECT_EQ(static_cast<std::uint32_t>(error.code()), 0x80070005u);
    EXPECT_EQ(error.message(), SystemMessageText(E_ACCESSDENIED));
  }
  EXPECT_NO_THROW(Check(S_FALSE));  // a success code passes
}

// Wine's GetRestrictedErrorInfo is a stub, so this program's import of it hands out an error
// information object of the test's own: the one the runtime leaves on the thread after a call.
class LeftErrorInfo final : public RecordingUnknown<IRestrictedErrorInfo> {
 public:
  HRESULT code = S_OK;
  const wchar_t* description = L"";
  const wchar_t* restricted = L"";
  HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* general, HRESULT* error, BSTR* restrictedText,
                                            BSTR* capabilitySid) override {
    *general = ::SysAllocString(description);
    *error = code;
    *restrictedText = ::SysAllocString(restricted);
    *capabilitySid = nullptr;
    return Hit("GetErrorDetails");
  }
  HRESULT STDMETHODCALLTYPE GetReference(BSTR* reference) override {
    *reference = nullptr;
    return Hit("GetReference");
  }
};
LeftErrorInfo* leftInfo = nullptr;
HRESULT WINAPI HandOutLeftInfo(IRestrictedErrorInfo** info) {
  *info = leftInfo;
  if (leftInfo == nullptr) return S_FALSE;
  leftInfo->AddRef();
  return S_OK;
}

TEST(ErrorText, TheRuntimesOwnTextOnlyForTheCodeItIsAbout) {
  HRESULT(WINAPI * real)(IRestrictedErrorInfo**) = nullptr;
  const auto patch = Watch("GetRestrictedErrorInfo", &HandOutLeftInfo, real);
  ASSERT_TRUE(patch.patched());
  const ComPtr<LeftErrorInfo> info(new LeftErrorInfo());
  leftInfo = info.get();
  info->code = E_ACCESSDENIED;
  info->description = L"General words.\r\n";
  info->restricted = L"The modem refused the call.\r\n";
  EXPECT_EQ(ErrorText(E_ACCESSDENIED), L"The modem refused the call.");
  info->restricted = L"";
  EXPECT_EQ(ErrorText(E_ACCESSDENIED), L"General words.");
  // Left over from an earlier call about another code: the system's text for this one.
  EXPECT_EQ(ErrorText(E_FAIL), SystemMessageText(E_FAIL));
  leftInfo = nullptr;
  EXPECT_EQ(ErrorText(E_FAIL), SystemMessageText(E_FAIL));
  EXPECT_EQ(info->references(), 1u);
}

TEST(HString, TextsRoundTripUnitForUnit) {
  const std::u16string texts[] = {
      u"",
      u"89490200001234567890",
      u"Caf\u00e9",
      u"\U0001F4F6 signal",                   // a surrogate pair
      std::u16string(u"nul\0inside", 10),  // an HSTRING may hold NUL
  };
  for (const std::u16string& text : texts) {
    const std::wstring wide(text.begin(), text.end());
    const UniqueHString made = MakeHString(wide);
    EXPECT_EQ(Utf16FromHString(made.get()), text);
  }
  EXPECT_FALSE(MakeHString(L""));  // the empty text is the null HSTRING
  EXPECT_EQ(Utf16FromHString(nullptr), u"");
  EXPECT_EQ(os::Utf8FromUtf16(Utf16FromHString(MakeHString(L"Caf\u00e9").get())), "Caf\xc3\xa9");
}

TEST(Bstr, SysAllocStringCopiesTheWholeText) {
  ComWmiPlatform platform;
  const std::wstring texts[] = {L"root\\wmi", L""};
  for (const std::wstring& text : texts) {
    std::unique_ptr<wlan_power::WmiText> made;
    ASSERT_EQ(platform.SysAllocString(text.c_str(), made), S_OK);
    const BSTR bstr = BstrOf(made.get());
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(std::wstring(bstr, ::SysStringLen(bstr)), text);
  }
  EXPECT_EQ(BstrOf(nullptr), nullptr);
}

TEST(Bstr, SysAllocStringOfNoTextGivesNoneAsTheSimulatedOneDoes) {
  ComWmiPlatform platform;
  std::unique_ptr<wlan_power::WmiText> made;
  EXPECT_EQ(static_cast<std::uint32_t>(platform.SysAllocString(nullptr, made)), 0x8007000Eu);  // E_OUTOFMEMORY
  EXPECT_EQ(made, nullptr);
}

TEST(Activation, AnUnknownClassIsAnErrorNotACrash) {
  ComPtr<IInspectable> factory;
  const HRESULT code = GetActivationFactory(L"Korvi.Tests.NoSuchClass", __uuidof(IInspectable),
                                            factory.put_void());
  EXPECT_EQ(static_cast<std::uint32_t>(code), 0x80040154u);  // REGDB_E_CLASSNOTREG
  EXPECT_FALSE(factory);
  EXPECT_EQ(GetActivationFactory(L"Korvi.Tests.NoSuchClass", __uuidof(IInspectable), nullptr), E_POINTER);
}

TEST(Win32Event, AutoResetAndFailuresAsTheLoopExpectsThem) {
  Win32Os platform;
  const os::EventHandle event = platform.CreateAutoResetEvent();
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(platform.SetEvent(event));
  EXPECT_TRUE(platform.SetEvent(event));  // two signals, one wake-up
  EXPECT_EQ(platform.WaitForEvent(event, std::nullopt), os::kWaitObject0);
  EXPECT_EQ(::WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // reset by the wait
  platform.CloseEvent(event);
  EXPECT_EQ(platform.WaitForEvent(nullptr, std::nullopt), os::kWaitFailed);
  EXPECT_EQ(platform.WaitForEvent(nullptr, std::chrono::milliseconds(10)), os::kWaitFailed);
  EXPECT_FALSE(platform.SetEvent(nullptr));
}

TEST(Win32Event, ABoundedWaitTimesOutOnAnUnsetEventAndNotOnASetOne) {
  Win32Os platform;
  const os::EventHandle event = platform.CreateAutoResetEvent();
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(platform.WaitForEvent(event, std::chrono::milliseconds(0)), os::kWaitTimeout);
  EXPECT_EQ(platform.WaitForEvent(event, std::chrono::milliseconds(20)), os::kWaitTimeout);
  EXPECT_TRUE(platform.SetEvent(event));
  EXPECT_EQ(platform.WaitForEvent(event, std::chrono::milliseconds(0)), os::kWaitObject0);
  platform.CloseEvent(event);
}

// What WaitForSingleObject is asked to wait, for one event: the program's own import of it
// records the milliseconds and waits not at all (the event is set before each wait).
HANDLE watchedEvent = nullptr;
std::vector<DWORD> askedWaits;
DWORD(WINAPI* realWait)(HANDLE, DWORD) = nullptr;
DWORD WINAPI RecordWait(HANDLE handle, DWORD milliseconds) {
  if (handle == watchedEvent) askedWaits.push_back(milliseconds);
  return realWait(handle, handle == watchedEvent ? 0 : milliseconds);
}

TEST(Win32Event, TheTimeOutReachesTheWaitInMillisecondsCutBelowInfinite) {
  Win32Os platform;
  watchedEvent = platform.CreateAutoResetEvent();
  ASSERT_NE(watchedEvent, nullptr);
  const auto patch = Watch("WaitForSingleObject", &RecordWait, realWait);
  ASSERT_TRUE(patch.patched());
  const struct {
    std::optional<std::chrono::milliseconds> timeout;
    DWORD asked;
  } cases[] = {
      {std::nullopt, INFINITE},
      {std::chrono::milliseconds(0), 0},
      {std::chrono::milliseconds(60'000), 60'000},
      {std::chrono::milliseconds(-5), 0},                              // past: no wait at all
      {std::chrono::milliseconds(0xFFFFFFFFLL), 0xFFFFFFFEu},          // INFINITE itself is never asked for
      {std::chrono::milliseconds(std::int64_t{1} << 40), 0xFFFFFFFEu},  // not cut to its low 32 bits
  };
  for (const auto& c : cases) {
    askedWaits.clear();
    ASSERT_TRUE(platform.SetEvent(watchedEvent));
    EXPECT_EQ(platform.WaitForEvent(watchedEvent, c.timeout), os::kWaitObject0);
    EXPECT_EQ(askedWaits, std::vector<DWORD>{c.asked}) << (c.timeout ? c.timeout->count() : -1);
  }
  platform.CloseEvent(watchedEvent);
  watchedEvent = nullptr;
}

// A lock name of this program's own, so that no service or other test beside it is met.
std::wstring TestLockName(const wchar_t* what) {
  return L"Global\\KorviSar.Test." + std::to_wstring(::GetCurrentProcessId()) + L"." + what;
}

TEST(InstanceLock, OneHolderAtATimeAndHeldForAsLongAsThePlatformLives) {
  const std::wstring name = TestLockName(L"holders");
  {
    Win32Os first(name.c_str());
    EXPECT_EQ(first.AcquireInstanceLock(), os::InstanceLock::kAcquired);
    EXPECT_EQ(first.AcquireInstanceLock(), os::InstanceLock::kAcquired);  // still ours
    Win32Os second(name.c_str());
    EXPECT_EQ(second.AcquireInstanceLock(), os::InstanceLock::kHeldElsewhere);
    EXPECT_EQ(second.AcquireInstanceLock(), os::InstanceLock::kHeldElsewhere);  // it let go of what it opened
  }
  Win32Os third(name.c_str());
  EXPECT_EQ(third.AcquireInstanceLock(), os::InstanceLock::kAcquired);  // the first's went with it
}

// CreateMutexW as the test sets it up: the name it was asked for, and the answer.
std::wstring askedName;
BOOL askedOwner = TRUE;
HANDLE givenMutex = nullptr;
DWORD givenError = 0;
HANDLE WINAPI FakeCreateMutex(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  askedName = name != nullptr ? name : L"(null)";
  askedOwner = initialOwner;
  ::SetLastError(givenError);
  return givenMutex;
}

TEST(InstanceLock, EachAnswerOfTheSystemMeansWhatItSays) {
  HANDLE(WINAPI * real)(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR) = nullptr;
  const auto patch = Watch("CreateMutexW", &FakeCreateMutex, real);
  ASSERT_TRUE(patch.patched());
  const struct {
    const char* what;
    bool gives;  // a handle
    DWORD error;
    os::InstanceLock expected;
  } cases[] = {
      {"made", true, ERROR_SUCCESS, os::InstanceLock::kAcquired},
      {"opened: another process made it", true, ERROR_ALREADY_EXISTS, os::InstanceLock::kHeldElsewhere},
      {"refused: another logon session's", false, ERROR_ACCESS_DENIED, os::InstanceLock::kHeldElsewhere},
      {"a name that is not a mutex's", false, ERROR_INVALID_HANDLE, os::InstanceLock::kUnavailable},
      {"out of memory", false, ERROR_NOT_ENOUGH_MEMORY, os::InstanceLock::kUnavailable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    givenMutex = c.gives ? real(nullptr, FALSE, nullptr) : nullptr;
    givenError = c.error;
    {
      Win32Os platform;
      EXPECT_EQ(platform.AcquireInstanceLock(), c.expected);
      EXPECT_EQ(askedName, L"Global\\KorviSar.OneInstance");  // the service's own, in every session
      EXPECT_EQ(askedOwner, FALSE);  // never owned: only its existence counts
      DWORD flags = 0;
      if (c.gives && c.expected != os::InstanceLock::kAcquired) {
        EXPECT_FALSE(::GetHandleInformation(givenMutex, &flags)) << "the opened handle was kept";
      }
      if (c.gives && c.expected == os::InstanceLock::kAcquired) {
        EXPECT_TRUE(::GetHandleInformation(givenMutex, &flags)) << "the lock was let go of";
      }
    }
  }
}

}  // namespace
}  // namespace korvi::windows::test
