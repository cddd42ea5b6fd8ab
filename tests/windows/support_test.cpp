// The support library's own parts, as the service, the fake providers and the tests use them:
// the COM object base (what QueryInterface answers, its free-threaded marshaling, and that
// every reference goes back), the owner's copies of a reference-counted kind, and the HSTRING
// and BSTR helpers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "import_patch.h"
#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/support/com_object.h"
#include "platform/windows/support/hstrings.h"
#include "platform/windows/support/live_objects.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows::test {
namespace {

namespace WF = abi::WF;
namespace WSS = ABI::Windows::Storage::Streams;

// An object with an inspectable interface and a plain delegate, a private IID and a class name.
class Sample final : public ComObject<Sample, WSS::IBuffer, WF::IAsyncActionCompletedHandler> {
 public:
  // {0c3b7d2e-5a41-4f6e-8d90-2b7e61a4c5f3}
  static constexpr GUID kSelfIid = {0x0c3b7d2e, 0x5a41, 0x4f6e, {0x8d, 0x90, 0x2b, 0x7e, 0x61, 0xa4, 0xc5, 0xf3}};
  static constexpr const wchar_t* kRuntimeClassName = L"Korvi.Sample";

  HRESULT STDMETHODCALLTYPE get_Capacity(UINT32*) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Length(UINT32*) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE put_Length(UINT32) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Invoke(WF::IAsyncAction*, abi::AsyncStatus) noexcept override { return S_OK; }
};

// A delegate only, as the service's handlers are: nothing inspectable about it.
class Delegate final : public ComObject<Delegate, WF::IAsyncActionCompletedHandler> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(WF::IAsyncAction*, abi::AsyncStatus) noexcept override { return S_OK; }
};

// What one QueryInterface gave: the pointer, as the IUnknown of that interface, or null.
template <class Object>
void* Ask(Object* object, REFIID iid, HRESULT expected) {
  void* out = reinterpret_cast<void*>(1);  // must be cleared on failure
  EXPECT_EQ(object->QueryInterface(iid, &out), expected);
  if (out != nullptr) static_cast<IUnknown*>(out)->Release();
  return out;
}

TEST(ComObject, AnswersItsInterfacesAndTheirBasesAndNothingElse) {
  const std::int64_t live = LiveObjects::Count(LiveKind::kComObject);
  auto* sample = new Sample();
  EXPECT_EQ(LiveObjects::Count(LiveKind::kComObject), live + 1);
  void* const identity = static_cast<IUnknown*>(static_cast<WSS::IBuffer*>(sample));
  EXPECT_EQ(Ask(sample, __uuidof(IUnknown), S_OK), identity);
  EXPECT_EQ(Ask(sample, __uuidof(IAgileObject), S_OK), identity);
  EXPECT_EQ(Ask(sample, __uuidof(IInspectable), S_OK), identity);
  EXPECT_EQ(Ask(sample, __uuidof(WSS::IBuffer), S_OK), static_cast<void*>(static_cast<WSS::IBuffer*>(sample)));
  EXPECT_EQ(Ask(sample, __uuidof(WF::IAsyncActionCompletedHandler), S_OK),
            static_cast<void*>(static_cast<WF::IAsyncActionCompletedHandler*>(sample)));
  EXPECT_EQ(Ask(sample, Sample::kSelfIid, S_OK), static_cast<void*>(sample));
  EXPECT_EQ(Ask(sample, __uuidof(WF::IAsyncAction), E_NOINTERFACE), nullptr);
  EXPECT_EQ(sample->QueryInterface(__uuidof(IUnknown), nullptr), E_POINTER);

  auto* delegate = new Delegate();
  EXPECT_EQ(Ask(delegate, __uuidof(IInspectable), E_NOINTERFACE), nullptr);
  EXPECT_EQ(Ask(delegate, Sample::kSelfIid, E_NOINTERFACE), nullptr);
  EXPECT_EQ(Ask(delegate, __uuidof(IAgileObject), S_OK), static_cast<void*>(static_cast<IUnknown*>(delegate)));

  EXPECT_EQ(sample->Release(), 0u);
  EXPECT_EQ(delegate->Release(), 0u);
  EXPECT_EQ(LiveObjects::Count(LiveKind::kComObject), live);
}

