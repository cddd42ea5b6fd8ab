#!/usr/bin/env bash
# wine-run's choice of prefix (each build tree its own, KORVI_WINE_PREFIX over it), its
# refusal of an unusable KORVI_WINE_TIMEOUT, and a prefix that cannot be made. Runs nothing
# under Wine (Wine must be installed: without it wine-run stops before the prefix).
#   wine_run_test.sh WINE_RUN
set -u
wine_run=$1
scratch=$(realpath "$(mktemp -d)")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "$*" >&2; failures=$((failures + 1)); }

# Two build trees side by side, a program deep inside one, and one outside both.
mkdir -p "$scratch/tree-a/tests/wine/bed" "$scratch/tree-b" "$scratch/loose"
touch "$scratch/tree-a/CMakeCache.txt" "$scratch/tree-b/CMakeCache.txt"
home_default="$scratch/home/.cache/korvi-sar/wine"

# expect_prefix WANTED [VAR=VALUE...] -- PROGRAM
expect_prefix() {
  local want=$1 got
  shift
  local -a vars=()
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  got=$(cd "$scratch" && env -u KORVI_WINE_PREFIX -u XDG_CACHE_HOME HOME="$scratch/home" "${vars[@]}" \
        "$wine_run" --which-prefix "$1")
  [ "$got" = "$want" ] || fail "--which-prefix $1 (${vars[*]}): got \"$got\", wanted \"$want\""
}

expect_prefix "$scratch/tree-a/wine-prefix" -- "$scratch/tree-a/tests/wine/bed/korvi-sar.exe"
expect_prefix "$scratch/tree-a/wine-prefix" -- tree-a/tests/wine/bed/korvi-sar.exe
expect_prefix "$scratch/tree-b/wine-prefix" -- "$scratch/tree-b/probe.exe"
expect_prefix "$home_default" -- "$scratch/loose/probe.exe"
expect_prefix "$home_default" -- cmd
expect_prefix "$scratch/cache/korvi-sar/wine" XDG_CACHE_HOME="$scratch/cache" -- "$scratch/loose/probe.exe"
expect_prefix /opt/my-prefix KORVI_WINE_PREFIX=/opt/my-prefix -- "$scratch/tree-a/tests/wine/bed/korvi-sar.exe"
expect_prefix "$scratch/relative" KORVI_WINE_PREFIX=relative -- "$scratch/tree-b/probe.exe"
expect_prefix "$scratch/tree-b/wine-prefix" KORVI_WINE_PREFIX= -- "$scratch/tree-b/probe.exe"

# An unusable time bound: one line naming the variable, exit code 2, nothing run.
for bound in abc 0 0.0 -5 10s; do
  KORVI_WINE_TIMEOUT=$bound "$wine_run" "$scratch/loose/probe.exe" >"$scratch/out" 2>"$scratch/err"
  code=$?
  if [ $code -ne 2 ] || [ "$(wc -l <"$scratch/err")" -ne 1 ] || [ -s "$scratch/out" ] ||
     ! grep -qF "wine-run: KORVI_WINE_TIMEOUT: expected seconds above 0, got \"$bound\"" "$scratch/err"; then
    fail "KORVI_WINE_TIMEOUT=$bound: exit code $code, stderr: $(cat "$scratch/err")"
  fi
done
[ ! -e "$scratch/home" ] || fail "a refused run created $scratch/home"

# A prefix that cannot be made: one line that says which and why, exit code 125, and no
# program run (nothing under Wine either: both fail before Wine's set-up starts).
mkdir -p "$scratch/locked/p.lock"
for case in "$scratch/file/prefix|cannot create its parent folder" \
            "$scratch/locked/p|cannot open its lock file $scratch/locked/p.lock"; do
  prefix=${case%%|*} why=${case#*|}
  touch "$scratch/file"
  KORVI_WINE_PREFIX=$prefix "$wine_run" "$scratch/loose/probe.exe" >"$scratch/out" 2>"$scratch/err"
  code=$?
  if [ $code -ne 125 ] || [ -s "$scratch/out" ] ||
     [ "$(cat "$scratch/err")" != "wine-run: cannot make the Wine prefix $prefix: $why" ]; then
    fail "KORVI_WINE_PREFIX=$prefix: exit code $code, stderr: $(cat "$scratch/err")"
  fi
done

exit $((failures > 0))
