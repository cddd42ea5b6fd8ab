#!/usr/bin/env bash
# korvi-capture.exe under Wine: every debug message of a fast writer arrives whole and in
# order in the debug file (two threads of 1,500 each, long messages, escapes, text outside
# ASCII, a message just before the end); the child's standard output passes through byte for
# byte and its exit code comes back; the trace holds the run and exit records and the summary
# is on stderr; both files are emptied, but only once both could be opened; the child's
# arguments arrive as given; with no program named, korvi-sar.exe
# beside the capture runs; --help; bad usage is one line on stderr and exit 125 or 127.
#
#   check_capture.sh WINE_RUN KORVI_CAPTURE.exe PROBE.exe EXPECTED_DIR WORK_DIR
set -u
wine_run=$1 capture=$2 probe=$3 expected_dir=$4 work=$5
mkdir -p "$work"
status=0
fail() { echo "FAIL: $*"; status=1; }
windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
# The capture's own lines on stderr but the summary's two: other programs in the same prefix
# (tests running beside this one) may write to the channel too, which the capture counts.
own_lines() { tr -d '\r' <"$1" | grep -v -e '^korvi-capture: ignored [0-9]* messages of other processes$' \
  -e '^korvi-capture: notifications ' -e '^korvi-capture: reaction '; }

# --- a fast writer; the files it names hold an earlier capture, longer than this one, which
# must be gone
seq -f 'earlier %g' 5000 >"$work/talk.debug"
seq -f 'earlier %g' 5000 >"$work/talk.trace"
"$wine_run" "$capture" --debug-file "$(windows_path "$work/talk.debug")" --trace "$(windows_path "$work/talk.trace")" \
  "$probe" talk >"$work/talk.stdout" 2>"$work/talk.stderr"
code=$?
[ $code -eq 42 ] || fail "talk: exit code $code, expected the child's 42"
printf 'plain line\r\ncaf\xc3\xa9 bytes\r\nno line break at the end' >"$work/talk.stdout.expected"
cmp -s "$work/talk.stdout.expected" "$work/talk.stdout" || fail "talk: standard output is not the child's, byte for byte: $(cat -A "$work/talk.stdout")"
own_lines "$work/talk.stderr" >"$work/talk.stderr.own"
[ ! -s "$work/talk.stderr.own" ] || fail "talk: stderr: $(cat "$work/talk.stderr")"
tr -d '\r' <"$work/talk.stderr" | grep -qx 'korvi-capture: notifications 0, WLAN requests 0 (0 stopped before the firmware), firmware calls 0 (failed 0, completed 0), radio off 0 (found off 0, read failed 0), exit code 42' ||
  fail "talk: no summary on stderr: $(cat "$work/talk.stderr")"
# The trace: the run record, naming the build (its commit changes with every commit), then the
# exit record with the child's code and the figures record that ends a capture; nothing else,
# as the probe writes none of the service's messages.
{
  echo '{"t_sim_us":0,"event":"run","source":"capture","version":2,"build":{"version":"1.0.0","commit":"C"}}'
  echo '{"t_sim_us":T,"event":"exit","code":42}'
  echo '{"t_sim_us":T,"event":"figures","notifications":0,"wlan_requests":0,"stopped_before_firmware":0,'`
    `'"firmware_calls":0,"failed":0,"completed":0,"radio_off":0,"found_off":0,"read_failed":0,"exit_code":42,'`
    `'"reaction_measured":0,"reaction_median_us":null,"reaction_max_us":null,"unanswered":0}'
} >"$work/talk.trace.expected"
sed -E 's/"t_sim_us":[1-9][0-9]*/"t_sim_us":T/; s/"commit":"([0-9a-f]{12}(-dirty)?|unknown)"/"commit":"C"/' "$work/talk.trace" |
  cmp -s "$work/talk.trace.expected" - ||
  fail "talk: the trace is not the run, exit and figures records: $(cat "$work/talk.trace")"

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

# --- standard output and stderr in one file: the summary starts a line of its own after the
# child's open line, and follows a line the child ended with no empty line between
"$wine_run" "$capture" "$probe" talk >"$work/one_file_open.out" 2>&1
"$wine_run" "$capture" "$probe" echo last >"$work/one_file_ended.out" 2>&1
for run in one_file_open:'no line break at the end' one_file_ended:'[last]'; do
  before=$(tr -d '\r' <"$work/${run%%:*}.out" | grep -B 1 '^korvi-capture: notifications ' | head -n 1)
  [ "$before" = "${run#*:}" ] || fail "${run%%:*}: the summary does not follow the child's last line on a line of its own: $(cat -A "$work/${run%%:*}.out")"
done

# --- a shared channel: two captures at once take turns, and a writer that is not the child
# (a second probe with no capture of its own) neither loses nor adds a message
talk_count() { "$wine_run" "$capture" --debug-file "$(windows_path "$work/$1.debug")" "$probe" talk >/dev/null 2>"$work/$1.stderr"; wc -l <"$work/$1.debug"; }
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

