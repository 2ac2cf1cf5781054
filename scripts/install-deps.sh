#!/usr/bin/env bash
# Installs the Debian packages the builds need, only those that are missing, so that a second
# run costs a few dpkg queries. Groups: native (default), win32 (cross build and Wine runs),
# fuzz (clang's libFuzzer), all.
set -euo pipefail

native=(cmake make g++ pkg-config libssl-dev openssl libgtest-dev libgmock-dev libbenchmark-dev)
win32=(g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 dpkg-dev xz-utils
       wine wine32:i386 fonts-wine xvfb x11-utils imagemagick)
fuzz=(clang libclang-rt-14-dev valgrind)

wanted=()
for group in "${@:-native}"; do
  case "$group" in
    native) wanted+=("${native[@]}") ;;
    win32) wanted+=("${win32[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    all) wanted+=("${native[@]}" "${win32[@]}" "${fuzz[@]}") ;;
    *) echo "install-deps: unknown group '$group' (native, win32, fuzz, all)" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]} (run as root, or install them)" >&2
  exit 1
fi
for pkg in "${missing[@]}"; do
  if [[ "$pkg" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
done
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >&2
apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
