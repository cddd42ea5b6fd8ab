#!/usr/bin/env bash
# Bad input to the simulated notebook: one line on stderr naming what and where, exit code 2,
# nothing on standard output, and the service never starts. And a trace file or debug log that
# stops taking writes is said to be incomplete at exit, never passed off as whole.
set -u
binary=$1 work=$2
mkdir -p "$work"
# Paths relative to the work folder: error lines cut long paths, and these stay short.
cd "$work" || exit 1
status=0

check() {  # name, expected stderr, then the environment for the run
  local name=$1 expected=$2
  shift 2
  # A FIFO that someone opens would block for ever; the bound only turns such a hang into a
  # failure, a run that passes ends at once.
  env "$@" timeout 60 "$binary" >"$name.stdout" 2>"$name.stderr"
  local code=$?
  if [ $code -ne 2 ]; then echo "$name: exit code $code, expected 2"; status=1; fi
  if [ -s "$name.stdout" ]; then echo "$name: wrote to standard output"; status=1; fi
  if [ "$(cat "$name.stderr")" != "$expected" ]; then
    echo "$name: stderr was: $(head -c 2000 "$name.stderr")"
    echo "$name: expected:   $expected"
    status=1
  fi
}

# A file the run must have left exactly as it was.
unchanged() {  # name, file, its content before
  if [ "$(cat "$2")" != "$3" ]; then echo "$1: $2 was changed"; status=1; fi
}

printf '{ "modem": { "device_status": "ready" } }' > wrong_type.json
printf '{ "faults": [ { "op": "GetDefualt", "hresult": "0x80004005" } ] }' > unknown_op.json
printf '{ "speed": ' > truncated.json
printf '{ "speed": 100, "modem": { "device_status": 0 } }' > radio_off.json
radio_off=$(cat radio_off.json)
rm -f fifo && mkfifo fifo

check wrong_type "korvi-sar: wrong_type.json: modem.device_status: expected an integer, got \"ready\"" \
  KORVI_SIM_SCENARIO=wrong_type.json KORVI_DEBUG_LOG=debug.log
check unknown_op "korvi-sar: unknown_op.json: faults[0].op: unknown op \"GetDefualt\"; expected one of RoInitialize, GetDefault, DeviceInformation, GetDeviceService, OpenCommandSession, SendSetCommandAsync, GetResults, StatusCode, ResponseData, CreateFromByteArray, CopyToByteArray, GetCurrentConfigurationAsync, SarManager, SetTransmissionStateChangedHysteresisAsync, TransmissionStateChanged, StartTransmissionStateMonitoring, StopTransmissionStateMonitoring, IsTransmitting, GetIsTransmittingAsync, RemoveTransmissionStateChanged, NetworkDeviceStatus, SimIccId, SysAllocString, CoInitialize, CoInitializeSecurity, CoCreateInstance, ConnectServer, CoSetProxyBlanket, ExecQuery, Next, GetObject, GetMethod, SpawnInstance, Put, Get, ExecMethod, CreateEvent, WaitForTxEvent" \
  KORVI_SIM_SCENARIO=unknown_op.json KORVI_DEBUG_LOG=debug.log
# Set but empty is not unset: the run would pass for one of a file it never read.
check empty_scenario "korvi-sar: KORVI_SIM_SCENARIO: set but empty; name a scenario file, or unset it to run the embedded default scenario" \
  KORVI_SIM_SCENARIO= KORVI_DEBUG_LOG=debug.log
check missing_file "korvi-sar: absent.json: cannot read the file: No such file or directory" \
  KORVI_SIM_SCENARIO=absent.json KORVI_DEBUG_LOG=debug.log
check debug_log_unusable "korvi-sar: KORVI_DEBUG_LOG: cannot open \"no/such/dir/debug.log\": No such file or directory" \
  KORVI_DEBUG_LOG=no/such/dir/debug.log
check trace_in_missing_dir "korvi-sar: KORVI_SIM_TRACE: cannot open \"no/such/dir/run.trace\": No such file or directory" \
  KORVI_DEBUG_LOG=debug.log KORVI_SIM_TRACE=no/such/dir/run.trace
check trace_is_stdout "korvi-sar: KORVI_SIM_TRACE: \"/dev/stdout\" is standard output, which carries only the service's messages" \
  KORVI_DEBUG_LOG=debug.log KORVI_SIM_TRACE=/dev/stdout
check trace_is_a_directory "korvi-sar: KORVI_SIM_TRACE: cannot open \".\": it is a directory, not a regular file" \
  KORVI_DEBUG_LOG=debug.log KORVI_SIM_TRACE=.

# The debug log on standard output, however spelt (check sends stdout to NAME.stdout).
check debug_is_stdout "korvi-sar: KORVI_DEBUG_LOG: \"/dev/stdout\" is standard output, which carries only the service's messages" \
  KORVI_DEBUG_LOG=/dev/stdout