TEST(ComObject, CountsReferencesAndDescribesItself) {
  auto* sample = new Sample();
  EXPECT_EQ(sample->AddRef(), 2u);
  EXPECT_TRUE(sample->TryAddRef());
  EXPECT_EQ(sample->Release(), 2u);
  EXPECT_EQ(sample->Release(), 1u);

  ULONG count = 0;
  IID* iids = nullptr;
  ASSERT_EQ(sample->GetIids(&count, &iids), S_OK);
  ASSERT_EQ(count, 1u);  // the buffer; the delegate is no Windows Runtime interface
  EXPECT_TRUE(IsEqualIID(iids[0], __uuidof(WSS::IBuffer)));
  ::CoTaskMemFree(iids);

  HSTRING name = nullptr;
  ASSERT_EQ(sample->GetRuntimeClassName(&name), S_OK);
  const UniqueHString owned(name);
  EXPECT_EQ(Utf16FromHString(owned.get()), u"Korvi.Sample");
  TrustLevel level{};
  EXPECT_EQ(sample->GetTrustLevel(&level), S_OK);
  EXPECT_EQ(level, BaseTrust);

  auto* delegate = new Delegate();
  HSTRING none = nullptr;
  EXPECT_EQ(delegate->GetRuntimeClassName(&none), E_NOTIMPL);  // as the runtime's own factories answer
  EXPECT_EQ(none, nullptr);
  delegate->Release();
  EXPECT_EQ(sample->Release(), 0u);
}

std::string GuidText(const GUID& id) {
  char text[40];
  std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(id.Data1),
                id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                id.Data4[6], id.Data4[7]);
  return text;
}

