#!/usr/bin/env bash
# Builds the libFuzzer target with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# in build/fuzz and fuzzes the start-up scan and ApplyLevel for the given number of seconds
# (default 60), starting from a copy of the seed inputs in fuzz/corpus. New inputs go to
# build/fuzz/corpus-work, never into the repository; a finding is written as
# build/fuzz/artifacts/crash-* (or leak-*, timeout-*, oom-*) and makes the script exit non-zero.
#
# A longer run, e.g. before a release:    scripts/fuzz.sh 3600
# More processes in parallel:             FUZZ_JOBS=4 scripts/fuzz.sh 3600
# Replay one input:                       build/fuzz/fuzz/scan_apply_fuzzer FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
jobs=${FUZZ_JOBS:-1}
build=build/fuzz
work=$build/corpus-work
artifacts=$build/artifacts

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p "$work" "$artifacts"
cp -n fuzz/corpus/* "$work"/

fuzz_args=(
  -max_total_time="$seconds"
  -max_len=4096
  -timeout=10
  -rss_limit_mb=2048
  -print_final_stats=1
  -artifact_prefix="$artifacts/"
)
if [ "$jobs" -gt 1 ]; then
  fuzz_args+=(-fork="$jobs")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

before=$(find "$artifacts" -type f | wc -l)
status=0
# The fuzzer reports every new input; keep that in a log and show its summary.
log=$build/fuzz.log
"$build/fuzz/scan_apply_fuzzer" "${fuzz_args[@]}" "$work" >"$log" 2>&1 || status=$?
after=$(find "$artifacts" -type f | wc -l)
grep -E '^(stat::|Done|INFO: seed corpus)' "$log" || true

if [ "$status" -ne 0 ] || [ "$after" -gt "$before" ]; then
  tail -n 60 "$log" >&2
  echo "fuzz: finding(s) in $artifacts (exit status $status); the whole log is $log" >&2
  exit 1
fi
echo "fuzz: no findings in ${seconds}s"
