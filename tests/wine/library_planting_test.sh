#!/usr/bin/env bash
# Libraries named like the ones the program loads, planted beside it, must never be loaded:
# the program is started from a folder holding them, with Wine told to prefer a library found
# on disk over its own (as Windows always does), and minimised; the icon must appear and no
# planted library may leave a trace. A program that loads them by their bare names from the
# same folder must leave every trace, which shows the check can see them. Then a ".local" file or
# folder or a ".manifest" beside the program must stop it before it starts anything.
#
# Usage: library_planting_test.sh BUILD_DIR Quillaro.exe planted.dll bare_name_load.exe minimise_to_tray.exe
set -euo pipefail
build=$1 program=$2 planted=$3 bare_loader=$4 driver=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env.sh" "$build"

folder=$build/library-planting
rm -rf "$folder"
mkdir -p "$folder"
cp "$program" "$bare_loader" "$folder/"

# What the program loads itself (the common controls, the shell) and what the shell loads in
# turn under Wine. Left out: kernel32, user32, gdi32 and advapi32, the program's imports, which
# Windows loads from the system directory alone (Known DLLs); and what Wine's own libraries
# load into every window program by the standard search: msvcrt (Wine's advapi32 imports it),
# uxtheme, imm32, ole32 with combase and rpcrt4, msimg32 (see tests/wine/NOTES-wine.md). The
# program has no C runtime of its own: the release check allows no other import.
libraries=(comctl32 shell32 shlwapi shcore oleacc)
# Wine 8 reads DLL overrides from the Unix environment of the wine64 command only; a Windows
# parent's environment does not reach them, so each program is started from here.
overrides=$WINEDLLOVERRIDES
for library in "${libraries[@]}"; do
  cp "$planted" "$folder/$library.dll"
  overrides="$overrides;$library=n,b"
done
traces() { find "$folder" -maxdepth 1 -name '*-loaded' -printf '%f ' | sed 's/\.dll-loaded//g'; }

# Wine's own background processes (services, explorer) outlive the programs started here and
# would hold the caller's output open (ctest waits for it), so output goes through a file.
log=$folder/output.log
run() { "$@" >>"$log" 2>&1 </dev/null; }
trap 'cat "$log" 2>/dev/null || true' EXIT

status=0
WINEDLLOVERRIDES=$overrides run "$WINE_LOADER" "$folder/$(basename "$bare_loader")" \
  "${libraries[@]/%/.dll}" || status=$?
for library in "${libraries[@]}"; do
  if [ "$status" -ne 0 ] || [ ! -e "$folder/$library.dll-loaded" ]; then
    echo "FAIL: a bare-name load beside the planted $library.dll did not load it" \
         "(status $status); this test could not tell it being loaded" >&2
    exit 1
  fi
done
echo "the bare-name loads took every planted library, as expected: $(traces)"
rm -f "$folder"/*-loaded

WINEDLLOVERRIDES=$overrides "$WINE_LOADER" "$folder/$(basename "$program")" >/dev/null 2>&1 </dev/null &
pid=$!
status=0
run "$WINE_LOADER" "$driver" || status=$?
if [ "$status" -ne 0 ]; then
  kill "$pid" 2>/dev/null || true
fi
wait "$pid" 2>/dev/null || true
if [ -n "$(traces)" ]; then
  echo "FAIL: Quillaro loaded libraries planted beside it: $(traces)" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: the slider was not heard or minimising did not show the notification icon" \
       "(status $status)" >&2
  exit 1
fi
echo "the slider was heard, the icon appeared and no planted library was loaded (${libraries[*]})"

# Names beside the program that make Windows take libraries from its folder whatever path they
# are loaded by: plus ".local" (a file, or a folder holding the planted libraries) on Windows 2000,
# plus ".manifest" on XP. With any of them the program must start nothing and end with 1 at once;
# one that ran on would show its window and never end by itself. The manifest is a copy of the
# program's own, as a manifest that redirects the common controls would be.
exe=$folder/$(basename "$program")
manifest=$(dirname "$program")/generated/quillaro.manifest
[ -f "$manifest" ] || { echo "FAIL: no manifest of the program at $manifest" >&2; exit 1; }
limit=$(awk -v scale="${QUILLARO_TIMEOUT_SCALE:-1}" 'BEGIN { print int(30 * scale) }')
for planted_name in local-file local-folder manifest; do
  case $planted_name in
    local-file) touch "$exe.local" ;;
    local-folder) mkdir "$exe.local" && cp "$folder"/*.dll "$exe.local/" ;;
    manifest) cp "$manifest" "$exe.manifest" ;;
  esac
  status=0
  WINEDLLOVERRIDES=$overrides run timeout "$limit" "$WINE_LOADER" "$exe" || status=$?
  rm -rf "$exe.local" "$exe.manifest"
  loaded=$(traces)
  if [ "$status" -ne 1 ] || [ -n "$loaded" ]; then
    echo "FAIL: with $planted_name planted beside it the program ended with $status, not 1" \
         "(124: it ran on)${loaded:+; it loaded $loaded}" >&2
    exit 1
  fi
  echo "with $planted_name planted beside it the program started nothing and ended with 1"
done
