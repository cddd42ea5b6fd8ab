#include "dbwin_channel.h"

#include <cstring>
#include <utility>

#include "monitor_error.h"

namespace korvi::monitor {
namespace {

// Parallel test runs in one Wine prefix (or one Windows session) share the channel's names;
// two readers would each take some of the other's messages. Our monitors queue on this mutex.
constexpr wchar_t kOwnershipMutex[] = L"korvi-sar-debug-output-monitor";
constexpr DWORD kOwnershipWaitMs = 240'000;

// The names may exist already while we hold the mutex: a writer that opened them for a
// monitor before us keeps them alive while it waits (up to 10 s) for a buffer nobody hands
// out. Taking them over is right: that writer then delivers to us, and as its process is not
// our child its message is counted and dropped.
Handle CreateNamedEvent(const wchar_t* name) {
  Handle event(CreateEventW(nullptr, FALSE, FALSE, name));
  if (!event) throw MonitorError(LastErrorText("cannot create the event " + std::string(name, name + wcslen(name))));
  return event;
}

}  // namespace

DbwinChannel::DbwinChannel() {
  Handle mutex(CreateMutexW(nullptr, FALSE, kOwnershipMutex));
  if (!mutex) throw MonitorError(LastErrorText("cannot create the monitor's mutex"));
  const DWORD waited = WaitForSingleObject(mutex.get(), kOwnershipWaitMs);
  if (waited == WAIT_TIMEOUT) {
    throw MonitorError("another debug-output monitor held the debug channel for " +
                       std::to_string(kOwnershipWaitMs / 1000) + " s");
  }
  if (waited == WAIT_FAILED) throw MonitorError(LastErrorText("cannot wait for the monitor's mutex"));
  // WAIT_ABANDONED makes it ours too: a monitor before us was killed.
  ownership_ = HeldMutex(std::move(mutex));

  bufferReady_ = CreateNamedEvent(L"DBWIN_BUFFER_READY");
  dataReady_ = CreateNamedEvent(L"DBWIN_DATA_READY");
  section_ = Handle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionSize, L"DBWIN_BUFFER"));
  if (!section_) throw MonitorError(LastErrorText("cannot create the section DBWIN_BUFFER"));
  view_ = MappedView(MapViewOfFile(section_.get(), FILE_MAP_READ, 0, 0, kSectionSize));
  if (!view_) throw MonitorError(LastErrorText("cannot map the section DBWIN_BUFFER"));
}

void DbwinChannel::HandBack() const {
  if (!SetEvent(bufferReady_.get())) throw MonitorError(LastErrorText("cannot set DBWIN_BUFFER_READY"));
}

DebugMessage DbwinChannel::Take() const {
  const auto* section = static_cast<const unsigned char*>(view_.get());
  DebugMessage message;
  std::memcpy(&message.processId, section, sizeof(DWORD));
  const char* text = reinterpret_cast<const char*>(section + sizeof(DWORD));
  message.text.assign(text, strnlen(text, kTextRoom));
  return message;
}

}  // namespace korvi::monitor
