#!/usr/bin/env bash
# Makes the LICENSE.DAT files of the Wine runs by running make_license_fixtures.exe in the
# fixture's prefix.   make_fixtures.sh MAKE_LICENSE_FIXTURES_EXE FOLDER
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine_env.sh
. "$here/wine_env.sh"
exe=$1 folder=$2
rm -rf -- "$folder"
mkdir -p -- "$folder"
lx_use_fixture_display
wine "$exe" "$(lx_winpath "$folder")" </dev/null || lx_die "make_license_fixtures failed"
ls -l -- "$folder"
