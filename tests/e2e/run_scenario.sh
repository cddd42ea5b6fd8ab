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
#
# What ran is named in the trace's run record and stderr's first line: the scenario, given
# relative to the source tree (the run starts there), so that the expected files are the same
# wherever the tree lies, and the commit, which is "-" in the expected files, as it changes
# with every commit. The scenario's SHA-256 there must be what sha256sum gives for the file.
set -u
binary=$(realpath "$1") scenario=$2 expected_dir=$(realpath "$3") work=$(realpath -m "$4")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
name=$(basename "$scenario" .json)
[ "$scenario" = embedded ] && name=default
mkdir -p "$work"
out="$work/$name"
rm -f "$out.stdout" "$out.debug" "$out.stderr" "$out.raw-stderr" "$out.exit" "$out.trace" "$out.sim-trace"
: > "$out.debug"

# The scenario as the run is given it: relative to the source tree when it lies inside it.
given=$scenario
if [ "$scenario" != embedded ]; then
  relative=$(realpath -m --relative-to="$source_dir" "$scenario")
  case "$relative" in ../*) given=$(realpath -m "$scenario") ;; *) given=$relative ;; esac
fi

if [ "$scenario" = embedded ]; then
  (cd "$source_dir" && env -u KORVI_SIM_SCENARIO -u KORVI_SIM_TRACE KORVI_DEBUG_LOG="$out.debug" \
    timeout 120 "$binary" >"$out.stdout" 2>"$out.raw-stderr")
else
  (cd "$source_dir" && KORVI_SIM_SCENARIO="$given" KORVI_DEBUG_LOG="$out.debug" KORVI_SIM_TRACE="$out.trace" \
    timeout 120 "$binary" >"$out.stdout" 2>"$out.raw-stderr")
fi
echo $? > "$out.exit"

status=0
# The commit changes with every commit; the rest of the build's name is compared.
sed -E '/^korvi-sim: scenario: /s/, commit [^ ]+$/, commit -/' "$out.raw-stderr" > "$out.stderr"
default_sha=$(sha256sum "$source_dir/scenarios/default.json" | cut -d ' ' -f 1)
if [ "$scenario" = embedded ]; then
  # The embedded default is scenarios/default.json to the byte: its hash is the file's. Then
  # it is compared as the file's run is.
  if ! grep -qx "korvi-sim: scenario: the embedded default, sha256 $default_sha; build .*" "$out.stderr"; then
    echo "$name: stderr does not name the embedded default with the hash of scenarios/default.json ($default_sha):"
    head -n 1 "$out.stderr"
    status=1
  fi
  sed -i '/^korvi-sim: scenario: /s/: the embedded default, /: scenarios\/default.json, /' "$out.stderr"
else
  file_sha=$(sha256sum "$scenario" | cut -d ' ' -f 1)
  if ! grep -q "^korvi-sim: scenario: .*, sha256 $file_sha; build " "$out.stderr" ||
     ! head -n 1 "$out.trace" | grep -q "\"sha256\":\"$file_sha\""; then
    echo "$name: stderr or the trace's run record does not give the scenario's sha256sum ($file_sha)"
    status=1
  fi
fi

# The trace on simulated time alone: its wall-clock stamps measure the machine, not the run.
kinds="stdout debug stderr exit"
if [ "$scenario" != embedded ]; then
  sed -E 's/,"t_wall_us":[0-9]+//; 1s/("commit":")[^"]*"/\1-"/' "$out.trace" > "$out.sim-trace"
  kinds="$kinds sim-trace"
fi

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
