#!/usr/bin/env bash
# The install, update and remove scripts as Wine's cmd runs them, without elevation: Wine has
# no fltmc, so to the scripts it is a prompt that is not elevated, and each must refuse with
# exit code 5 and its one line, write nothing to standard output and create nothing. remove.cmd
# given an argument it does not know says so first, with 2.
#   scripts_refuse_under_wine.sh WINE_PREFIX DEPLOY_DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: scripts_refuse_under_wine.sh WINE_PREFIX DEPLOY_DIR" >&2; exit 2; }
export WINEPREFIX=$1 WINEDEBUG=-all
deploy=$2
command -v wine >/dev/null || { echo "scripts_refuse_under_wine.sh: wine is not installed" >&2; exit 127; }
[ -d "$WINEPREFIX" ] || { timeout 120 wineboot -i >/dev/null 2>&1 || true; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$deploy"/install.cmd "$deploy"/update.cmd "$deploy"/remove.cmd "$work"/
programs="$WINEPREFIX/drive_c/Program Files/Korvi"
failures=0
# script, argument, expected exit code, expected line on standard error
while IFS='|' read -r script argument code line; do
  rc=0
  (cd "$work" && timeout 60 wine cmd /c "$script" $argument >"$work/out" 2>"$work/err") || rc=$?
  err=$(tr -d '\r' <"$work/err")
  if [ "$rc" -ne "$code" ] || [ "$err" != "$line" ] || [ -s "$work/out" ] || [ -e "$programs" ]; then
    echo "$script $argument: exit $rc (expected $code), stderr \"$err\" (expected \"$line\"), stdout $(wc -c <"$work/out") bytes, $( [ -e "$programs" ] && echo "created $programs" || echo "nothing created")"
    failures=$((failures + 1))
  fi
done <<'CASES'
install.cmd||5|install.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
update.cmd||5|update.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
remove.cmd||5|remove.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
remove.cmd|/logs|5|remove.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
remove.cmd|/all|2|remove.cmd: unknown argument "/all": expected nothing or /logs. Nothing was changed.
CASES
[ "$failures" -eq 0 ]
