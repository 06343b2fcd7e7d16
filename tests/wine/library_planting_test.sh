#!/usr/bin/env bash
# A library named like the shell library, planted beside the program, must never be loaded:
# the program is started from a folder holding such a library, with Wine told to prefer a
# library found on disk over its own (as Windows always does), and minimised; the icon must
# appear and the planted library must leave no trace. A program that loads the shell by its
# bare name from the same folder must leave the trace, which shows the check can see it.
#
# Usage: library_planting_test.sh BUILD_DIR Quillaro.exe shell32.dll bare_name_load.exe minimise_to_tray.exe
set -euo pipefail
build=$1 program=$2 planted=$3 bare_loader=$4 driver=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env.sh" "$build"

folder=$build/library-planting
rm -rf "$folder"
mkdir -p "$folder"
cp "$program" "$planted" "$bare_loader" "$folder/"
marker=$folder/planted-library-loaded

# Wine 8 reads DLL overrides from the Unix environment of the wine64 command only; a Windows
# parent's environment does not reach them, so each program is started from here.
overrides="$WINEDLLOVERRIDES;shell32=n,b"

# Wine's own background processes (services, explorer) outlive the programs started here and
# would hold the caller's output open (ctest waits for it), so output goes through a file.
log=$folder/output.log
run() { "$@" >>"$log" 2>&1 </dev/null; }
trap 'cat "$log" 2>/dev/null || true' EXIT

status=0
WINEDLLOVERRIDES=$overrides run "$WINE_LOADER" "$folder/$(basename "$bare_loader")" || status=$?
if [ "$status" -ne 0 ] || [ ! -e "$marker" ]; then
  echo "FAIL: a bare-name load beside the planted library did not load it (status $status);" \
       "this test could not tell a planted library being loaded" >&2
  exit 1
fi
echo "the bare-name load took the planted library, as expected"
rm -f "$marker"

WINEDLLOVERRIDES=$overrides "$WINE_LOADER" "$folder/$(basename "$program")" >/dev/null 2>&1 </dev/null &
pid=$!
status=0
run "$WINE_LOADER" "$driver" || status=$?
if [ "$status" -ne 0 ]; then
  kill "$pid" 2>/dev/null || true
fi
wait "$pid" 2>/dev/null || true
if [ -e "$marker" ]; then
  echo "FAIL: Quillaro loaded the library planted beside it" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: minimising did not show the notification icon (status $status)" >&2
  exit 1
fi
echo "the icon appeared and the planted library was not loaded"
