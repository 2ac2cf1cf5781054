#!/usr/bin/env bash
# Builds everything and runs every test: the native debug build, the same under ASan+UBSan,
# the real 32-bit DLL with its checks and its end-to-end runs under Wine, a memcheck pass over
# the native unit tests, and a minute of each fuzz target. Installs what a
# fresh Debian machine is missing first. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all

for preset in native native-asan; do
  echo "== $preset ==" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== win32 ==" >&2
LXAGREE_MINGW_OPENSSL=$(scripts/build-libcrypto-mingw.sh | tail -n 1)
export LXAGREE_MINGW_OPENSSL
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32

echo "== valgrind ==" >&2
scripts/valgrind.sh

echo "== fuzz ==" >&2
scripts/fuzz.sh "${LXAGREE_FUZZ_SECONDS:-60}"
