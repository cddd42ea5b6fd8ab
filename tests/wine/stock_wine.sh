#!/usr/bin/env bash
# The Windows build where Wine answers with its own components, nothing faked:
#
#   stock_wine.sh no-modem  WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe EXPECTED_DIR WORK_DIR
#     The plain korvi-sar.exe (nothing redirected): no mobile-broadband class is registered,
#     so the service says it has no modem, on both channels, and ends with 0 (as the Linux
#     build does for scenarios/no_modem.json).
#
#   stock_wine.sh stock-wmi WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe EXPECTED_DIR WORK_DIR SCENARIO
#     A bed build whose embedded manifest fakes only the Windows Runtime classes, so the firmware call
#     meets Wine's own WMI, which has no QelButtonMethodDWSi: every request connects, finds no
#     instance (Next gives WBEM_S_FALSE) and no class (GetObject gives WBEM_E_NOT_FOUND,
#     0x80041002), reports that, and ends without a method call and without a crash. All the
#     rest of both channels is what the Linux build writes for SCENARIO; the capture counts
#     every request as failed. Every reference to
#     Wine's WMI objects, and every text and value, is given back by the exit (the bed's
#     live object counts, as run_scenario.sh checks them).
set -u
usage() { echo "usage: stock_wine.sh no-modem|stock-wmi WINE_RUN KORVI_CAPTURE.exe KORVI_SAR.exe EXPECTED_DIR WORK_DIR [SCENARIO]" >&2; exit 2; }
[ $# -ge 6 ] || usage
mode=$1 wine_run=$2 capture=$3 binary=$4 expected_dir=$5 work=$6 scenario=${7:-}
case $mode in
  no-modem) [ $# -eq 6 ] || usage ;;
  stock-wmi) [ $# -eq 7 ] && [ -f "$scenario" ] || usage ;;
  *) usage ;;
esac

windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
mkdir -p "$work"
out="$work/$mode"
status=0
fail() { echo "$mode: $*"; status=1; }

if [ "$mode" = no-modem ]; then
  env -u KORVI_SIM_SCENARIO -u KORVI_DEBUG_LOG \
    "$wine_run" "$capture" --debug-file "$(windows_path "$out.debug")" "$binary" >"$out.raw-stdout" 2>"$out.stderr"
else
  rm -f "$out.live-objects"
  env -u KORVI_DEBUG_LOG KORVI_SIM_SCENARIO="$(windows_path "$scenario")" KORVI_WINE_INSTANCE_LOCK="Global\\KorviSar.StockWmi.$$" \
    KORVI_WINE_LIVE_OBJECTS="$(windows_path "$out.live-objects")" "$wine_run" "$capture" --debug-file "$(windows_path "$out.debug")" \
    "$binary" >"$out.raw-stdout" 2>"$out.stderr"
fi
code=$?
perl -pe 's/\r\n/\n/g' "$out.raw-stdout" >"$out.stdout"

if [ "$mode" = no-modem ]; then
  [ $code -eq 0 ] || fail "exit code $code, expected 0"
  cmp -s "$expected_dir/no_modem.stdout" "$out.stdout" ||
    fail "standard output is not the no-modem message: $(cat -A "$out.stdout")"
  # The last debug message says it; before it may come only the code and text of the failed
  # lookup (Wine's message table has no text for 0x80040154).
  [ "$(tail -n 1 "$out.debug")" = "$(cat "$expected_dir/no_modem.debug")" ] ||
    fail "the last debug message is not the no-modem message"
  if head -n -1 "$out.debug" | grep -qv '^ \?0x80040154 - '; then
    fail "debug messages other than the lookup's failure and the no-modem message"
  fi
else
  name=$(basename "$scenario" .json)
  expected_code=$(($(cat "$expected_dir/$name.exit") & 255))
  [ $code -eq "$expected_code" ] || fail "exit code $code, expected $expected_code"
  # Each firmware call's WMI reports, from ConnectServer up to "Terminating normally", become
  # one mark: in the expected output the simulated firmware's, here Wine's, which must be
  # exactly the four lines of a namespace with no such class. Wine's CoInitializeSecurity
  # answers 0 every time (Windows: 0x80010119 after the first), so that report goes too.
  wmi_block='ConnectServer returned 0x0:\n\[-\] Err: Next\nGetObject returned 0x80041002:\n\[-\] Err: GetObject'
  perl -0pe 's/CoInitializeSecurity returned 0x80010119:\n\[-\] Err: CoInitializeSecurity//g;
             s/\nConnectServer returned .*?(?=Terminating normally)/\n<WMI>/gs' \
    "$expected_dir/$name.stdout" >"$out.expected-stdout"
  perl -0pe "s/\\n$wmi_block(?=Terminating normally)/\\n<WMI>/g" "$out.stdout" >"$out.marked-stdout"
  requests=$(grep -c '<WMI>' "$out.expected-stdout")
  [ "$requests" -gt 0 ] || fail "$name makes no firmware call: choose a scenario that does"
  if ! cmp -s "$out.expected-stdout" "$out.marked-stdout"; then
    fail "standard output differs (<WMI>: one firmware call's reports):"
    diff "$out.expected-stdout" "$out.marked-stdout" | head -40
  fi
  # The debug channel loses only the reduce request's reports of the steps Wine never reaches.
  grep -v '^\[MS_SAR\] \(pObj Get\|ExecMethod\) returned ' "$expected_dir/$name.debug" >"$out.expected-debug"
  if ! cmp -s "$out.expected-debug" "$out.debug"; then
    fail "debug channel differs:"
    diff "$out.expected-debug" "$out.debug" | head -20
  fi
  # The capture sees every request, and every one failed before ExecMethod.
  tr -d '\r' <"$out.stderr" |
    grep -q "^korvi-capture: notifications [0-9]*, WLAN requests $requests ($requests stopped before the firmware), firmware calls 0 " ||
    fail "the capture's summary does not count $requests failed requests: $(grep '^korvi-capture' "$out.stderr")"
  grep -q "firmware calls completed: 0 (normal 0, reduced 0), WLAN power at exit: untouched" "$out.stderr" ||
    fail "the simulated firmware was called: $(cat "$out.stderr")"
  if [ ! -s "$out.live-objects" ]; then
    fail "the bed wrote no live object counts ($out.live-objects)"
  elif ! awk -F '\t' -v mode="$mode" '$2 != 0 { print mode ": " $1 " still live at exit: " $2; bad = 1 }
                                       END { exit bad }' "$out.live-objects"; then
    status=1
  fi
fi
if [ $status -ne 0 ] && [ -s "$out.stderr" ]; then
  echo "$mode: stderr:"
  head -20 "$out.stderr"
fi
exit $status
