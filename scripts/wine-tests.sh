#!/usr/bin/env bash
# Runs the Windows tests of a build folder under wine64, with one wineserver kept alive for the
# whole run (registry keys under the hardware profile are volatile and live as long as it does).
# Expects a display: scripts/test.sh runs it under xvfb-run.
set -euo pipefail
build=$1
source "$(dirname "$0")/wine-env.sh" "$build"
wine_server_start
trap wine_server_stop EXIT
ctest --test-dir "$build" --output-on-failure
