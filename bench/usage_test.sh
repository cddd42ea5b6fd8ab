#!/usr/bin/env bash
# korvi-bench given unusable options: exit code 2, one line on standard error that names what
# is wrong, nothing on standard output.
set -u
bench=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

expect() {  # expect "<text the error must contain>" args...
  local want=$1
  shift
  "$bench" "$@" >"$scratch/out" 2>"$scratch/err"
  local code=$?
  local lines
  lines=$(wc -l <"$scratch/err")
  if [ "$code" -ne 2 ] || [ "$lines" -ne 1 ] || [ -s "$scratch/out" ] || ! grep -qF -- "$want" "$scratch/err"; then
    echo "korvi-bench $*: exit code $code, $lines lines on stderr, wanted exit code 2 and one line with: $want" >&2
    sed 's/^/  stderr: /' "$scratch/err" >&2
    sed 's/^/  stdout: /' "$scratch/out" >&2
    failures=$((failures + 1))
  fi
}

expect "korvi-bench: expected a benchmark"
expect 'unknown benchmark "nonsense"' nonsense
expect 'storm: --notifications: expected a whole number of at least 1, got "many"' storm --notifications many
expect 'storm: --notifications: expected a whole number of at least 1, got "0"' storm --notifications 0
expect 'storm: --notifications: expected a whole number of at least 1, got "99999999999999999999"' storm --notifications 99999999999999999999
expect 'storm: --firmware-ms: expected a whole number of at least 0, got "-1"' storm --firmware-ms -1
expect 'storm: --ends-transmitting: expected 0 or 1' storm --ends-transmitting 2
expect 'storm: unknown option "--speed"' storm --speed 3
expect 'reaction: unknown option "5"' reaction 5
expect 'idle: --seconds: expected a value after it' idle --seconds
expect 'idle: --seconds: expected seconds above 0 and at most 3600, got "0"' idle --seconds 0
expect 'idle: --seconds: expected seconds above 0 and at most 3600, got "nan"' idle --seconds nan
expect 'startup: --binary: required' startup
expect 'startup: /nonexistent/korvi-sar: cannot start' startup --binary /nonexistent/korvi-sar
expect 'default-scenario: --binary: required' default-scenario
expect 'default-scenario: unknown option "--runs"' default-scenario --runs 3
expect 'wine-reaction: --stamps: required' wine-reaction --wake /dev/null
printf 'frequency 10000000\ndelivery 12 extra\n' >"$scratch/bad-stamps"
expect "$scratch/bad-stamps:2: expected \"MOMENT TICKS\", got \"delivery 12 extra\"" \
  wine-reaction --stamps "$scratch/bad-stamps" --wake "$scratch/bad-stamps"
printf 'delivery 12\n' >"$scratch/no-frequency"
expect "$scratch/no-frequency: no \"frequency\" line" wine-reaction --stamps "$scratch/no-frequency" --wake /dev/null

# --help and -h: the usage on standard output, nothing on standard error, exit code 0. Every
# benchmark it names is one korvi-bench runs (an option it lacks is refused as that
# benchmark's), and it names every benchmark that the refusal of an unknown one lists.
# expect_usage NAME USAGE COMMAND: --help and -h each print USAGE first on stdout, nothing on
# stderr, exit code 0 ($scratch/out keeps the last usage).
expect_usage() {
  local name="$1" usage="$2" command="$3" help code
  for help in --help -h; do
    "$command" "$help" >"$scratch/out" 2>"$scratch/err"
    code=$?
    if [ "$code" -ne 0 ] || [ -s "$scratch/err" ] || [ "$(head -n 1 "$scratch/out")" != "$usage" ]; then
      echo "$name $help: exit code $code, wanted 0 with the usage on stdout and nothing on stderr" >&2
      sed 's/^/  stderr: /' "$scratch/err" >&2
      sed 's/^/  stdout: /' "$scratch/out" >&2
      failures=$((failures + 1))
    fi
  done
}
expect_usage korvi-bench "usage: korvi-bench BENCHMARK [OPTIONS]" "$bench"
listed=$(sed -n 's/^  korvi-bench \([a-z-]*\).*/\1/p' "$scratch/out" | sort | tr '\n' ' ')
"$bench" nonsense 2>"$scratch/err"
known=$(sed 's/.*(expected \(.*\))$/\1/; s/,//g; s/ or / /' "$scratch/err" | tr ' ' '\n' | sort | tr '\n' ' ')
[ "$listed" = "$known" ] || { echo "--help lists \"$listed\", an unknown benchmark's error \"$known\"" >&2; failures=$((failures + 1)); }
for name in $listed; do
  expect "$name: unknown option \"--no-such-option\"" "$name" --no-such-option
done
# A usage that cannot be written is not a success.
"$bench" --help >/dev/full 2>"$scratch/err"
code=$?
if [ "$code" -ne 2 ] || [ "$(cat "$scratch/err")" != "korvi-bench: --help: cannot write the usage to standard output" ]; then
  echo "korvi-bench --help >/dev/full: exit code $code, wanted 2 and one line on stderr; stderr: $(cat "$scratch/err")" >&2
  failures=$((failures + 1))
fi

# bench/run's own usage: --help prints it and exits 0 before building anything; an unknown
# argument is one line and exit code 2.
run_script="$(dirname "$0")/run"
expect_usage bench/run "usage: bench/run [--quick]" "$run_script"
"$run_script" --slow >"$scratch/out" 2>"$scratch/err"
code=$?
if [ "$code" -ne 2 ] || [ -s "$scratch/out" ] || [ "$(cat "$scratch/err")" != 'bench/run: unknown argument "--slow" (expected --quick, --help or nothing)' ]; then
  echo "bench/run --slow: exit code $code, wanted 2 and one line on stderr; stderr: $(cat "$scratch/err")" >&2
  failures=$((failures + 1))
fi

exit $((failures > 0))
