#!/usr/bin/env bash
# Builds everything and runs every test: the host tests, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, a bounded fuzz run, the Windows tests under wine64 and Xvfb, the 32-bit
# release build, and then the Windows tests built for i686 and the 32-bit release file itself in a
# 32-bit guest (QUILLARO_SKIP_X86_GUEST=1 leaves that out of a quick local run). Exits non-zero when
# anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

bash scripts/deps.sh

step() { printf '\n=== %s\n' "$*"; }

step "host build and tests"
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLARO_BENCH=ON >/dev/null
ninja -C build/host -j "$jobs"
ctest --test-dir build/host --output-on-failure -j "$jobs"

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLARO_SANITIZE=ON >/dev/null
ninja -C build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

step "fuzzing the start-up scan and apply (60 s)"
bash scripts/fuzz.sh 60

step "32-bit release build"
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DQUILLARO_WINDOWS_TESTS=OFF >/dev/null
ninja -C build/win32 -j "$jobs" Quillaro
ls -l build/win32/ui/win32/Quillaro.exe

step "64-bit build and Windows tests under wine64"
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
ninja -C build/win64 -j "$jobs"
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/wine-tests.sh "$root/build/win64"

step "Windows tests built for i686 and the 32-bit release file, in a 32-bit guest"
if [ "${QUILLARO_SKIP_X86_GUEST:-}" = 1 ]; then
  echo "skipped: QUILLARO_SKIP_X86_GUEST=1"
else
  bash scripts/x86-tests.sh build/win32/ui/win32/Quillaro.exe
fi
