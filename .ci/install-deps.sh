#!/usr/bin/env bash
# Installs, by Debian package name, what building and testing korvi-sar needs; only the packages
# that are missing, so a second run installs nothing.
#
#   bash .ci/install-deps.sh [SET...]     (no SET: every set, as CI needs)
#
#   linux     build, run and test the Linux build (the service on the simulated notebook, its
#             tests, the benchmarks, the timeline pictures): no Windows toolchain
#   windows   the Windows build, cross-compiled with mingw-w64 and tested under Wine, and its
#             release signed (osslsigncode, openssl)
#   fuzz      the fuzz preset: clang and its libFuzzer and sanitizer runtimes
#
# Installing needs root: run it as root, or it asks sudo.
set -euo pipefail

# Every preset builds with Ninja, so each set that a preset needs names it (a machine set up
# before the presets moved to Ninja gets it with the set it asks for).
linux=(cmake ninja-build g++ googletest libgtest-dev nlohmann-json3-dev python3
       # the mutation runner, and its own test in the Linux suite, copy the tree that git tracks
       git
       # the mutation runner's object cache: a restored file compiles from it, not again
       ccache)
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64
         # signing the release exes with a throwaway certificate, and verifying them
         osslsigncode openssl)
fuzz=(cmake ninja-build clang-14 libclang-rt-14-dev)

sets=("$@")
[ ${#sets[@]} -gt 0 ] || sets=(linux windows fuzz)
packages=()
for set in "${sets[@]}"; do
  case "$set" in
    linux) packages+=("${linux[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    *) echo "install-deps.sh: unknown set \"$set\" (expected linux, windows or fuzz)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps.sh: missing packages ${missing[*]}: run this as root (sudo is not installed)" >&2
    exit 1
  fi
  as_root=(sudo)
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
