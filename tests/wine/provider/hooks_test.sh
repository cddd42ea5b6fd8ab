#!/usr/bin/env bash
# Runs the hooks probe in the Wine test bed over two small scenarios and checks its verdict
# and the notebook's summary at exit (no event or object left open).
#   hooks_test.sh WINE_RUN HOOKS_PROBE.exe
set -u
wine_run=$1 probe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s' '{ "speed": 100, "faults": [ { "op": "WaitForTxEvent", "hresult": "abandoned", "call": 2 },
  { "op": "RoInitialize", "hresult": "0x80004005", "call": 1 } ] }' >"$work/service_event.json"
printf '%s' '{ "speed": 100, "faults": [ { "op": "CreateEvent", "hresult": "0x80070008" } ] }' >"$work/event_fault.json"

fail=0
run() {  # mode, scenario
  KORVI_SIM_SCENARIO="$work/$2" "$wine_run" "$probe" "$1" 2>"$work/$1.stderr" | tr -d '\r'
  local status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || { echo "FAILED: $1: the probe exited with $status"; fail=1; }
  local line="korvi-sim: platform objects still held at exit: 0, events still open: 0"
  if tr -d '\r' <"$work/$1.stderr" | grep -qxF "$line"; then
    echo "ok: $1: $line"
  else
    echo "FAILED: $1: stderr lacks: $line"
    tr -d '\r' <"$work/$1.stderr"
    fail=1
  fi
}
run service-event service_event.json
run event-fault event_fault.json
exit $fail
