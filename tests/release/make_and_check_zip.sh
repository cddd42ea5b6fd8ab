#!/usr/bin/env bash
# Makes the release as `cpack` does, into a fresh folder, and checks what it holds.
#   make_and_check_zip.sh CPACK CPACK_CONFIG PACKAGE_DIR PYTHON CHECK_RELEASE_ZIP VERSION MAP_DIR
set -euo pipefail
[ $# -eq 7 ] || { echo "usage: make_and_check_zip.sh CPACK CPACK_CONFIG PACKAGE_DIR PYTHON CHECK_RELEASE_ZIP VERSION MAP_DIR" >&2; exit 2; }
cpack=$1 config=$2 dir=$3 python=$4 check=$5 version=$6 maps=$7
rm -rf "$dir"
"$cpack" --config "$config" -B "$dir" >"$dir.log" 2>&1 || { cat "$dir.log"; exit 1; }
exec "$python" "$check" "$dir" "$version" "$maps"
