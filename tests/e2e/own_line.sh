#!/usr/bin/env bash
# The notebook's lines on stderr start a line of their own where they show after the
# service's console (one terminal, or one file for both): with both streams in one file, the
# file is the console's output, a line break where the service left its line open, and then
# stderr as it is alone. A line that ends already gets no empty one after it: the line that
# says the timeline is spent ends its own, and the summary follows it directly.
#
#   own_line.sh BINARY WORK_DIR
set -u
binary=$(realpath "$1") work=$(realpath -m "$2")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
expected_dir=$source_dir/scenarios/expected
mkdir -p "$work"
status=0
for name in default timeline_spent_after_a_burst; do
  (cd "$source_dir" && KORVI_SIM_SCENARIO=scenarios/$name.json KORVI_DEBUG_LOG=/dev/null \
    timeout 120 "$binary" >"$work/$name.both" 2>&1)
  sed -i -E '/^korvi-sim: scenario: /s/, commit [^ ]+$/, commit -/' "$work/$name.both"
  {
    cat "$expected_dir/$name.stdout"
    [ "$(tail -c 1 "$expected_dir/$name.stdout")" = "" ] || echo  # "" : it ends with a line break
    cat "$expected_dir/$name.stderr"
  } >"$work/$name.expected"
  if ! cmp -s "$work/$name.expected" "$work/$name.both"; then
    echo "$name: stdout and stderr in one file differ from the console, a line break and stderr:"
    diff <(cat -A "$work/$name.expected") <(cat -A "$work/$name.both") | head -20
    status=1
  fi
done
exit $status
