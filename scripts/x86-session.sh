#!/usr/bin/env bash
# The test session inside the 32-bit guest (scripts/x86-guest.sh runs it, see scripts/x86-tests.sh):
#  1. every Windows test of the i686 test build, through ctest;
#  2. the released 32-bit file, started as a user starts it and driven through a whole session by
#     the end-to-end test (stored level shown, keys written and read back with "reg query", one
#     notification icon when minimised, exit);
#  3. a screenshot of the released file's window with the demo device.
# One desktop is held open for all of them (wine_desktop_hold in wine-env.sh).
# Usage: x86-session.sh TEST_BUILD RELEASE_EXE SCREENSHOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)

if [ "${1:-}" != "--inside" ]; then
    [ $# -eq 3 ] || { echo "usage: $0 TEST_BUILD RELEASE_EXE SCREENSHOT" >&2; exit 2; }
    build=$1
    # Everything is many times slower in the emulated machine than on a desktop.
    export QUILLARO_TIMEOUT_SCALE=${QUILLARO_TIMEOUT_SCALE:-10}
    # Only the 32-bit Wine is installed: its loader, its server, and the prefix the image holds
    # (made once with the image, so no setup here).
    export WINEARCH=win32 WINE_LOADER=/usr/lib/wine/wine WINE_SERVER_BIN=/usr/lib/wine/wineserver32
    export WINE_ENV_NO_SETUP=1
    mkdir -p "$build/wineprefix"
    mount --bind /opt/quillaro/wineprefix "$build/wineprefix"
    echo "guest: $(uname -m), $(/usr/lib/wine/wine --version), QUILLARO_TIMEOUT_SCALE=$QUILLARO_TIMEOUT_SCALE"
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside "$@"
fi
shift
build=$1
exe=$2
shot=$3
source "$here/wine-env.sh" "$build"
wine_server_start
trap wine_server_stop EXIT
wine_desktop_hold "$build/tests/wine/desktop_holder.exe"

status=0
echo "=== the Windows tests built for i686"
ctest --test-dir "$build" --output-on-failure || status=1

echo "=== the released 32-bit file: $exe"
QUILLARO_EXE=$exe ctest --test-dir "$build" --output-on-failure -R '^e2e_win_test$' || status=1

wine_run "$build/tests/wine/seed_demo.exe" >/dev/null || status=1
bash "$here/screenshot.sh" "$exe" "$shot" || status=1
[ -f "$shot" ] && echo "Screenshot of the released 32-bit file: $shot"
exit $status
