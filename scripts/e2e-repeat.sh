#!/usr/bin/env bash
# Runs the end-to-end test program N times as separate processes in one wineserver and one Xvfb,
# as the test command does, and prints how many runs there were and how many failed, with the
# failing tests' lines. For finding races: a test that fails one run in ten shows here.
#
# Usage: scripts/e2e-repeat.sh N [gtest arguments...]
#   e.g. scripts/e2e-repeat.sh 20 --gtest_filter='EndToEndTest.ShownByAnotherProgram*:ReadOnly*'
#        scripts/e2e-repeat.sh 1 --gtest_repeat=30
# Builds the 64-bit Windows tests first (preset win64). QUILLARO_E2E=path runs another test
# program (of a win64-built folder); QUILLARO_EXE=path drives another build of the program.
# Exits non-zero when any run failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-}
case $runs in '' | *[!0-9]* | 0) echo "usage: scripts/e2e-repeat.sh N [gtest arguments...]" >&2; exit 2 ;; esac
shift

if [ "${E2E_REPEAT_INSIDE:-}" != 1 ]; then
  bash scripts/deps.sh >/dev/null
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target e2e_win_test desktop_holder >/dev/null
  E2E_REPEAT_INSIDE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$runs" "$@"
fi

test_exe=${QUILLARO_E2E:-$root/build/win64/tests/wine/e2e_win_test.exe}
source scripts/wine-env.sh "$test_exe"
wine_server_start
trap wine_server_stop EXIT
wine_desktop_hold "$(dirname "$test_exe")/desktop_holder.exe"
logs=$root/build/e2e-repeat
rm -rf "$logs"
mkdir -p "$logs"
failed=0
for run in $(seq 1 "$runs"); do
  log=$logs/run-$run.log
  if tests/wine/run-in-wine.sh "$test_exe" --gtest_color=no "$@" >"$log" 2>&1; then
    printf 'run %d: passed\n' "$run"
  else
    failed=$((failed + 1))
    printf 'run %d: FAILED (%s)\n' "$run" "$log"
    # The assertion's place and the failing tests.
    grep -E '^[^ ]*\.cpp:[0-9]+: Failure|^\[  FAILED  \] [A-Za-z]' "$log" | sort | uniq -c | sed 's/^/    /'
  fi
done
echo "runs: $runs, failed: $failed"
[ "$failed" -eq 0 ]
