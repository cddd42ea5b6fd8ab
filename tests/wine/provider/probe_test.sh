#!/usr/bin/env bash
# Runs the provider probe in the Wine test bed and checks both its own verdict and the
# simulated notebook's summary at exit: one firmware call that reduced WLAN power, and no
# fake or simulated object left unreleased.
#   probe_test.sh WINE_RUN PROBE.exe
set -u
wine_run=$1 probe=$2
stderr=$(mktemp)
trap 'rm -f "$stderr"' EXIT
env -u KORVI_SIM_SCENARIO "$wine_run" "$probe" 2>"$stderr" | tr -d '\r'
status=${PIPESTATUS[0]}
summary=$(tr -d '\r' <"$stderr")
echo "$summary"
fail=0
expect() {
  if grep -qxF "$1" <<<"$summary"; then echo "ok: $1"; else echo "FAILED: stderr lacks: $1"; fail=1; fi
}
expect "korvi-sim: firmware calls completed: 1 (normal 0, reduced 1), WLAN power at exit: reduced"
expect "korvi-sim: platform objects still held at exit: 0, events still open: 0"
[ "$status" -eq 0 ] || { echo "FAILED: the probe exited with $status"; fail=1; }
exit $fail
