#!/usr/bin/env bash
# Makes the release as `cpack` does, into a fresh folder, and checks what it holds.
#   make_and_check_zip.sh CPACK CPACK_CONFIG PACKAGE_DIR PYTHON CHECK_RELEASE_ZIP CHECK_ARGUMENT...
# The check runs as CHECK_RELEASE_ZIP PACKAGE_DIR CHECK_ARGUMENT...
set -euo pipefail
[ $# -ge 6 ] || { echo "usage: make_and_check_zip.sh CPACK CPACK_CONFIG PACKAGE_DIR PYTHON CHECK_RELEASE_ZIP CHECK_ARGUMENT..." >&2; exit 2; }
cpack=$1 config=$2 dir=$3 python=$4 check=$5
shift 5
rm -rf "$dir"
"$cpack" --config "$config" -B "$dir" >"$dir.log" 2>&1 || { cat "$dir.log"; exit 1; }
exec "$python" "$check" "$dir" "$@"
