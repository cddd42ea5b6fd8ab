#!/usr/bin/env bash
# Runs korvi-sar over one scenario and compares its standard output, debug channel, stderr
# and exit code byte for byte with the expected files.
#
#   run_scenario.sh BINARY SCENARIO EXPECTED_DIR WORK_DIR
#
# SCENARIO "embedded" runs the built-in default, without a trace file (so the figures at exit
# are shown to come from the records even then); every other run writes its trace to
# WORK_DIR/NAME.trace, compared without its wall-clock stamps. With KORVI_UPDATE_EXPECTED=1 the expected files are written instead of
# compared (read every one of them before committing).
#
# Simulated time is virtual, so every figure at exit (time transmitting, exposure, reaction
# latency) is the same on every run, and stderr is compared byte for byte like the rest.
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

# The trace on simulated time alone: its wall-clock stamps measure the machine, not the run.
kinds="stdout debug stderr exit"
if [ "$scenario" != embedded ]; then
  sed -E 's/,"t_wall_us":[0-9]+//' "$out.trace" > "$out.sim-trace"
  kinds="$kinds sim-trace"
fi

status=0
for kind in $kinds; do
  expected="$expected_dir/$name.$kind"
  if [ "${KORVI_UPDATE_EXPECTED:-0}" = 1 ]; then
    cp "$out.$kind" "$expected"
    continue
  fi
  if [ ! -f "$expected" ]; then
    echo "missing expected file: $expected"
    status=1
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
