#!/usr/bin/env bash
# Fixture setup for the Wine end-to-end cases: a fresh 32-bit prefix and a private Xvfb.
#
#   LX_WINE_DIR=<build-dir>/wine-e2e tests/wine/wine_fixture_setup.sh
#
# Creates $LX_WINE_DIR/prefix anew (WINEARCH=win32, wineboot -i), starts Xvfb on a free display and
# a persistent wineserver for the prefix, and records Xvfb's pid and display in $LX_WINE_DIR.
# With LX_WINE_REUSE_PREFIX=1 a prefix that an earlier run completed is kept (quicker local loops).
# Stop everything with wine_fixture_cleanup.sh.  Prints the time the prefix took.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=SCRIPTDIR/wine_env.sh
. "$here/wine_env.sh"

for tool in wine wineserver Xvfb; do
    command -v "$tool" >/dev/null || lx_die "$tool is not installed"
done
mkdir -p "$LX_WINE_DIR" "$LX_WINE_LOGS" "$LX_WINE_CASES"

# Leftovers of an earlier run of this build tree (a cleanup that never ran).
lx_stop_wineserver
lx_stop_xvfb

lx_start_xvfb
lx_use_fixture_display
lx_log "Xvfb pid $(cat "$LX_WINE_DIR/xvfb.pid") on display $DISPLAY"

stamp="$WINEPREFIX/.lx-prefix-complete"
if [ "${LX_WINE_REUSE_PREFIX:-0}" = 1 ] && [ -f "$stamp" ]; then
    lx_log "reusing the prefix in $WINEPREFIX"
    reused=1
else
    rm -rf -- "$WINEPREFIX"
    reused=0
fi
mkdir -p "$WINEPREFIX"

# One persistent server for the whole suite: each case then starts in about a second instead of
# paying for a server start, and no server lingers holding a CTest pipe (its output goes to a log).
wineserver -p </dev/null >>"$LX_WINE_LOGS/wineserver.log" 2>&1 ||
    lx_die "wineserver did not start"

t0=$(lx_now)
if [ "$reused" = 0 ]; then
    wineboot -i </dev/null >"$LX_WINE_LOGS/wineboot.log" 2>&1 ||
        lx_die "wineboot -i failed: $(tail -n 5 "$LX_WINE_LOGS/wineboot.log")"
fi
# Settings, written in one regedit run:
# - a crash of the program under test must end the process, not open winedbg's crash dialog that
#   nobody would close; the case then fails on its missing result line instead of timing out;
# - all windows live in one Wine virtual desktop.  Xvfb has no window manager: top-level X
#   windows would get no caption (black in screenshots), and every hide waits up to 2 s for a
#   window-manager reply that never comes.  Inside the virtual desktop Wine draws captions itself
#   and nothing waits on a window manager.
regfile="$LX_WINE_DIR/harness-settings.reg"
printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '' \
    >"$regfile"
wine regedit /S "$(lx_winpath "$regfile")" </dev/null >>"$LX_WINE_LOGS/wineboot.log" 2>&1 ||
    lx_die "could not write the harness settings into the registry"
[ -d "$WINEPREFIX/drive_c/windows" ] || lx_die "the prefix has no drive_c/windows"
# Dialogs ask for "MS Sans Serif" 8 pt, and dialog units are measured in that font.  Wine's own
# replacements (package fonts-wine) are not found by this Wine build where they are installed, so
# they are copied into the prefix; without them Wine falls back to a wider system font, dialogs
# come out about 15% larger than on Windows and the caption's close glyph is missing.
winefonts=/usr/share/wine/fonts
if [ -f "$winefonts/ms_sans_serif.ttf" ]; then
    cp -- "$winefonts"/*.ttf "$winefonts"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" ||
        lx_die "could not copy Wine's fonts into the prefix"
    echo "fonts: wine"
else
    lx_log "warning: $winefonts/ms_sans_serif.ttf missing (install fonts-wine); dialogs will use a fallback font"
    echo "fonts: fallback"
fi
# The desktop process (explorer.exe) that wineboot started predates the settings: restart the
# session so that the first case starts a desktop that reads them.
lx_stop_wineserver
wineserver -p </dev/null >>"$LX_WINE_LOGS/wineserver.log" 2>&1 || lx_die "wineserver did not restart"
# Start the session's long-lived helper processes now, with their output in a log, rather than in
# the first case, where they would inherit that case's files.
wine cmd /c exit </dev/null >>"$LX_WINE_LOGS/wineboot.log" 2>&1 || lx_die "wine does not start"
touch "$stamp"

echo "prefix: $WINEPREFIX"
echo "display: $DISPLAY"
if [ "$reused" = 0 ]; then
    echo "prefix-created-in-s: $(lx_elapsed "$t0")"
else
    echo "prefix-reused-ready-in-s: $(lx_elapsed "$t0")"
fi
