#!/usr/bin/env bash
# Runs the hooks probe in the Wine test bed over three small scenarios and checks its verdict,
# its exit code and the notebook's summary at exit (no object left, and no event but the one
# a run ended inside its wait still holds).
#   hooks_test.sh WINE_RUN HOOKS_PROBE.exe
set -u
wine_run=$1 probe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s' '{ "speed": 100, "faults": [ { "op": "WaitForTxEvent", "hresult": "abandoned", "call": 3 },
  { "op": "RoInitialize", "hresult": "0x80004005", "call": 1 } ],
  "timeline": [ { "at_ms": 1000000, "transmitting": true } ] }' >"$work/service_event.json"
printf '%s' '{ "speed": 100, "faults": [ { "op": "CreateEvent", "hresult": "0x80070008" } ] }' >"$work/event_fault.json"
printf '%s' '{ "speed": 100, "timeline": [ { "at_ms": 100000, "transmitting": true } ] }' >"$work/bounded_wait.json"

fail=0
run() {  # mode, scenario, expected exit code, a line stderr must hold...
  local mode=$1 scenario=$2 expected=$3
  shift 3
  KORVI_SIM_SCENARIO="$work/$scenario" "$wine_run" "$probe" "$mode" 2>"$work/$mode.stderr" | tr -d '\r' |
    tee "$work/$mode.stdout"
  local status=${PIPESTATUS[0]}
  [ "$status" -eq "$expected" ] || { echo "FAILED: $mode: the probe exited with $status, expected $expected"; fail=1; }
  grep -qx '[0-9]* passed, 0 failed' "$work/$mode.stdout" || { echo "FAILED: $mode: no clean verdict"; fail=1; }
  local line
  for line in "$@"; do
    if tr -d '\r' <"$work/$mode.stderr" | grep -qxF "$line"; then
      echo "ok: $mode: $line"
    else
      echo "FAILED: $mode: stderr lacks: $line"
      tr -d '\r' <"$work/$mode.stderr"
      fail=1
    fi
  done
}
closed="korvi-sim: platform objects still held at exit: 0, events still open: 0"
run service-event service_event.json 0 "$closed"
run event-fault event_fault.json 0 "$closed"
# The run ends inside the wait, with the loop's event still open, as on Linux.
run bounded-wait bounded_wait.json 4 \
  "korvi-sim: the timeline is spent while the service still watches: the run ends here (exit 4)" \
  "korvi-sim: platform objects still held at exit: 0, events still open: 1"
exit $fail
