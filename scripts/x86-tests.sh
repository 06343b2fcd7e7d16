#!/usr/bin/env bash
# Runs the Windows tests built for i686 and the released 32-bit file in a 32-bit Debian guest
# (scripts/x86-guest.sh), since this machine cannot execute 32-bit code itself. Fails when any
# of them fails. The screenshot of the released file's window goes to
# build/screenshots/quillaro-x86.png.
#
# Usage: scripts/x86-tests.sh [RELEASE_EXE]
#   RELEASE_EXE: the 32-bit file to check, inside this folder (default: the i686 release build,
#   build/win32/ui/win32/Quillaro.exe; scripts/test.sh passes the file scripts/release.sh made).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
exe=$(realpath "${1:-build/win32/ui/win32/Quillaro.exe}")
[ -f "$exe" ] || { echo "x86-tests: no release file $exe" >&2; exit 1; }
case $exe in "$root"/*) ;; *) echo "x86-tests: $exe is not inside $root, which the guest shares" >&2; exit 1 ;; esac

# The test programs: same target as the release, POSIX-thread compiler (the test framework
# needs std::mutex), and a long per-program limit for the emulated machine.
build=$root/build/win32-tests
cmake --preset win32-tests >/dev/null
cmake --build --preset win32-tests -j "$(nproc)"

rm -f build/screenshots/quillaro-x86.png
bash scripts/x86-guest.sh run "$root" scripts/x86-session.sh "$build" "$exe" \
  "$root/build/screenshots/quillaro-x86.png"
