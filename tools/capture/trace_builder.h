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
  TraceBuilder();  // the run record is ready at once

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
  void RadioOff(int& seenOnThisChannel, std::int64_t us);
  void CutShort(std::int64_t us);

  std::vector<Record> ready_;
  std::vector<Record> held_;
  std::optional<OpenRequest> open_;
  std::int64_t lastUs_ = 0;
  // The loop reports radio off on both channels, debug first; the n-th report on either is
  // the n-th radio off.
  int radioOffConsole_ = 0;
  int radioOffDebug_ = 0;
  int radioOffRecords_ = 0;
};

}  // namespace korvi::capture
