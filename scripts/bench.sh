#!/usr/bin/env bash
# Measures what the program costs, all in one run:
#  1. Google Benchmark over the in-memory registry (build/bench, Release): the start-up scan
#     over 10 to 10,000 devices, per device, classification and apply. Extra arguments go to
#     the benchmark program, e.g. --benchmark_filter=StartupScan --benchmark_repetitions=5
#  2. the size of the stripped 32-bit release executable and the DLLs it imports;
#  3. under wine64 and Xvfb: start to window shown against a bare window program, side by side,
#     the start-up scan over 1,000 devices in Wine's registry, the time from another process's
#     write to the slider showing it, and the processor time used over 60 s idle in the
#     notification area.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/deps.sh

echo "=== start-up scan, classification and apply over the in-memory registry"
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build/bench/bench/core_bench --benchmark_counters_tabular=true "$@"

echo
echo "=== the 32-bit release executable"
cmake --preset win32 >/dev/null
cmake --build --preset win32 >/dev/null
exe=build/win32/ui/win32/Quillaro.exe
echo "size: $(stat -c %s "$exe") bytes ($(( $(stat -c %s "$exe") / 1024 )) KiB)"
echo "imports: $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"

echo
echo "=== under wine64"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Quillaro startup_bench bare_window scan_bench follow_bench >/dev/null
cat >"$root/build/bench-wine.sh" <<'INNER'
set -euo pipefail
build=$1
source "$2/scripts/wine-env.sh" "$build"
wine_server_start
trap wine_server_stop EXIT
wine_run "$build/bench/wine/startup_bench.exe" "$build/ui/win32/Quillaro.exe" \
  "$build/bench/wine/bare_window.exe" 60
wine_run "$build/bench/wine/scan_bench.exe" 1000 10
wine_run "$build/bench/wine/follow_bench.exe" "$build/ui/win32/Quillaro.exe" \
  "$build/bench/wine/bare_window.exe" 20 60
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/build/bench-wine.sh" "$root/build/win64" "$root"
