// The receiving end of the system debug channel, as Windows' debug-output viewers hold it:
// the shared section DBWIN_BUFFER (the writer's process id, then its text) and two
// auto-reset events. A writer waits for DBWIN_BUFFER_READY, fills the section and sets
// DBWIN_DATA_READY; the reader copies the message and sets DBWIN_BUFFER_READY again. So one
// message is in flight at a time, and none is lost while the reader keeps handing the buffer
// back (a writer gives up after waiting 10 s).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "capture_owners.h"

namespace korvi::capture {

struct DebugMessage {
  DWORD processId = 0;
  std::string text;  // in the writer's ANSI code page, as the channel carries it
};

class DbwinChannel {
 public:
  static constexpr std::size_t kSectionSize = 4096;
  // Room for text after the process id, its terminating zero included. A writer cuts a
  // longer message (Wine) or sends it in pieces of this size less one (newer Windows).
  static constexpr std::size_t kTextRoom = kSectionSize - sizeof(DWORD);

  // Takes the channel for this process: waits while another capture holds it. A foreign
  // viewer running at the same time would share the messages. Throws CaptureError.
  DbwinChannel();

  // Signalled when a writer has left a message in the section.
  HANDLE DataReady() const noexcept { return dataReady_.get(); }

  // Lets the next writer in; call once at start and after every Take.
  void HandBack() const;

  // Copies the message in the section. The text is read up to its terminating zero or the
  // end of the section, whichever comes first.
  DebugMessage Take() const;

 private:
  HeldMutex ownership_;  // our own mutex, held for the channel's life and released last
  UniqueHandle bufferReady_;
  UniqueHandle dataReady_;
  UniqueHandle section_;
  MappedView view_;
};

}  // namespace korvi::capture
