#include "trace_builder.h"

#include <algorithm>
#include <utility>

namespace korvi::capture {

TraceBuilder::TraceBuilder() { ready_.push_back(Record{RecordKind::kRun, 0}); }

void TraceBuilder::Add(Record record) {
  // The stamps come from one clock in the order the capture received them; the clamp only
  // keeps a late exit stamp from going back.
  record.us = std::max(record.us, lastUs_);
  lastUs_ = record.us;
  (open_ ? held_ : ready_).push_back(std::move(record));
}

// Any report of a firmware call: the first one opens the request. One that comes after a
// request has ended but before its state showed belongs to a new request.
void TraceBuilder::Report(std::int64_t us) {
  if (open_ && open_->end) Close(std::nullopt);
  if (!open_) {
    open_.emplace();
    open_->start = held_.size();
    Add(Record{RecordKind::kFirmwareStart, us});
  }
}

void TraceBuilder::End(std::int64_t us) {
  open_->end = held_.size();
  Add(Record{RecordKind::kFirmwareEnd, us});
}

void TraceBuilder::Close(std::optional<int> state) {
  if (!open_->stateCarried) state.reset();
  held_[open_->start].wlanState = state;
  Record& end = held_[*open_->end];
  end.wlanState = state;
  end.result = open_->result;
  open_.reset();
  for (Record& record : held_) ready_.push_back(std::move(record));
  held_.clear();
}

void TraceBuilder::RadioOff(int& seenOnThisChannel, std::int64_t us) {
  if (++seenOnThisChannel > radioOffRecords_) {
    ++radioOffRecords_;
    Add(Record{RecordKind::kRadioOff, us});
  }
}

void TraceBuilder::OnConsole(const ConsoleMessage& message) {
  switch (message.kind) {
    case ConsoleKind::kNotification:
      Add(Record{RecordKind::kNotify, message.us});
      return;
    case ConsoleKind::kRequestReport:
      Report(message.us);
      return;
    case ConsoleKind::kStatePut:
      Report(message.us);
      open_->stateCarried = message.value == 0;
      return;
    case ConsoleKind::kExecMethod:
      Report(message.us);
      open_->result = message.value;
      return;
    case ConsoleKind::kRequestEnd:
      Report(message.us);
      End(message.us);
      return;
    case ConsoleKind::kReduceAsked:
    case ConsoleKind::kNormalAsked:
      if (!open_) return;  // no request before it: nothing to give a state
      if (!open_->end) End(message.us);
      Close(message.kind == ConsoleKind::kReduceAsked ? kWlanReduce : kWlanNormal);
      return;
    case ConsoleKind::kRadioOff:
      RadioOff(radioOffConsole_, message.us);
      return;
    case ConsoleKind::kOutOfMemory:
      // The request was cut short: it ends here, with no state known.
      if (!open_) return;
      if (!open_->end) End(message.us);
      Close(std::nullopt);
      return;
  }
}

void TraceBuilder::OnDebug(std::string_view message, std::int64_t us) {
  if (message == kRadioOffDebugMessage) RadioOff(radioOffDebug_, us);
}

void TraceBuilder::CutShort(std::int64_t us) {
  if (!open_) return;
  if (!open_->end) End(us);
  Close(std::nullopt);
}

void TraceBuilder::OnExit(std::uint32_t code, std::int64_t us) {
  CutShort(us);  // a request still open was cut short by the child's end
  Record exit{RecordKind::kExit, us};
  exit.exitCode = code;
  Add(std::move(exit));
}

void TraceBuilder::OnAbandon(std::int64_t us) { CutShort(us); }

std::vector<Record> TraceBuilder::TakeReady() { return std::exchange(ready_, {}); }

}  // namespace korvi::capture
