#!/usr/bin/env bash
# One Wine end-to-end case: place LICENSE.DAT, run setuphost under Wine, check its output.
#
#   run_case.sh NAME LICENSE_FILE|--missing|--folder [SETUPHOST_OPTION...] -- [EXPECT...]
#
# Environment: LX_WINE_DIR (the fixture's folder, see wine_fixture_setup.sh), LX_SETUPHOST (the
# setuphost.exe to run) and LX_DLL (the library under test; not needed with --baseline).
# Optional: LX_CASE_LIMIT, seconds before the whole Wine run is killed (default 90), a last guard
# behind setuphost's own --timeout.
#
# LICENSE_FILE is copied to C:\windows\license.dat of the prefix; --missing removes it, --folder
# puts an empty folder of that name in its place.  Unless the
# options name a --screenshot, the dialog is captured to $LX_WINE_DIR/cases/NAME/NAME.png, and
# when setuphost reported the picture frame, check_frame_pixels.sh's lines (frame-variant: ...)
# are added to the output.  So is "exit-code: N", setuphost's exit code.
#
# Each EXPECT is an extended regular expression that some output line must match; one starting
# with "!" must match no line.  Unless an EXPECT mentions exit-code, exit code 0 is required.
# Example:
#   run_case.sh beta_accept good.dat --param TRUE --report -- '^result: 1$' \
#       '^dllreturn: "1"$' '^control-3: .* visible=0' '^frame-variant: beta$' '!^messagebox:'
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=SCRIPTDIR/wine_env.sh
. "$here/wine_env.sh"

[ $# -ge 2 ] || lx_die "usage: run_case.sh NAME LICENSE_FILE|--missing|--folder [OPTION...] -- [EXPECT...]"
name=$1 license=$2
shift 2
options=() expects=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options+=("$1")
    shift
done
[ $# -gt 0 ] && shift
expects=("$@")
[[ $name =~ ^[A-Za-z0-9_.-]+$ ]] || lx_die "case name '$name' must be a plain file name"

: "${LX_SETUPHOST:?set LX_SETUPHOST to setuphost.exe}"
[ -f "$LX_SETUPHOST" ] || lx_die "no setuphost at $LX_SETUPHOST"
baseline=0 shot=""
for ((i = 0; i < ${#options[@]}; i++)); do
    case ${options[i]} in
        --baseline) baseline=1 ;;
        --screenshot) shot=${options[i + 1]:-} ;;
    esac
done
args=()
if [ "$baseline" = 0 ]; then
    : "${LX_DLL:?set LX_DLL to the library under test}"
    [ -f "$LX_DLL" ] || lx_die "no library at $LX_DLL"
    args+=("$(lx_winpath "$LX_DLL")")
fi

lx_use_fixture_display
casedir="$LX_WINE_CASES/$name"
rm -rf -- "$casedir"
mkdir -p "$casedir"
if [ -z "$shot" ]; then
    shot="$casedir/$name.bmp"
    options+=(--screenshot "$(lx_winpath "$shot")")
fi

# The cases share one prefix and its license.dat: one at a time, even outside CTest.
exec 9>"$LX_WINE_DIR/case.lock"
flock -w 100 9 || lx_die "another case has held $LX_WINE_DIR/case.lock for 100 s"

windir="$WINEPREFIX/drive_c/windows"
# Wine finds LICENSE.DAT in any letter case; leave exactly one candidate, or none.
find "$windir" -maxdepth 1 -iname license.dat -delete
if [ "$license" = "--folder" ]; then
    mkdir -- "$windir/license.dat"
elif [ "$license" != "--missing" ]; then
    [ -f "$license" ] || lx_die "no licence file $license"
    cp -- "$license" "$windir/license.dat"
fi

out="$casedir/output.txt"
t0=$(lx_now)
# stdin, stdout and stderr go to files and the lock's descriptor is closed: Wine's helper
# processes (services, devices, desktop) outlive setuphost and inherit what it had open; they
# would keep CTest's pipe open and hold the lock for good.
timeout -k 5 "${LX_CASE_LIMIT:-90}" wine "$LX_SETUPHOST" "${args[@]}" "${options[@]}" \
    </dev/null >"$out" 2>"$casedir/wine-stderr.txt" 9>&-
rc=$?
secs=$(lx_elapsed "$t0")
[ "$rc" = 124 ] || [ "$rc" = 137 ] && echo "error: killed after ${LX_CASE_LIMIT:-90} s" >>"$out"
echo "exit-code: $rc" >>"$out"

if [ -f "$shot" ]; then
    png="${shot%.*}.png"
    if convert "$shot" "$png" 2>>"$casedir/wine-stderr.txt"; then
        rm -f -- "$shot"
        echo "screenshot-png: $png" >>"$out"
        frame=$(sed -n 's/^frame: \([0-9]* [0-9]* [0-9]* [0-9]*\)$/\1/p' "$out" | head -n 1)
        if [ -n "$frame" ]; then
            # shellcheck disable=SC2086  # four numbers, split on purpose
            "$here/check_frame_pixels.sh" "$png" $frame >>"$out" 2>>"$casedir/wine-stderr.txt" ||
                echo "error: frame pixel check failed" >>"$out"
        fi
    else
        echo "error: could not convert the screenshot" >>"$out"
    fi
fi

failed=()
wants_exit=0
for e in "${expects[@]}"; do
    case $e in *exit-code*) wants_exit=1 ;; esac
done
[ "$wants_exit" = 1 ] || expects+=('^exit-code: 0$')
for e in "${expects[@]}"; do
    if [ "${e:0:1}" = "!" ]; then
        grep -E -q -- "${e:1}" "$out" && failed+=("present but must not be: ${e:1}")
    else
        grep -E -q -- "$e" "$out" || failed+=("missing: $e")
    fi
done

echo "--- case $name: setuphost output ($secs s) ---"
cat "$out"
if [ ${#failed[@]} -gt 0 ]; then
    echo "--- case $name FAILED ---"
    printf '  %s\n' "${failed[@]}"
    echo "--- last lines of Wine's stderr ---"
    tail -n 20 "$casedir/wine-stderr.txt"
    exit 1
fi
echo "--- case $name: ok, ${#expects[@]} expectations met ---"
