#!/usr/bin/env bash
# Runs the Windows tests of a build folder under wine64, with one wineserver kept alive for the
# whole run (registry keys under the hardware profile are volatile and live as long as it does),
# then saves a screenshot of the window with a demo device under build/screenshots/.
# Expects a display: scripts/test.sh runs it under xvfb-run.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$build"
wine_server_start
trap wine_server_stop EXIT
ctest --test-dir "$build" --output-on-failure

shot=$here/../build/screenshots/quillaro.png
wine_run "$build/tests/wine/seed_demo.exe" >/dev/null
bash "$here/screenshot.sh" "$build/ui/win32/Quillaro.exe" "$shot"
echo "Screenshot of the window: $(realpath "$shot")"
