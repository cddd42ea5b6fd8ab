#!/usr/bin/env bash
# Installs, by Debian package name, everything that building and testing korvi-sar needs.
set -euo pipefail
packages=(cmake make g++ googletest libgtest-dev nlohmann-json3-dev python3
          # the mutation runner copies the tree that git tracks
          git
          # the Windows build, cross-compiled and run under Wine
          g++-mingw-w64-x86-64-posix wine64
          # the fuzz preset: clang and its libFuzzer and sanitizer runtimes
          clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi
