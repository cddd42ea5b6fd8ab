#include "dbwin_channel.h"

#include <cstring>

#include "capture_error.h"

namespace korvi::capture {
namespace {

// Captures in one Windows session (or one Wine prefix: parallel test runs) share the
// channel's names; two readers would each take some of the other's messages. Ours queue on
// this mutex.
constexpr wchar_t kOwnershipMutex[] = L"korvi-capture-debug-channel";
constexpr DWORD kOwnershipWaitMs = 240'000;

// The names may exist already while we hold the mutex: a writer that opened them for a
// reader before us keeps them alive while it waits (up to 10 s) for a buffer nobody hands
// out. Taking them over is right: that writer then delivers to us, and as its process is not
// our child its message is counted and dropped.
UniqueHandle CreateNamedEvent(const wchar_t* name) {
  UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, name));
  if (!event) throw CaptureError(LastErrorText("cannot create the event " + Utf8FromWide(name)));
  return event;
}

}  // namespace

DbwinChannel::DbwinChannel() {
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kOwnershipMutex));
  if (!mutex) throw CaptureError(LastErrorText("cannot create the capture's mutex"));
  const DWORD waited = WaitForSingleObject(mutex.get(), kOwnershipWaitMs);
  if (waited == WAIT_TIMEOUT) {
    throw CaptureError("another korvi-capture held the debug channel for " + std::to_string(kOwnershipWaitMs / 1000) +
                       " s");
  }
  if (waited == WAIT_FAILED) throw CaptureError(LastErrorText("cannot wait for the capture's mutex"));
  // WAIT_ABANDONED makes it ours too: a capture before us was killed.
  ownership_.Reset(mutex.Release());

  bufferReady_ = CreateNamedEvent(L"DBWIN_BUFFER_READY");
  dataReady_ = CreateNamedEvent(L"DBWIN_DATA_READY");
  section_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionSize, L"DBWIN_BUFFER"));
  if (!section_) throw CaptureError(LastErrorText("cannot create the section DBWIN_BUFFER"));
  view_.Reset(MapViewOfFile(section_.get(), FILE_MAP_READ, 0, 0, kSectionSize));
  if (!view_) throw CaptureError(LastErrorText("cannot map the section DBWIN_BUFFER"));
}

void DbwinChannel::HandBack() const {
  if (!SetEvent(bufferReady_.get())) throw CaptureError(LastErrorText("cannot set DBWIN_BUFFER_READY"));
}

DebugMessage DbwinChannel::Take() const {
  const auto* section = static_cast<const unsigned char*>(view_.get());
  DebugMessage message;
  std::memcpy(&message.processId, section, sizeof(DWORD));
  const char* text = reinterpret_cast<const char*>(section + sizeof(DWORD));
  message.text.assign(text, strnlen(text, kTextRoom));
  return message;
}

}  // namespace korvi::capture
