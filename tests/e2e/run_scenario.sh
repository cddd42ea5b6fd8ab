#!/usr/bin/env bash
# Runs korvi-sar over one scenario and compares its standard output, debug channel, stderr
# and exit code byte for byte with the expected files.
#
#   run_scenario.sh BINARY SCENARIO EXPECTED_DIR WORK_DIR
#
# SCENARIO "embedded" runs the built-in default, without a trace file (so the figures at exit
# are shown to come from the records even then); every other run writes its trace to
# WORK_DIR/NAME.trace. With KORVI_UPDATE_EXPECTED=1 the expected files are written instead of
# compared (read every one of them before committing).
#
# Simulated time is the steady clock times the scenario's speed, so the timing figures at
# exit (time transmitting, exposure, latencies: "<digits>.<3 digits> ms") differ from run to
# run. On those three lines alone they are masked before stderr is compared; every count on
# them, and every other byte, is compared as it is.
set -u
binary=$1 scenario=$2 expected_dir=$3 work=$4
name=$(basename "$scenario" .json)
[ "$scenario" = embedded ] && name=default
mkdir -p "$work"
out="$work/$name"
rm -f "$out.stdout" "$out.debug" "$out.stderr" "$out.exit" "$out.trace"
: > "$out.debug"

if [ "$scenario" = embedded ]; then
  env -u KORVI_SIM_SCENARIO -u KORVI_SIM_TRACE KORVI_DEBUG_LOG="$out.debug" timeout 120 "$binary" >"$out.stdout" 2>"$out.stderr"
else
  KORVI_SIM_SCENARIO="$scenario" KORVI_DEBUG_LOG="$out.debug" KORVI_SIM_TRACE="$out.trace" \
    timeout 120 "$binary" >"$out.stdout" 2>"$out.stderr"
fi
echo $? > "$out.exit"

# The timing figures masked, on the lines that carry them only.
mask_timing() {
  sed -E '/^korvi-sim: (time transmitting|exposure|reaction latency)/ s/[0-9]+\.[0-9]{3} ms/#.### ms/g' "$1"
}

status=0
for kind in stdout debug stderr exit; do
  expected="$expected_dir/$name.$kind"
  if [ "${KORVI_UPDATE_EXPECTED:-0}" = 1 ]; then
    cp "$out.$kind" "$expected"
    continue
  fi
  if [ ! -f "$expected" ]; then
    echo "missing expected file: $expected"
    status=1
  elif [ "$kind" = stderr ]; then
    if ! cmp -s <(mask_timing "$expected") <(mask_timing "$out.$kind"); then
      echo "$name: stderr differs from $expected (timing figures masked):"
      diff <(mask_timing "$expected" | cat -A) <(mask_timing "$out.$kind" | cat -A) | head -40
      status=1
    fi
  elif ! cmp -s "$expected" "$out.$kind"; then
    echo "$name: $kind differs from $expected:"
    diff <(cat -A "$expected") <(cat -A "$out.$kind") | head -40
    status=1
  fi
done

# A run with a trace file leaves a whole trace: the run's record first, the exit's last.
if [ "$scenario" != embedded ]; then
  if ! head -n 1 "$out.trace" | grep -q '"event":"run"' || ! tail -n 1 "$out.trace" | grep -q '"event":"exit"'; then
    echo "$name: the trace $out.trace does not run from a run record to an exit record"
    status=1
  fi
fi
exit $status
