#!/usr/bin/env bash
# Run a Windows program under wine64 in the build's private prefix.
#
#     run-in-wine.sh program.exe [args...]
#
# Usable as CMAKE_CROSSCOMPILING_EMULATOR.  The exit code of the program is
# passed on (Wine gives the low 8 bits of the Windows exit code).
#
# The Wine prefix is that of the program's build folder, found as scripts/wine-env.sh
# describes.
#
# Needs an X display ($DISPLAY): run the whole test session under one
# `xvfb-run -a`.  WINE_ALLOW_NO_DISPLAY=1 lifts that check (console-only
# programs).
#
# The wineserver: the caller should keep one alive (wine_server_start from
# scripts/wine-env.sh, i.e. `wineserver -p`) for the whole run; this wrapper
# never starts or stops a persistent one.  If none runs, wine starts a
# short-lived one for this program alone, which exits with it (volatile
# registry keys are then lost between programs, and start-up is slower).
set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 program.exe [args...]" >&2
    exit 2
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)"
repo="$(cd "$here/../.." && pwd -P)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WINE_ALLOW_NO_DISPLAY:-}" ]; then
    echo "run-in-wine.sh: DISPLAY is not set; run under xvfb-run -a" >&2
    exit 2
fi

exe="$1"
shift
if [ ! -f "$exe" ]; then
    echo "run-in-wine.sh: no such program: $exe" >&2
    exit 2
fi

# shellcheck source=../../scripts/wine-env.sh
source "$repo/scripts/wine-env.sh" "$exe" || exit 2

# Wine's own background processes (services, explorer) outlive the program and would keep
# its output pipe open, so a caller reading to the end (ctest) would wait for them: pass the
# program's output through a file instead.
log=$(mktemp)
"$WINE_LOADER" "$exe" "$@" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
rm -f "$log"
exit $status
