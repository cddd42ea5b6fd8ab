#!/usr/bin/env bash
# Runs the Windows build's korvi-sar.exe over one scenario under Wine, through korvi-capture,
# and compares its standard output and standard error (CRLF folded to LF; stderr is the
# simulated notebook's summary, every figure included), its trace without the wall-clock
# stamps, its debug messages and its exit code (low 8 bits, all that Wine passes on) with the
# same expected files the Linux end-to-end tests use. The capture's own trace must hold the
# same notifications, firmware requests (order, state, result) and radio-off reports (each with
# its cause: a read that said off or one that failed) as the notebook's trace of the same run,
# but for requests that never reached ExecMethod: the
# notebook records only the method call, so those are counted against the console instead.
# Last, the platform objects
# that the executable itself still held at exit (its own COM objects, interface references,
# HSTRINGs, BSTRs, VARIANTs; the bed writes its counts beside the outputs) must all be 0.
#
#   run_scenario.sh WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe SCENARIO EXPECTED_DIR WORK_DIR SKIP_LIST ERROR_TEXTS
#
# KORVI_SAR.exe is the test bed's build, whose embedded manifest activates the fake
# providers. SKIP_LIST names scenarios that are not run (the runner says why and ends with 77,
# which CTest counts as skipped) and those whose debug channel is not compared. ERROR_TEXTS is
# the table that error_texts/make_error_texts.sh wrote: each code with the simulated
# platform's text and Wine's.
set -u
if [ $# -ne 8 ]; then
  echo "usage: run_scenario.sh WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe SCENARIO EXPECTED_DIR WORK_DIR SKIP_LIST ERROR_TEXTS" >&2
  exit 2
fi
wine_run=$1 capture=$2 binary=$3 scenario=$4 expected_dir=$5 work=$6 skip_list=$7 error_texts=$8
readonly kSkipped=77
name=$(basename "$scenario" .json)
for file in "$scenario" "$skip_list" "$error_texts"; do
  [ -f "$file" ] || { echo "run_scenario.sh: no such file: $file" >&2; exit 2; }
done

# The scenario's line in the skip list, if any: "NAME KIND REASON".
read -r skip_kind reason < <(awk -v name="$name" '$1 == name { $1 = ""; sub(/^ +/, ""); print; exit }' "$skip_list")
case "${skip_kind:-}" in
  "") ;;
  skip)
    echo "$name: skipped under Wine: $reason"
    exit $kSkipped ;;
  no-debug)
    echo "$name: the debug channel is not compared under Wine: $reason" ;;
  *)
    echo "run_scenario.sh: $skip_list: $name: unknown kind \"$skip_kind\" (skip or no-debug)" >&2
    exit 2 ;;
esac

windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

mkdir -p "$work"
out="$work/$name"
rm -f "$out.raw-stdout" "$out.stdout" "$out.debug" "$out.stderr" "$out.summary" "$out.exit" "$out.trace" \
  "$out.sim-trace" "$out.live-objects" "$out.capture-trace" "$out.capture-summary" "$out.console-unreached" \
  "$out.capture-unreached" "$out.sim-radio-offs" "$out.capture-radio-offs"

# The child reads the scenario itself (the fake providers live in its process), so the path
# must be one Wine resolves: Z: is the Unix root.
# The one-instance lock gets a name of this run's own (the bed's hook reads it), so that runs
# beside each other never meet; a caller that means two runs to meet gives them one name.
instance_lock=${KORVI_WINE_INSTANCE_LOCK:-"Global\\KorviSar.Bed.$name.$$"}
env -u KORVI_DEBUG_LOG KORVI_SIM_SCENARIO="$(windows_path "$scenario")" KORVI_SIM_TRACE="$(windows_path "$out.trace")" \
  KORVI_WINE_LIVE_OBJECTS="$(windows_path "$out.live-objects")" KORVI_WINE_INSTANCE_LOCK="$instance_lock" \
  "$wine_run" "$capture" \
  --debug-file "$(windows_path "$out.debug")" --trace "$(windows_path "$out.capture-trace")" "$binary" \
  >"$out.raw-stdout" 2>"$out.stderr"
