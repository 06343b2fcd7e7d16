#!/usr/bin/env bash
# Builds everything and runs every test: the host tests, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, a bounded fuzz run, the release (both executables built,
# checked and built again to compare), the Windows tests under wine64 and Xvfb, and then the
# Windows tests built for i686 and the 32-bit release file itself in a 32-bit guest
# (QUILLARO_SKIP_X86_GUEST=1 leaves that out of a quick local run). Exits non-zero when
# anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

bash scripts/deps.sh

step() { printf '\n=== %s\n' "$*"; }

step "scripts: a folder printed for a caller carries no installer output"
bash tests/scripts/guest_image_stdout_test.sh

step "host build and tests"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

step "fuzzing the start-up scan and apply (60 s)"
bash scripts/fuzz.sh 60

step "release: both executables, built and checked"
bash scripts/release.sh
step "release checks reject faulty files"
bash tests/release/check_release_test.sh
step "release built again elsewhere is byte-identical"
bash tests/release/reproducible_test.sh

step "64-bit build and Windows tests under wine64"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/wine-tests.sh "$root/build/win64"

step "Windows tests built for i686 and the 32-bit release file, in a 32-bit guest"
if [ "${QUILLARO_SKIP_X86_GUEST:-}" = 1 ]; then
  echo "skipped: QUILLARO_SKIP_X86_GUEST=1"
else
  release=(dist/Quillaro-*-x86.exe)
  bash scripts/x86-tests.sh "${release[0]}"
fi