# --- arguments, with blanks, quotes and backslashes, arrive unchanged; after the program,
# arguments that look like the capture's options are the program's
"$wine_run" "$capture" -- "$probe" echo 'a b' 'q"uote' 'back\\' 'tr\"' '' 'x\y' --trace >"$work/echo.stdout" 2>/dev/null
printf '[a b]\r\n[q"uote]\r\n[back\\\\]\r\n[tr\\"]\r\n[]\r\n[x\\y]\r\n[--trace]\r\n' >"$work/echo.expected"
cmp -s "$work/echo.expected" "$work/echo.stdout" || fail "echo: arguments changed on the way: $(cat -A "$work/echo.stdout")"

# --- two file names that differ only outside ASCII are two files
rm -f "$work/ä.trace" "$work/ö.trace"
"$wine_run" "$capture" --debug-file "$(windows_path "$work/ä.trace")" --trace "$(windows_path "$work/ö.trace")" \
  "$probe" echo >/dev/null 2>"$work/names.stderr"
code=$?
[ $code -eq 0 ] && [ -f "$work/ä.trace" ] && [ -s "$work/ö.trace" ] ||
  fail "names outside ASCII: exit code $code, stderr: $(cat "$work/names.stderr")"

# --- no program named: korvi-sar.exe beside the capture (the plain build meets stock Wine,
# which has no modem)
"$wine_run" "$capture" >"$work/beside.stdout" 2>"$work/beside.stderr"
code=$?
[ $code -eq 0 ] || fail "beside: exit code $code, expected 0; stderr: $(cat "$work/beside.stderr")"
tr -d '\r' <"$work/beside.stdout" | cmp -s "$expected_dir/no_modem.stdout" - ||
  fail "beside: standard output is not korvi-sar.exe's with no modem: $(cat -A "$work/beside.stdout")"

# --- help: the usage line first, on standard output, exit 0
"$wine_run" "$capture" --help >"$work/help.stdout" 2>"$work/help.stderr"
code=$?
[ $code -eq 0 ] || fail "help: exit code $code"
[ "$(head -n 1 "$work/help.stdout" | tr -d '\r')" = "usage: korvi-capture [--debug-file FILE] [--trace FILE] [--] [PROGRAM [ARGUMENT...]]" ] ||
  fail "help: the first line is not the usage line: $(head -n 1 "$work/help.stdout")"
[ ! -s "$work/help.stderr" ] || fail "help: wrote to stderr: $(cat "$work/help.stderr")"

# --- bad usage: one line on stderr naming what is wrong, nothing on stdout
check_error() {  # name, expected exit code, expected stderr pattern, then the capture's arguments
  local name=$1 expected_code=$2 pattern=$3
  shift 3
  "$wine_run" "$capture" "$@" >"$work/$name.stdout" 2>"$work/$name.stderr"
  local code=$?
  [ $code -eq "$expected_code" ] || fail "$name: exit code $code, expected $expected_code"
  [ ! -s "$work/$name.stdout" ] || fail "$name: wrote to standard output: $(cat "$work/$name.stdout")"
  [ "$(wc -l <"$work/$name.stderr")" -eq 1 ] && grep -q "^korvi-capture: $pattern" "$work/$name.stderr" ||
    fail "$name: stderr was: $(cat "$work/$name.stderr")"
}
usage='usage: korvi-capture \[--debug-file FILE\]'
check_error unknown_option 125 "unknown option \"--speed\"; $usage" --speed "$probe" talk
check_error no_file_name 125 "--trace needs a file name; $usage" --trace
check_error empty_debug_file 125 "the file name after --debug-file is empty; $usage" --debug-file '' "$probe" talk
check_error debug_file_unusable 125 'cannot open the debug file "Z:.*no-such-dir.*x.debug": ' \
  --debug-file "$(windows_path "$work/no-such-dir/x.debug")" "$probe" talk
# One file by two spellings: the second open is refused, as neither shares writing.
check_error one_file_twice 125 'cannot open the trace "Z:.*twice.*": ' \
  --debug-file "$(windows_path "$work/twice")" --trace "$(windows_path "$work")\\.\\twice" "$probe" talk
# A refused trace leaves the debug file named with it as it was: an earlier capture is not
# lost to a mistyped path.
printf 'an earlier capture\n' >"$work/kept.debug"
check_error trace_unusable 125 'cannot open the trace "Z:.*no-such-dir.*x.trace": ' \
  --debug-file "$(windows_path "$work/kept.debug")" --trace "$(windows_path "$work/no-such-dir/x.trace")" "$probe" talk
[ "$(cat "$work/kept.debug")" = "an earlier capture" ] ||
  fail "trace_unusable: the debug file was changed before the trace was refused: $(head -c 200 "$work/kept.debug")"
check_error program_missing 127 'cannot start "Z:.*no-such-program.exe": ' \
  "$(windows_path "$work/no-such-program.exe")"
exit $status
