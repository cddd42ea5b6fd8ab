#!/usr/bin/env bash
# Runs korvi-sar over one scenario and compares its standard output, debug channel, stderr
# and exit code byte for byte with the expected files.
#
#   run_scenario.sh BINARY SCENARIO EXPECTED_DIR WORK_DIR
#
# SCENARIO "embedded" runs the built-in default. With KORVI_UPDATE_EXPECTED=1 the expected
# files are written instead of compared (read every one of them before committing).
set -u
binary=$1 scenario=$2 expected_dir=$3 work=$4
name=$(basename "$scenario" .json)
[ "$scenario" = embedded ] && name=default
mkdir -p "$work"
out="$work/$name"
rm -f "$out.stdout" "$out.debug" "$out.stderr" "$out.exit"
: > "$out.debug"

if [ "$scenario" = embedded ]; then
  env -u KORVI_SIM_SCENARIO KORVI_DEBUG_LOG="$out.debug" timeout 120 "$binary" >"$out.stdout" 2>"$out.stderr"
else
  KORVI_SIM_SCENARIO="$scenario" KORVI_DEBUG_LOG="$out.debug" timeout 120 "$binary" >"$out.stdout" 2>"$out.stderr"
fi
echo $? > "$out.exit"

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
  elif ! cmp -s "$expected" "$out.$kind"; then
    echo "$name: $kind differs from $expected:"
    diff <(cat -A "$expected") <(cat -A "$out.$kind") | head -40
    status=1
  fi
done
exit $status