check debug_is_stdout_file "korvi-sar: KORVI_DEBUG_LOG: \"./debug_is_stdout_file.stdout\" is standard output, which carries only the service's messages" \
  KORVI_DEBUG_LOG=./debug_is_stdout_file.stdout

# The scenario is input: neither output may land in it, however spelt, and a refused run has
# not touched it.
check trace_is_scenario "korvi-sar: KORVI_SIM_TRACE: \"./radio_off.json\" is the scenario file, which the trace would overwrite" \
  KORVI_SIM_SCENARIO=radio_off.json KORVI_DEBUG_LOG=debug.log KORVI_SIM_TRACE=./radio_off.json
unchanged trace_is_scenario radio_off.json "$radio_off"
check debug_is_scenario "korvi-sar: KORVI_DEBUG_LOG: \"../bad_input/radio_off.json\" is the scenario file, which the debug log would append to" \
  KORVI_SIM_SCENARIO=radio_off.json KORVI_DEBUG_LOG=../bad_input/radio_off.json
unchanged debug_is_scenario radio_off.json "$radio_off"

# The trace and the debug log in one file would mix; the refused run writes neither.
rm -f shared.log
check trace_is_debug_log "korvi-sar: KORVI_SIM_TRACE and KORVI_DEBUG_LOG: \"./shared.log\" and \"shared.log\" are the same file, where the two would mix" \
  KORVI_SIM_SCENARIO=radio_off.json KORVI_DEBUG_LOG=shared.log KORVI_SIM_TRACE=./shared.log
if [ -s shared.log ]; then echo "trace_is_debug_log: shared.log was written"; status=1; fi

# What is not a regular file: a FIFO would block the open, a device read for ever.
check scenario_is_fifo "korvi-sar: fifo: cannot read the file: it is a FIFO, not a regular file" \
  KORVI_SIM_SCENARIO=fifo KORVI_DEBUG_LOG=debug.log
check trace_is_fifo "korvi-sar: KORVI_SIM_TRACE: cannot open \"fifo\": it is a FIFO, not a regular file" \
  KORVI_SIM_SCENARIO=radio_off.json KORVI_DEBUG_LOG=debug.log KORVI_SIM_TRACE=fifo
check debug_log_is_fifo "korvi-sar: KORVI_DEBUG_LOG: cannot open \"fifo\": it is a FIFO, not a regular file" \
  KORVI_SIM_SCENARIO=radio_off.json KORVI_DEBUG_LOG=fifo
check scenario_is_dev_zero "korvi-sar: /dev/zero: cannot read the file: it is a character device, not a regular file" \
  KORVI_SIM_SCENARIO=/dev/zero KORVI_DEBUG_LOG=debug.log

# A truncated file is named, with the parser's own word on where it stopped.
env KORVI_SIM_SCENARIO=truncated.json KORVI_DEBUG_LOG=debug.log "$binary" >/dev/null 2>truncated.stderr
code=$?
if [ $code -ne 2 ] || ! grep -q "^korvi-sar: truncated.json: not valid JSON: " truncated.stderr ||
   [ "$(wc -l < truncated.stderr)" -ne 1 ]; then
  echo "truncated: exit $code, stderr: $(cat truncated.stderr)"
  status=1
fi

# /dev/full opens but takes no write: the run goes on (stdout and exit code are the service's
# own), and stderr says once which file is incomplete: the trace on its last line, the debug
# log before the figures.
full_run() {  # name, expected line, the line's place (last, or before the figures), environment
  local name=$1 expected=$2 place=$3
  shift 3
  env KORVI_SIM_SCENARIO=radio_off.json "$@" "$binary" >"$name.stdout" 2>"$name.stderr"
  local code=$?
  local line
  if [ "$place" = last ]; then line=$(tail -n 1 "$name.stderr"); else line=$(tail -n 5 "$name.stderr" | head -n 1); fi
  if [ $code -ne 0 ] || [ "$line" != "$expected" ] || [ "$(grep -c incomplete "$name.stderr")" -ne 1 ]; then
    echo "$name: exit $code, stderr:"; cat "$name.stderr"
    status=1
  fi
}
# The null device keeps nothing, so it may take both outputs, and standard output too.
env KORVI_SIM_SCENARIO=radio_off.json KORVI_DEBUG_LOG=/dev/null KORVI_SIM_TRACE=/dev/null "$binary" >/dev/null 2>null.stderr
code=$?
if [ $code -ne 0 ]; then echo "null_sinks: exit $code, stderr: $(cat null.stderr)"; status=1; fi
if [ -w /dev/full ]; then
  full_run trace_full 'korvi-sim: trace file "/dev/full" is incomplete: No space left on device' last \
    KORVI_DEBUG_LOG=debug.log KORVI_SIM_TRACE=/dev/full
  full_run debug_log_full 'korvi-sim: debug log "/dev/full" is incomplete: No space left on device' before_figures \
    KORVI_DEBUG_LOG=/dev/full
fi
exit $status
