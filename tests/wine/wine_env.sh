# shellcheck shell=bash
# Helpers shared by the Wine end-to-end scripts; sourced, never run.
#
#   LX_WINE_DIR=<build-dir>/wine-e2e . tests/wine/wine_env.sh
#
# LX_WINE_DIR is the folder in the build tree that holds everything the harness makes: the 32-bit
# prefix (prefix/), Xvfb's pid and display number (xvfb.pid, xvfb.display), logs (logs/) and the
# per-case output and screenshots (cases/).  Nothing outside it is touched, so two build trees can
# run their suites side by side.

: "${LX_WINE_DIR:?set LX_WINE_DIR to the harness folder inside the build dir}"

export WINEARCH=win32
export WINEPREFIX="$LX_WINE_DIR/prefix"
# Quiet Wine's own tracing unless the caller asked for it; the harness reads only setuphost's stdout.
export WINEDEBUG="${WINEDEBUG:--all}"
# An empty override disables mscoree and mshtml, which is what stops wineboot from offering to
# download Mono and Gecko (there is no network here and a modal prompt would stall the run).
export WINEDLLOVERRIDES="mscoree,mshtml="

# shellcheck disable=SC2034  # used by the scripts that source this file
LX_WINE_LOGS="$LX_WINE_DIR/logs" LX_WINE_CASES="$LX_WINE_DIR/cases"

lx_die() {
    echo "wine-harness: error: $*" >&2
    exit 1
}

lx_log() { echo "wine-harness: $*" >&2; }

# Seconds since the epoch with milliseconds, for the figures the scripts print.
lx_now() { date +%s.%N; }
lx_elapsed() { awk -v a="$1" -v b="$(lx_now)" 'BEGIN { printf "%.1f", b - a }'; }

# Unix path -> Windows path through the Z: drive, which a default prefix maps to "/".  Done in the
# shell rather than with winepath so that no extra Wine process is started per conversion.
lx_winpath() {
    local p
    p=$(readlink -f -- "$1" 2>/dev/null || printf '%s' "$1")
    printf 'Z:%s' "${p//\//\\}"
}

lx_xvfb_alive() {
    local pid
    pid=$(cat "$LX_WINE_DIR/xvfb.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "Xvfb" ]
}

# Export DISPLAY for the fixture's Xvfb; fail loudly if the fixture is not up.
lx_use_fixture_display() {
    lx_xvfb_alive || lx_die "Xvfb of the fixture is not running (run the setup script first)"
    DISPLAY=$(cat "$LX_WINE_DIR/xvfb.display") || lx_die "no display recorded"
    export DISPLAY
}

# Start Xvfb on a display number that Xvfb itself finds free (-displayfd), so parallel build trees
# and stray servers never collide.  Its output goes to a log file rather than to our stdout: CTest
# waits for every holder of the test's pipe to exit, and Xvfb outlives the setup step on purpose.
lx_start_xvfb() {
    local numfile="$LX_WINE_DIR/xvfb.displayfd" pid
    mkdir -p "$LX_WINE_LOGS"
    : >"$numfile"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$numfile" </dev/null >"$LX_WINE_LOGS/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
        [ -s "$numfile" ] && break
        kill -0 "$pid" 2>/dev/null || lx_die "Xvfb exited at start: $(tail -n 3 "$LX_WINE_LOGS/xvfb.log")"
        sleep 0.1
    done
    [ -s "$numfile" ] || lx_die "Xvfb did not report a display within 10 s"
    echo "$pid" >"$LX_WINE_DIR/xvfb.pid"
    echo ":$(head -n 1 "$numfile" | tr -dc '0-9')" >"$LX_WINE_DIR/xvfb.display"
    rm -f "$numfile"
}

lx_stop_xvfb() {
    local pid
    if lx_xvfb_alive; then
        pid=$(cat "$LX_WINE_DIR/xvfb.pid")
        kill "$pid" 2>/dev/null
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$LX_WINE_DIR/xvfb.pid" "$LX_WINE_DIR/xvfb.display"
}

# Stop this prefix's wineserver (and with it every Wine process of the prefix).  Only the prefix of
# this build tree is addressed, never other Wine sessions on the machine.
lx_stop_wineserver() {
    [ -d "$WINEPREFIX" ] || return 0
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
}