code=$?
echo $code >"$out.exit"
perl -pe 's/\r\n/\n/g' "$out.raw-stdout" >"$out.stdout"
# What ran, as the Linux runs (tests/e2e/run_scenario.sh) name it: the scenario relative to
# the source tree when it lies inside it, where the child was given its Windows path, and the
# commit as "-" (it changes with every commit).
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
linux_scenario=$(realpath -m --relative-to="$source_dir" "$scenario")
case "$linux_scenario" in ../*) linux_scenario=$(realpath -m "$scenario") ;; esac
# stderr: the notebook's summary, and after it the capture's own lines.
perl -ne 'BEGIN { ($windows, $linux) = splice @ARGV, 0, 2 }
  s/\r\n/\n/g;
  if (/^korvi-sim: scenario: /) { s/^korvi-sim: scenario: \Q$windows\E, /korvi-sim: scenario: $linux, /; s/, commit \S+$/, commit -/ }
  print unless /^korvi-capture: /' "$(windows_path "$scenario")" "$linux_scenario" "$out.stderr" >"$out.summary"
perl -ne 's/\r\n/\n/g; print if /^korvi-capture: /' "$out.stderr" >"$out.capture-summary"
# The trace on simulated time alone, as the Linux runs compare it; its run record names the
# scenario's path in JSON, each backslash doubled.
[ -f "$out.trace" ] && perl -pe 'BEGIN { ($windows, $linux) = splice @ARGV, 0, 2; $windows =~ s/\\/\\\\/g }
  s/\r\n/\n/g; s/,"t_wall_us":[0-9]+//;
  if (/"event":"run"/) { s/"path":"\Q$windows\E"/"path":"$linux"/; s/"commit":"[^"]*"/"commit":"-"/ }' \
  "$(windows_path "$scenario")" "$linux_scenario" "$out.trace" >"$out.sim-trace"

# The one answer in which Wine's COM differs from Windows': Windows gives RPC_E_TOO_LATE
# (0x80010119) for every CoInitializeSecurity after the first in a process, Wine 8 gives 0 at
# every call. So every WLAN request after the first reports that failure on a notebook and
# not under Wine; the expected standard output loses exactly that report. The debug channel
# does not carry it.
perl -0pe 's/CoInitializeSecurity returned 0x80010119:\n\[-\] Err: CoInitializeSecurity//g' \
  "$expected_dir/$name.stdout" >"$out.expected-stdout"

# Wine's message table words some codes otherwise than Windows' or has no text for them (the
# service then writes "Unknown error"). The debug channel carries the text after the code, so
# where the table says Wine's text differs, the expected "CODE - TEXT" at the end of a message
# (or before its escaped line break) takes Wine's words; every other byte is compared as it
# stands.
# (A missing expected file is reported below, with the others.)
if [ -f "$expected_dir/$name.debug" ] && ! perl -e '
  my ($table, $expected) = @ARGV;
  open my $texts, "<", $table or die "$table: $!\n";
  my @differing;
  while (my $line = <$texts>) {
    chomp $line;
    my @field = split /\t/, $line, -1;
    die "$table:$.: expected CODE, TEXT and TEXT separated by tabs, got \"$line\"\n"
      unless @field == 3 && $field[0] =~ /^0x[0-9a-f]{8}$/;
    push @differing, [@field] if $field[1] ne $field[2];
  }
  open my $in, "<", $expected or die "$expected: $!\n";
  while (my $message = <$in>) {
    for (@differing) {
      my ($code, $simulated, $wine) = @$_;
      $message =~ s/\Q$code - $simulated\E(?=\\n|$)/$code - $wine/g;
    }
    print $message;
  }' "$error_texts" "$expected_dir/$name.debug" >"$out.expected-debug"; then
  echo "run_scenario.sh: cannot give the expected debug messages Wine's words" >&2
  exit 2
fi

status=0
compare() {  # kind, expected file, actual file
  if ! cmp -s "$2" "$3"; then
    echo "$name: $1 differs from $2:"
    diff <(cat -A "$2") <(cat -A "$3") | head -40
    status=1
  fi
}
# KORVI_WINE_KERNEL=real: nothing hooks the service's event, waits and sleeps, and the notebook
# runs on the real-time clock, so two things are the real kernel's to order and are not
# compared as they stand. The handler sets the event before it writes its line, so the woken
# loop and the handler race to the console: the handler's lines are compared by their count,
# everything else on stdout byte for byte. And stderr's time figures (lines 6 on) are real
# time; what ran and its counts are compared, with no wake-up of the notebook's event, which
# proves that no wait of the service was routed to the notebook.
real_kernel_compare() {
  local handler='\n \[Korvi\] - TxStatusMonitor\(\) SetEvent\(TxEvent\)\.'
  local file
  for file in expected-stdout stdout; do
    perl -0ne "print scalar(() = /$handler/g), qq(\n)" "$out.$file" >"$out.$file-handler-lines"
    perl -0pe "s/$handler//g" "$out.$file" >"$out.$file-loop"
  done
  compare "stdout (the handler's line count)" "$out.expected-stdout-handler-lines" "$out.stdout-handler-lines"
  compare "stdout (without the handler's lines)" "$out.expected-stdout-loop" "$out.stdout-loop"
  perl -pe 's/wake-ups \d+/wake-ups 0/ if $. == 5; last if $. > 5' "$expected_dir/$name.stderr" >"$out.expected-counts"
  perl -ne 'print if $. <= 5' "$out.summary" >"$out.counts"
  compare "stderr's counts" "$out.expected-counts" "$out.counts"
}
for kind in stdout debug stderr exit; do
  if [ ! -f "$expected_dir/$name.$kind" ]; then
    echo "missing expected file: $expected_dir/$name.$kind"
    exit 1
  fi
done
if [ "${KORVI_WINE_KERNEL:-simulated}" = real ]; then
  real_kernel_compare
else
  compare stdout "$out.expected-stdout" "$out.stdout"
  compare stderr "$expected_dir/$name.stderr" "$out.summary"
  compare trace "$expected_dir/$name.sim-trace" "$out.sim-trace"
fi
[ "${skip_kind:-}" = no-debug ] || compare debug "$out.expected-debug" "$out.debug"

# The capture's notifications and requests against the notebook's trace of the same run, one
# per line: "notify", "start STATE", "end STATE RESULT"; a request whose end has a null result
# (it never reached ExecMethod) is left out, the notifications inside it kept (those requests
# are counted against the console below). On the real kernel the handler's line races the
# woken loop to the console, so there the notifications are compared by their count and the
# requests by themselves.
#
# The radio offs are compared by radio_offs.pl: their count and the cause of each (a read that
# said off, or one that failed), not their place: the debug channel's report can reach the
# capture before the console's end of the request before it.
sequence() {  # trace file, "all" or "requests"
  perl -ne '
    BEGIN { $which = shift @ARGV }
    sub put { if (defined $start) { push @inside, $_[0] } else { print "$_[0]\n" } }
    ($event) = /"event":"(\w+)"/ or next;
    ($state) = /"wlan_state":(null|\d+)/;
    ($result) = /"result":("0x[0-9A-F]{8}"|null)/;
    if ($event eq "notify") {
      put("notify") if $which eq "all";
    } elsif ($event eq "firmware_start") {
      $start = "start $state";
    } elsif ($event eq "firmware_end") {
      print "$start\n" if $result ne "null";
      print "$_\n" for @inside;
      print "end $state $result\n" if $result ne "null";
      undef $start;
      @inside = ();
    }' "$2" "$1"
}
if [ ! -s "$out.capture-trace" ]; then
  echo "$name: the capture wrote no trace ($out.capture-trace)"
  status=1
elif [ ! -f "$out.trace" ]; then
  echo "$name: the bed wrote no trace to compare the capture's with ($out.trace)"
  status=1
else
  perl -pe 's/\r\n/\n/g' "$out.capture-trace" >"$out.capture-trace-lf"
  if [ "${KORVI_WINE_KERNEL:-simulated}" = real ]; then
    sequence "$out.capture-trace-lf" requests >"$out.capture-sequence"
    sequence "$out.sim-trace" requests >"$out.sim-sequence"
    compare "the capture's requests" "$out.sim-sequence" "$out.capture-sequence"
    grep -c '"event":"notify"' "$out.sim-trace" >"$out.sim-notifications"
    grep -c '"event":"notify"' "$out.capture-trace-lf" >"$out.capture-notifications"
    compare "the capture's notification count" "$out.sim-notifications" "$out.capture-notifications"
  else
    sequence "$out.capture-trace-lf" all >"$out.capture-sequence"
    sequence "$out.sim-trace" all >"$out.sim-sequence"
    compare "the capture's notifications and requests" "$out.sim-sequence" "$out.capture-sequence"
  fi
  radio_offs=$(dirname "$0")/radio_offs.pl
  "$radio_offs" notebook "$out.sim-trace" "$scenario" "$out.stdout" "$out.capture-trace-lf" >"$out.sim-radio-offs" ||
    status=1
  "$radio_offs" capture "$out.capture-trace-lf" >"$out.capture-radio-offs"
  compare "the capture's radio offs and their causes" "$out.sim-radio-offs" "$out.capture-radio-offs"
  # The requests that never reached ExecMethod, which the notebook's trace cannot show, against
  # the console: every request reports CoInitialize first, and only those that reached
  # ExecMethod report it.
  console_requests=$(grep -o 'CoInitialize returned 0x' "$out.stdout" | wc -l)
  console_exec=$(grep -o 'ExecMethod returned 0x' "$out.stdout" | wc -l)
  echo $((console_requests - console_exec)) >"$out.console-unreached"
  grep '"event":"firmware_end"' "$out.capture-trace-lf" | grep -c '"result":null' >"$out.capture-unreached"
  compare "the capture's requests that never reached ExecMethod (against the console)" \
    "$out.console-unreached" "$out.capture-unreached"
  # The capture's summary counts what its trace holds, radio off and its causes as the
  # notebook's trace has them, and its exit code is the child's. Its firmware calls are the notebook's: those that
  # reached ExecMethod, the failed and the completed ones as the notebook's "trace:" line
  # counts them.
  notifications=$(grep -c '"event":"notify"' "$out.capture-trace-lf")
  requests=$(grep -c '"event":"firmware_start"' "$out.capture-trace-lf")
  unreached=$(grep '"event":"firmware_end"' "$out.capture-trace-lf" | grep -c '"result":null')
  calls=$(grep '"event":"firmware_end"' "$out.capture-trace-lf" | grep -vc '"result":null')
  completed=$(grep '"event":"firmware_end"' "$out.capture-trace-lf" | grep -c '"result":"0x00000000"')
  radio_off=$(grep -c . "$out.sim-radio-offs")
  read_failed=$(grep -c '^read_failed$' "$out.sim-radio-offs")
  radio_off="$radio_off (found off $((radio_off - read_failed)), read failed $read_failed)"
  counts="firmware calls $calls (failed $((calls - completed)), completed $completed)"
  grep -q "^korvi-capture: notifications $notifications, WLAN requests $requests ($unreached stopped before the firmware), $counts, radio off $radio_off, exit code $code$" \
    "$out.capture-summary" || {
    echo "$name: the capture's summary does not count its trace ($notifications notifications, $requests requests, $unreached stopped before the firmware, $counts, radio off $radio_off, exit code $code):"
    cat "$out.capture-summary"
    status=1
  }
  grep -q "^korvi-sim: trace: .*, $counts$" "$out.summary" || {
    echo "$name: the capture's firmware calls are not the notebook's ($counts):"
    grep '^korvi-sim: trace: ' "$out.summary"
    status=1
  }
fi
# "KIND<TAB>COUNT" per kind: anything but 0 is an object of the service's never given back
# (above 0) or given back twice (below 0).
if [ ! -s "$out.live-objects" ]; then
  echo "$name: the bed wrote no live object counts ($out.live-objects): the exit hook did not run to its end"
  status=1
elif ! awk -F '\t' -v name="$name" '
    NF != 2 || $2 !~ /^-?[0-9]+$/ { print name ": unreadable live object count line: " $0; bad = 1; next }
    $2 != 0 { print name ": " $1 " still live at exit: " $2; bad = 1 }
    END { exit bad }' "$out.live-objects"; then
  status=1
fi
expected_code=$(($(cat "$expected_dir/$name.exit") & 255))
if [ "$code" -ne "$expected_code" ]; then
  echo "$name: exit code $code, expected $expected_code"
  status=1
fi
exit $status
