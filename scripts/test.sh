#!/usr/bin/env bash
# Builds everything and runs every test: the native debug build, the same under ASan+UBSan.
# Installs what a fresh Debian machine is missing first. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all

for preset in native native-asan; do
  echo "== $preset ==" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