// CLSID_InProcFreeMarshaler as the platform documents it (and Wine answers it). mingw-w64 10's
// libuuid.a carries 0000001c-0000-0000-c000-000000000046 under that name, which is not it.
constexpr CLSID kInProcFreeMarshaler = {0x0000033a, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The process joins the multithreaded apartment for the test's marshaling, and leaves it after.
class Apartment {
 public:
  Apartment() : joined_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~Apartment() {
    if (joined_) ::CoUninitialize();
  }
  bool joined() const { return joined_; }

 private:
  const bool joined_;
};

// The program's own import of CoCreateFreeThreadedMarshaler, counting the marshalers made and
// keeping a reference of its own to the last one (to see whether the object let go of its
// own); `refuse` makes it answer E_OUTOFMEMORY instead.
std::atomic<int> marshalersMade{0};
IUnknown* lastMarshaler = nullptr;
bool refuseMarshaler = false;
HRESULT(WINAPI* realMakeMarshaler)(IUnknown*, IUnknown**) = nullptr;
HRESULT WINAPI CountMarshalers(IUnknown* outer, IUnknown** inner) {
  if (refuseMarshaler) {
    *inner = nullptr;
    return E_OUTOFMEMORY;
  }
  const HRESULT made = realMakeMarshaler(outer, inner);
  if (SUCCEEDED(made)) {
    ++marshalersMade;
    (*inner)->AddRef();
    lastMarshaler = *inner;
  }
  return made;
}

fake::ImportPatch CountMarshalersMade() {
  marshalersMade = 0;
  lastMarshaler = nullptr;
  refuseMarshaler = false;
  fake::ImportPatch patch(::GetModuleHandleW(nullptr), "CoCreateFreeThreadedMarshaler",
                          reinterpret_cast<void*>(&CountMarshalers));
  realMakeMarshaler = reinterpret_cast<HRESULT(WINAPI*)(IUnknown*, IUnknown**)>(patch.original());
  return patch;
}

// The pointer another apartment gets for the object: marshaled here, unmarshaled on a thread
// of a single-threaded apartment of its own. Null when either step failed.
void* SeenFromAnotherApartment(WF::IAsyncActionCompletedHandler* object) {
  IStream* stream = nullptr;
  if (FAILED(::CoMarshalInterThreadInterfaceInStream(__uuidof(WF::IAsyncActionCompletedHandler), object, &stream))) {
    return nullptr;
  }
  void* seen = nullptr;
  std::thread other([&] {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    void* unmarshaled = nullptr;
    // Takes the stream's reference, whatever it answers.
    if (SUCCEEDED(::CoGetInterfaceAndReleaseStream(stream, __uuidof(WF::IAsyncActionCompletedHandler), &unmarshaled))) {
      seen = unmarshaled;
      static_cast<IUnknown*>(unmarshaled)->Release();
    }
    stream = nullptr;
    ::CoUninitialize();
  });
  other.join();
  if (stream != nullptr) stream->Release();  // the other thread never got to it
  return seen;
}

TEST(ComObject, MarshalsAsTheAgileObjectItSaysItIs) {
  const Apartment apartment;
  ASSERT_TRUE(apartment.joined());
  const auto patch = CountMarshalersMade();
  ASSERT_TRUE(patch.patched());
  const std::int64_t live = LiveObjects::Count(LiveKind::kComObject);
  auto* delegate = new Delegate();
  {
    void* marshal = nullptr;
    ASSERT_EQ(delegate->QueryInterface(__uuidof(IMarshal), &marshal), S_OK);
    const ComPtr<IMarshal> owned(static_cast<IMarshal*>(marshal));
    EXPECT_EQ(LiveObjects::Count(LiveKind::kComObject), live + 1) << "the marshaler is no object of ours";
    EXPECT_EQ(delegate->AddRef(), 3u) << "the marshaler's reference is not one on the object";
    delegate->Release();
    CLSID unmarshaler{};
    ASSERT_EQ(owned->GetUnmarshalClass(__uuidof(WF::IAsyncActionCompletedHandler), delegate, MSHCTX_INPROC, nullptr,
                                       MSHLFLAGS_NORMAL, &unmarshaler),
              S_OK);
    EXPECT_EQ(GuidText(unmarshaler), GuidText(kInProcFreeMarshaler));
    // Another apartment is handed the object itself, not a proxy.
    EXPECT_EQ(SeenFromAnotherApartment(delegate), static_cast<void*>(static_cast<WF::IAsyncActionCompletedHandler*>(delegate)));
  }
  EXPECT_EQ(marshalersMade, 1) << "one marshaler per object, however often it is asked for";
  ASSERT_NE(lastMarshaler, nullptr);
  EXPECT_EQ(delegate->Release(), 0u);
  EXPECT_EQ(LiveObjects::Count(LiveKind::kComObject), live);
  EXPECT_EQ(lastMarshaler->Release(), 0u) << "the object did not let go of its marshaler";
}

TEST(ComObject, TheMarshalerIsMadeOnceWhenManyThreadsAskAtOnceAndAgainAfterAFailure) {
  const Apartment apartment;
  ASSERT_TRUE(apartment.joined());
  const auto patch = CountMarshalersMade();
  ASSERT_TRUE(patch.patched());
  auto* delegate = new Delegate();

  refuseMarshaler = true;
  void* marshal = reinterpret_cast<void*>(1);
  EXPECT_EQ(delegate->QueryInterface(__uuidof(IMarshal), &marshal), E_OUTOFMEMORY);
  EXPECT_EQ(marshal, nullptr);
  refuseMarshaler = false;

  std::atomic<bool> go{false};
  std::atomic<int> answered{0};
  std::vector<std::thread> askers;
  for (int i = 0; i < 8; ++i) {
    askers.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      void* got = nullptr;
      if (delegate->QueryInterface(__uuidof(IMarshal), &got) == S_OK && got != nullptr) {
        ++answered;
        static_cast<IUnknown*>(got)->Release();
      }
    });
  }
  go = true;
  for (std::thread& asker : askers) asker.join();
  EXPECT_EQ(answered, 8);
  EXPECT_EQ(marshalersMade, 1);
  EXPECT_EQ(delegate->Release(), 0u);
  ASSERT_NE(lastMarshaler, nullptr);
  EXPECT_EQ(lastMarshaler->Release(), 0u);
}

