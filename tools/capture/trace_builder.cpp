#include "trace_builder.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace korvi::capture {

namespace {

// The form in which the cellular side reports a platform error it caught: "0x%08x - TEXT".
bool IsCaughtError(std::string_view message) {
  constexpr std::string_view kHex = "0123456789abcdef";
  if (message.size() < 13 || message.substr(0, 2) != "0x" || message.substr(10, 3) != " - ") return false;
  return message.substr(2, 8).find_first_not_of(kHex) == std::string_view::npos;
}

}  // namespace

TraceBuilder::TraceBuilder(DebugChannel debug) : debug_(debug) { ready_.push_back(Record{RecordKind::kRun, 0}); }

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
  if (awaited_ && awaited_->held) *awaited_ = AwaitedCause{false, ready_.size() + awaited_->index};
  for (Record& record : held_) ready_.push_back(std::move(record));
  held_.clear();
}

void TraceBuilder::AddRadioOff(std::int64_t us, bool readFailed) {
  ++radioOffRecords_;
  Record record{RecordKind::kRadioOff, us};
  record.radioReadFailed = readFailed;
  Add(std::move(record));
}

// The records already out cannot change, so a radio off whose cause the debug channel has yet
// to say keeps itself and what follows it back.
void TraceBuilder::ConsoleRadioOff(std::int64_t us) {
  if (++radioOffConsole_ <= radioOffRecords_) return;  // the debug channel's came first
  // A second one before the debug channel said the first's cause: that channel is not keeping
  // up (or not working), and the first goes out plain rather than hold the trace for ever.
  if (awaited_) Settle(false);
  AddRadioOff(us, false);
  if (debug_ == DebugChannel::kTaken) {
    awaited_ = open_ ? AwaitedCause{true, held_.size() - 1} : AwaitedCause{false, ready_.size() - 1};
  }
}

void TraceBuilder::DebugRadioOff(std::int64_t us) {
  ++radioOffDebug_;
  if (radioOffDebug_ > radioOffRecords_) {
    AddRadioOff(us, caughtErrorLast_);
  } else if (radioOffDebug_ == radioOffRecords_ && awaited_) {
    Settle(caughtErrorLast_);
  }
}

void TraceBuilder::Settle(bool readFailed) {
  (awaited_->held ? held_ : ready_)[awaited_->index].radioReadFailed = readFailed;
  awaited_.reset();
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
      ConsoleRadioOff(message.us);
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
  if (message == kRadioOffDebugMessage) DebugRadioOff(us);
  if (message.substr(0, kHandlerDebugPrefix.size()) != kHandlerDebugPrefix) caughtErrorLast_ = IsCaughtError(message);
}

void TraceBuilder::CutShort(std::int64_t us) {
  if (!open_) return;
  if (!open_->end) End(us);
  Close(std::nullopt);
}

void TraceBuilder::OnExit(std::uint32_t code, std::int64_t us) {
  CutShort(us);  // a request still open was cut short by the child's end
  if (awaited_) Settle(false);  // the debug channel never said
  Record exit{RecordKind::kExit, us};
  exit.exitCode = code;
  Add(std::move(exit));
}

void TraceBuilder::OnAbandon(std::int64_t us) {
  CutShort(us);
  if (awaited_) Settle(false);
}

std::vector<Record> TraceBuilder::TakeReady() {
  if (!awaited_ || awaited_->held) return std::exchange(ready_, {});
  std::vector<Record> out(std::make_move_iterator(ready_.begin()),
                          std::make_move_iterator(ready_.begin() + static_cast<std::ptrdiff_t>(awaited_->index)));
  ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(awaited_->index));
  awaited_->index = 0;
  return out;
}

}  // namespace korvi::capture
