#!/usr/bin/env bash
# Builds the two release files from clean build folders, checks them and writes
#   dist/Quillaro-<version>-x86.exe   32-bit: Windows 2000, XP and every later Windows
#   dist/Quillaro-<version>-x64.exe   64-bit: Windows XP x64, Server 2003 x64 and later
#   dist/SHA256SUMS
# The version is the project version in CMakeLists.txt. The same sources give byte-identical
# files wherever and whenever they are built. Exits non-zero when a build or a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# Nothing in the build should read the clock; should anything start to, it reads this date.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
# Let the compilers and tools speak one language.
export LC_ALL=C TZ=UTC

rm -rf dist
mkdir -p dist
for build in x86:win32 x64:win64-release; do
  arch=${build%%:*} preset=${build#*:}
  rm -rf "build/$preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "build/$preset/CMakeCache.txt")
  cp "build/$preset/ui/win32/Quillaro.exe" "dist/Quillaro-$version-$arch.exe"
done

status=0
for exe in dist/Quillaro-*.exe; do
  bash scripts/check-release.sh "$exe" || status=1
done
(cd dist && sha256sum Quillaro-*.exe >SHA256SUMS)
cat dist/SHA256SUMS
exit "$status"
