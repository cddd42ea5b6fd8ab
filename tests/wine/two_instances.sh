#!/usr/bin/env bash
# Two real bed processes side by side, with one name for the one-instance lock. The first runs
# a scenario through run_scenario.sh, and the bed's gate holds it at its first step after it
# took the lock (the modem's activation), the lock's handle then in the service's own hands;
# only then does the second start. The second must say that another instance watches, on
# standard output, and exit 3 without touching the modem or the firmware: its outputs are
# those the Linux build gives for scenarios/another_instance.json, which it runs without that
# scenario's "another_instance" key, so only the real lock can stop it. Then the first is let
# go, and must run its scenario exactly as it does alone (run_scenario.sh compares it in full).
#
#   two_instances.sh WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe BED_GATE.exe SCENARIOS_DIR EXPECTED_DIR WORK_DIR SKIP_LIST ERROR_TEXTS
set -u
if [ $# -ne 9 ]; then
  echo "usage: two_instances.sh WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe BED_GATE.exe SCENARIOS_DIR EXPECTED_DIR WORK_DIR SKIP_LIST ERROR_TEXTS" >&2
  exit 2
fi
wine_run=$1 capture=$2 binary=$3 gate_exe=$4 scenarios=$5 expected_dir=$6 work=$7 skip_list=$8 error_texts=$9
runner=$(dirname "$0")/run_scenario.sh
readonly kHeldBound=60  # seconds: a first instance that never reaches the gate is a failure, not a wait

windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
rm -rf "$work"
mkdir -p "$work/first" "$work/second"
lock="Global\\KorviSar.TwoInstances.$$"
gate="KorviSar.TwoInstances.Gate.$$"
status=0
fail() { echo "two_instances: $*"; status=1; }

KORVI_WINE_INSTANCE_LOCK="$lock" KORVI_WINE_INSTANCE_GATE="$gate" "$runner" "$wine_run" "$capture" "$binary" \
  "$scenarios/default.json" "$expected_dir" "$work/first" "$skip_list" "$error_texts" >"$work/first.log" 2>&1 &
first=$!
# Whatever happens below, the first is let go and waited for: it must never be left at the gate.
release() { "$wine_run" "$gate_exe" set "$gate.release" || fail "the gate could not be opened"; }
trap 'release; wait "$first"' EXIT

if ! "$wine_run" "$gate_exe" wait "$gate.held" "$kHeldBound"; then
  fail "the first instance never held the lock"
else
  # The second: another_instance.json without its key.
  second="$work/second/another_instance"
  perl -pe 's/"another_instance"\s*:\s*true\s*,\s*//' "$scenarios/another_instance.json" >"$second.json"
  grep -q another_instance "$second.json" && fail "could not take the key out of $scenarios/another_instance.json"
  env -u KORVI_WINE_INSTANCE_GATE -u KORVI_DEBUG_LOG KORVI_WINE_INSTANCE_LOCK="$lock" \
    KORVI_SIM_SCENARIO="$(windows_path "$second.json")" KORVI_SIM_TRACE="$(windows_path "$second.trace")" \
    KORVI_WINE_LIVE_OBJECTS="$(windows_path "$second.live-objects")" "$wine_run" "$binary" \
    >"$second.raw-stdout" 2>"$second.stderr"
  code=$?
  [ "$code" -eq 3 ] || fail "the second instance exited with $code, expected 3"
  perl -pe 's/\r\n/\n/g' "$second.raw-stdout" >"$second.stdout"
  # It ran its own copy: stderr and the run record name that file with its own hash, and are
  # compared with the expected ones as if they named scenarios/another_instance.json (the
  # commit as "-").
  own="$(windows_path "$second.json"), sha256 $(sha256sum "$second.json" | cut -d ' ' -f 1)"
  tr -d '\r' <"$second.stderr" | grep -qF "korvi-sim: scenario: $own; build 1.0.0, commit " ||
    fail "the second instance's summary does not name its scenario file and hash ($own): $(head -n 1 "$second.stderr")"
  named=$(grep -o '^korvi-sim: scenario: [^;]*' "$expected_dir/another_instance.stderr")
  OWN=$own NAMED=$named perl -pe 's/\r\n/\n/g;
    s/^korvi-sim: scenario: \Q$ENV{OWN}\E(; build \S+, commit )\S+$/$ENV{NAMED}${1}-/' "$second.stderr" >"$second.summary"
  member=$(grep -o '"scenario":{[^}]*}' "$expected_dir/another_instance.sim-trace")
  [ -f "$second.trace" ] && MEMBER=$member perl -pe 's/\r\n/\n/g; s/,"t_wall_us":[0-9]+//;
    if (/"event":"run"/) { s/"scenario":\{[^}]*\}/$ENV{MEMBER}/; s/"commit":"[^"]*"/"commit":"-"/ }' \
    "$second.trace" >"$second.sim-trace"
  # Its console line; the notebook's summary and trace: no firmware call, no notification, the
  # modem never asked, nothing left held.
  for kind in stdout:stdout summary:stderr sim-trace:sim-trace; do
    if ! cmp -s "$expected_dir/another_instance.${kind#*:}" "$second.${kind%:*}"; then
      fail "the second instance's ${kind%:*} differs from $expected_dir/another_instance.${kind#*:}:"
      diff "$expected_dir/another_instance.${kind#*:}" "$second.${kind%:*}" | head -20
    fi
  done
  if [ ! -s "$second.live-objects" ] || awk -F '\t' '$2 != 0 { bad = 1 } END { exit !bad }' "$second.live-objects"; then
    fail "the second instance left platform objects of its own: $(cat "$second.live-objects" 2>/dev/null)"
  fi
fi

release
trap - EXIT
wait "$first"
first_status=$?
if [ "$first_status" -ne 0 ]; then
  fail "the first instance's run differs from running alone (run_scenario.sh exited with $first_status):"
  cat "$work/first.log"
fi
[ $status -eq 0 ] && echo "two_instances: the second stood down with exit 3; the first ran default.json as alone"
exit $status
