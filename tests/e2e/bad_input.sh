#!/usr/bin/env bash
# Bad input to the simulated notebook: one line on stderr naming what and where, exit code 2,
# nothing on standard output, and the service never starts. And a trace file that stops
# taking writes is said to be incomplete at exit, never passed off as whole.
set -u
binary=$1 work=$2
mkdir -p "$work"
status=0

check() {  # name, expected stderr, then the environment for the run
  local name=$1 expected=$2
  shift 2
  env "$@" "$binary" >"$work/$name.stdout" 2>"$work/$name.stderr"
  local code=$?
  if [ $code -ne 2 ]; then echo "$name: exit code $code, expected 2"; status=1; fi
  if [ -s "$work/$name.stdout" ]; then echo "$name: wrote to standard output"; status=1; fi
  if [ "$(cat "$work/$name.stderr")" != "$expected" ]; then
    echo "$name: stderr was: $(cat "$work/$name.stderr")"
    echo "$name: expected:   $expected"
    status=1
  fi
}

printf '{ "modem": { "device_status": "ready" } }' > "$work/wrong_type.json"
printf '{ "faults": [ { "op": "GetDefualt", "hresult": "0x80004005" } ] }' > "$work/unknown_op.json"
printf '{ "speed": ' > "$work/truncated.json"

check wrong_type "korvi-sar: $work/wrong_type.json: modem.device_status: expected an integer, got \"ready\"" \
  KORVI_SIM_SCENARIO="$work/wrong_type.json" KORVI_DEBUG_LOG="$work/debug.log"
check unknown_op "korvi-sar: $work/unknown_op.json: faults[0].op: unknown op \"GetDefualt\"" \
  KORVI_SIM_SCENARIO="$work/unknown_op.json" KORVI_DEBUG_LOG="$work/debug.log"
check missing_file "korvi-sar: $work/absent.json: cannot read the file: No such file or directory" \
  KORVI_SIM_SCENARIO="$work/absent.json" KORVI_DEBUG_LOG="$work/debug.log"
check debug_log_unusable "korvi-sar: KORVI_DEBUG_LOG: cannot open \"$work/no/such/dir/debug.log\": No such file or directory" \
  KORVI_DEBUG_LOG="$work/no/such/dir/debug.log"
check trace_in_missing_dir "korvi-sar: KORVI_SIM_TRACE: cannot open \"$work/no/such/dir/run.trace\": No such file or directory" \
  KORVI_DEBUG_LOG="$work/debug.log" KORVI_SIM_TRACE="$work/no/such/dir/run.trace"
check trace_is_stdout "korvi-sar: KORVI_SIM_TRACE: \"/dev/stdout\" is standard output, which carries only the service's messages" \
  KORVI_DEBUG_LOG="$work/debug.log" KORVI_SIM_TRACE=/dev/stdout
check trace_is_a_directory "korvi-sar: KORVI_SIM_TRACE: cannot open \"$work\": Is a directory" \
  KORVI_DEBUG_LOG="$work/debug.log" KORVI_SIM_TRACE="$work"

# A truncated file is named, with the parser's own word on where it stopped.
env KORVI_SIM_SCENARIO="$work/truncated.json" KORVI_DEBUG_LOG="$work/debug.log" "$binary" >/dev/null 2>"$work/truncated.stderr"
code=$?
if [ $code -ne 2 ] || ! grep -q "^korvi-sar: $work/truncated.json: not valid JSON: " "$work/truncated.stderr" ||
   [ "$(wc -l < "$work/truncated.stderr")" -ne 1 ]; then
  echo "truncated: exit $code, stderr: $(cat "$work/truncated.stderr")"
  status=1
fi
# /dev/full opens but takes no write: the run goes on (stdout and exit code are the service's
# own), and stderr ends with the line that says the trace is incomplete.
if [ -w /dev/full ]; then
  printf '{ "speed": 100, "modem": { "device_status": 0 } }' > "$work/radio_off.json"
  env KORVI_SIM_SCENARIO="$work/radio_off.json" KORVI_DEBUG_LOG="$work/debug.log" KORVI_SIM_TRACE=/dev/full \
    "$binary" >"$work/full.stdout" 2>"$work/full.stderr"
  code=$?
  last=$(tail -n 1 "$work/full.stderr")
  if [ $code -ne 0 ] || [ "$last" != 'korvi-sim: trace file "/dev/full" is incomplete: No space left on device' ]; then
    echo "trace_full: exit $code, last stderr line: $last"
    status=1
  fi
fi
exit $status
