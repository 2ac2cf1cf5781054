#!/usr/bin/env bash
# Fixture cleanup for the Wine end-to-end cases: stops the prefix's wineserver and the Xvfb that
# wine_fixture_setup.sh started.  The prefix itself and the case output stay for inspection.
#
#   LX_WINE_DIR=<build-dir>/wine-e2e tests/wine/wine_fixture_cleanup.sh
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=SCRIPTDIR/wine_env.sh
. "$here/wine_env.sh"

lx_stop_wineserver
lx_stop_xvfb
echo "wine fixture stopped"
