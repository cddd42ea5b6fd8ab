// Turns what the capture receives (the console's messages, the debug channel's messages, the
// child's end) into trace records, in the order of their stamps.
//
// A firmware request starts at its first report and ends at "Terminating normally"; the state
// it asked for shows only afterwards, in the loop's "SetWLANTxState_..." report. So from a
// request's start until that report the records wait (a notification that comes meanwhile
// with them), and then go out together, the request's two records carrying the state. As the
// simulated notebook records it, the state is the one InECX carries to the firmware: null when
// the call never put InECX successfully (a step before it failed, or the Put itself), and null
// when the loop's report never came (the run ended first). The result is ExecMethod's, or null
// for a request that never reached it.
//
// The loop reports radio off on both channels, debug first. Just before it, on the debug
// channel, the radio read's caught error ("0x%08x - TEXT") says that the read failed and the
// service took that for off; the record then carries "cause":"read_failed". When the
// console's report comes first, the record (and every one after it) waits for the debug
// channel's, which says the cause, or for the child's end, where it goes out as a plain one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "capture_record.h"
#include "console_stream.h"

namespace korvi::capture {

// The debug channel's form of the loop's radio-off report.
inline constexpr std::string_view kRadioOffDebugMessage = "[MS_SAR]  Korvi::GetRadioState()  Off";
// What the notification handler writes on the debug channel, from its own thread: it may come
// between the loop's messages, so it says nothing about the loop's radio read.
inline constexpr std::string_view kHandlerDebugPrefix = "[MS_SAR] Korvi::OnTransmissionStateChanged";

// Whether the capture takes the child's debug channel too (korvi-capture does, the
// supervisor's field log does not): only then is a radio off's cause worth waiting for.
enum class DebugChannel { kNotTaken, kTaken };

// A radio off from the console whose cause the debug channel has not said yet: where it sits.
struct AwaitedCause {
  bool held = false;      // among the held records (a request was open), else the ready ones
  std::size_t index = 0;
};

// A firmware request that has started and whose state has not shown yet: where its records
// sit among the held ones. At namespace scope rather than nested, so that optional<> sees its
// member initializers when the builder declares one (clang 14 does not otherwise).
struct OpenRequest {
  std::size_t start = 0;                // its firmware_start in the held records
  std::optional<std::size_t> end;       // its firmware_end there, once it has ended
  std::optional<std::uint32_t> result;  // ExecMethod's
  bool stateCarried = false;            // InECX was put successfully
};

class TraceBuilder {
 public:
  explicit TraceBuilder(DebugChannel debug = DebugChannel::kNotTaken);  // the run record is ready at once

  void OnConsole(const ConsoleMessage& message);
  void OnDebug(std::string_view message, std::int64_t us);
  // The child has ended; every record is ready after this one.
  void OnExit(std::uint32_t code, std::int64_t us);
  // The capture stops while the child may still run (its console is closing): a request that
  // is still open goes out as one cut short by the child's end would, with no exit record, as
  // the child's end and code are not known. Every record is ready after this.
  void OnAbandon(std::int64_t us);

  // The records that are final, in order; each is handed out once.
  std::vector<Record> TakeReady();

 private:
  void Add(Record record);
  void Report(std::int64_t us);
  void End(std::int64_t us);
  void Close(std::optional<int> state);
  void ConsoleRadioOff(std::int64_t us);
  void DebugRadioOff(std::int64_t us);
  void AddRadioOff(std::int64_t us, bool readFailed);
  void Settle(bool readFailed);
  void CutShort(std::int64_t us);

  std::vector<Record> ready_;
  std::vector<Record> held_;
  std::optional<OpenRequest> open_;
  std::int64_t lastUs_ = 0;
  DebugChannel debug_;
  // The loop reports radio off on both channels, debug first; the n-th report on either is
  // the n-th radio off.
  int radioOffConsole_ = 0;
  int radioOffDebug_ = 0;
  int radioOffRecords_ = 0;
  // The last debug message of the loop's thread was a caught error.
  bool caughtErrorLast_ = false;
  std::optional<AwaitedCause> awaited_;  // the latest radio off, until its cause is known
};

}  // namespace korvi::capture