// A reference-counted kind whose references are counted here, not on an object.
int references = 0;
std::vector<int> given;
struct SharedTraits {
  using Value = int;
  static Value Empty() noexcept { return 0; }
  static bool Holds(const Value& value) noexcept { return value != 0; }
  static void AddRef(Value) noexcept { ++references; }
  static void Free(Value& value) noexcept {
    --references;
    given.push_back(value);
  }
};
using Shared = Owner<SharedTraits>;

TEST(Owner, ACopyOfASharedKindHoldsAReferenceOfItsOwn) {
  references = 2;  // the two values' own, each adopted by one owner below
  given.clear();
  {
    Shared first(1);
    Shared copy(first);
    EXPECT_EQ(references, 3);
    Shared other(2);
    copy = other;  // gives 1 back, takes a reference to 2
    EXPECT_EQ(given, std::vector<int>{1});
    EXPECT_EQ(references, 3);
    const Shared& same = copy;
    copy = same;  // a copy onto itself keeps its one reference
    EXPECT_EQ(references, 3);
    Shared empty;
    Shared emptyCopy(empty);  // nothing to take a reference to
    EXPECT_FALSE(emptyCopy);
    EXPECT_EQ(references, 3);
  }
  EXPECT_EQ(references, 0);
}

TEST(Owner, ACopiedInterfaceReferenceIsCountedAndReleased) {
  const std::int64_t live = LiveObjects::Count(LiveKind::kInterface);
  ComPtr<Sample> first(new Sample());
  {
    ComPtr<Sample> copy(first);
    EXPECT_EQ(LiveObjects::Count(LiveKind::kInterface), live + 2);
    EXPECT_EQ(copy.get(), first.get());
    ComPtr<Sample> assigned;
    assigned = copy;
    EXPECT_EQ(LiveObjects::Count(LiveKind::kInterface), live + 3);
    EXPECT_EQ(first->AddRef(), 4u);  // first, copy, assigned, and this one
    first->Release();
  }
  EXPECT_EQ(LiveObjects::Count(LiveKind::kInterface), live + 1);
  EXPECT_EQ(first->AddRef(), 2u);
  first->Release();
}

TEST(Texts, HStringAndBstrCopiesAreWholeAndRefusalsAreCodes) {
  const std::wstring withNul(L"nul\0inside", 10);
  UniqueHString made;
  ASSERT_EQ(CreateHString(withNul, made.put()), S_OK);
  EXPECT_EQ(Utf16FromHString(made.get()), std::u16string(u"nul\0inside", 10));
  UniqueHString empty;
  EXPECT_EQ(CreateHString(L"", empty.put()), S_OK);
  EXPECT_FALSE(empty);  // the empty text is the null HSTRING
  EXPECT_EQ(CreateHString(L"x", nullptr), E_POINTER);

  const UniqueBstr copy = CopyToBstr(withNul);
  ASSERT_TRUE(copy);
  EXPECT_EQ(::SysStringLen(copy.get()), 10u);
  EXPECT_EQ(std::wstring(copy.get(), ::SysStringLen(copy.get())), withNul);
  const UniqueBstr none = CopyToBstr(L"");
  ASSERT_TRUE(none);  // an empty BSTR, not a missing one
  EXPECT_EQ(::SysStringLen(none.get()), 0u);
}

}  // namespace
}  // namespace korvi::windows::test
