#!/usr/bin/env bash
# The debug-output monitor under Wine: every message of a fast writer arrives whole and in
# order (two threads of 1,500 each, long messages, escapes, text outside ASCII, a message just
# before the end); the child's standard output and exit code pass through untouched; the
# child's arguments arrive as given; bad usage is one line on stderr and exit 125 or 127.
#
#   check_monitor.sh WINE_RUN MONITOR.exe PROBE.exe WORK_DIR
set -u
wine_run=$1 monitor=$2 probe=$3 work=$4
mkdir -p "$work"
status=0
fail() { echo "FAIL: $*"; status=1; }
windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# --- a fast writer
"$wine_run" "$monitor" "$(windows_path "$work/talk.debug")" "$probe" talk >"$work/talk.stdout" 2>"$work/talk.stderr"
code=$?
[ $code -eq 42 ] || fail "talk: exit code $code, expected the child's 42"
printf 'plain line\r\ncaf\xc3\xa9 bytes\r\nno line break at the end' >"$work/talk.stdout.expected"
cmp -s "$work/talk.stdout.expected" "$work/talk.stdout" || fail "talk: standard output is not the child's, byte for byte: $(cat -A "$work/talk.stdout")"
# Other programs in the same prefix (tests running beside this one) may write to the channel
# too; the monitor counts their messages on stderr and says nothing else.
tr -d '\r' <"$work/talk.stderr" | grep -v '^debug-output-monitor: ignored [0-9]* messages of other processes$' >"$work/talk.stderr.own"
[ ! -s "$work/talk.stderr.own" ] || fail "talk: stderr: $(cat "$work/talk.stderr")"

{
  printf '%s\n' first 'line one\nline two\r\\end\\' 'café €'
  printf 'L%.0s' $(seq 1199); printf '\n'
  printf 'M%.0s' $(seq 4000); printf '\n'
} >"$work/talk.debug.head"
head -n 5 "$work/talk.debug" | cmp -s "$work/talk.debug.head" - ||
  fail "talk: the first five messages differ: $(diff <(cut -c1-80 "$work/talk.debug.head") <(head -n 5 "$work/talk.debug" | cut -c1-80))"
for tag in A B; do
  seq -f "$tag %04g" 1500 >"$work/talk.$tag.expected"
  grep "^$tag " "$work/talk.debug" | cmp -s "$work/talk.$tag.expected" - ||
    fail "talk: thread $tag's messages are not all there in order ($(grep -c "^$tag " "$work/talk.debug") of 1500)"
done
[ "$(tail -n 1 "$work/talk.debug")" = "last before exit" ] || fail "talk: the last message is missing: $(tail -n 1 "$work/talk.debug")"
lines=$(wc -l <"$work/talk.debug")
[ "$lines" -eq 3006 ] || fail "talk: $lines messages, expected 3006"

# --- a shared channel: two monitors at once take turns, and a writer that is not the child
# (a second probe with no monitor of its own) neither loses nor adds a message
talk_count() { "$wine_run" "$monitor" "$(windows_path "$work/$1.debug")" "$probe" talk >/dev/null 2>"$work/$1.stderr"; wc -l <"$work/$1.debug"; }
talk_count parallel_1 >"$work/parallel_1.count" &
first=$!
"$wine_run" "$probe" talk >/dev/null &
stray=$!
talk_count parallel_2 >"$work/parallel_2.count"
wait $first $stray
for run in parallel_1 parallel_2; do
  [ "$(cat "$work/$run.count")" -eq 3006 ] ||
    fail "$run: $(cat "$work/$run.count") messages, expected 3006; stderr: $(cat "$work/$run.stderr")"
done

# --- arguments, with blanks, quotes and backslashes, arrive unchanged
"$wine_run" "$monitor" "$(windows_path "$work/echo.debug")" "$probe" echo 'a b' 'q"uote' 'back\\' 'tr\"' '' 'x\y' >"$work/echo.stdout" 2>&1
printf '[a b]\r\n[q"uote]\r\n[back\\\\]\r\n[tr\\"]\r\n[]\r\n[x\\y]\r\n' >"$work/echo.expected"
cmp -s "$work/echo.expected" "$work/echo.stdout" || fail "echo: arguments changed on the way: $(cat -A "$work/echo.stdout")"

# --- bad usage: one line on stderr naming what is wrong, nothing on stdout
check_error() {  # name, expected exit code, expected stderr pattern, then the monitor's arguments
  local name=$1 expected_code=$2 pattern=$3
  shift 3
  "$wine_run" "$monitor" "$@" >"$work/$name.stdout" 2>"$work/$name.stderr"
  local code=$?
  [ $code -eq "$expected_code" ] || fail "$name: exit code $code, expected $expected_code"
  [ ! -s "$work/$name.stdout" ] || fail "$name: wrote to standard output: $(cat "$work/$name.stdout")"
  [ "$(wc -l <"$work/$name.stderr")" -eq 1 ] && grep -q "^debug-output-monitor: $pattern" "$work/$name.stderr" ||
    fail "$name: stderr was: $(cat "$work/$name.stderr")"
}
check_error no_arguments 125 'usage: debug-output-monitor DEBUG_FILE PROGRAM'
check_error no_program 125 'usage: debug-output-monitor DEBUG_FILE PROGRAM' "$(windows_path "$work/x.debug")"
check_error empty_debug_file 125 'the debug file name is empty' '' "$probe" talk
check_error debug_file_unusable 125 'cannot open the debug file "Z:.*no-such-dir.*x.debug": ' \
  "$(windows_path "$work/no-such-dir/x.debug")" "$probe" talk
check_error program_missing 127 'cannot start "Z:.*no-such-program.exe": ' \
  "$(windows_path "$work/x.debug")" "$(windows_path "$work/no-such-program.exe")"
exit $status
