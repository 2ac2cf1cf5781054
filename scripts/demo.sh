#!/usr/bin/env bash
# The main job: builds lxagree.dll and setuphost (a stand-in for an installer), packs the sample
# agreement into LICENSE.DAT with licensetool, and runs the DLL under Wine exactly as a setup
# program calls it.
#
#   scripts/demo.sh [--headless] [AGREEMENT.txt] [PARAMETER-TEXT]
#
# With a usable X display (DISPLAY set) the real dialog appears and you answer it. Without one,
# or with --headless, it runs on a virtual display, takes a screenshot, answers "I accept" for the
# person, and prints what the setup program received and where the screenshot is.
# PARAMETER-TEXT "TRUE" shows the beta variant.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

headless=0
if [ "${1:-}" = "--headless" ]; then
  headless=1
  shift
fi
agreement=${1:-docs/sample-agreement.txt}
param=${2:-}
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  headless=1
fi

say() { printf '\n== %s\n' "$*"; }

say "installing what is missing"
scripts/install-deps.sh native win32

say "building licensetool (native), lxagree.dll and setuphost.exe (win32)"
cmake --preset native >/dev/null
cmake --build --preset native --target licensetool >/dev/null
LXAGREE_MINGW_OPENSSL=$(scripts/build-libcrypto-mingw.sh | tail -n 1)
export LXAGREE_MINGW_OPENSSL
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target lxagree setuphost >/dev/null
dll=$root/build/win32/lxagree.dll
setuphost=$root/build/win32/setuphost.exe
ls -l "$dll"

demo=$root/build/demo
mkdir -p "$demo"
say "packing $agreement into LICENSE.DAT"
build/native/tools/licensetool/licensetool pack "$agreement" "$demo/LICENSE.DAT"
build/native/tools/licensetool/licensetool check "$demo/LICENSE.DAT"

if [ "$headless" = 1 ]; then
  say "running under Wine on a virtual display (the person's answer: I accept the Agreement)"
  export LX_WINE_DIR=$demo/wine LX_WINE_REUSE_PREFIX=1
  export LX_SETUPHOST=$setuphost LX_DLL=$dll
  trap 'bash tests/wine/wine_fixture_cleanup.sh >/dev/null 2>&1 || true' EXIT
  bash tests/wine/wine_fixture_setup.sh >/dev/null
  bash tests/wine/run_case.sh demo "$demo/LICENSE.DAT" --param "$param" --answer accept \
    --report --measure -- '^result: 1$' '^dllreturn: "1"$' >"$demo/demo-output.txt" ||
    { cat "$demo/demo-output.txt"; exit 1; }
  out=$LX_WINE_DIR/cases/demo/output.txt
  say "what the setup program received"
  grep -E '^(result|dllreturn|dialog|shown-after-ms|messagebox):' "$out"
  say "screenshot"
  sed -n 's/^screenshot-png: //p' "$out"
else
  say "running under Wine on $DISPLAY: answer the dialog"
  export WINEARCH=win32 WINEPREFIX=$demo/wine-interactive WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/.lx-prefix-complete" ]; then
    wineboot -i >/dev/null 2>&1
    cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    touch "$WINEPREFIX/.lx-prefix-complete"
  fi
  cp "$demo/LICENSE.DAT" "$WINEPREFIX/drive_c/windows/license.dat"
  say "what the setup program received"
  wine "$setuphost" "Z:${dll//\//\\}" --param "$param" --answer person --measure </dev/null |
    grep -E '^(result|dllreturn|dialog|shown-after-ms|messagebox):'
fi
