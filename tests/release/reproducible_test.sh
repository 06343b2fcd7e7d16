#!/usr/bin/env bash
# Builds the release a second time, from a copy of the sources in another folder and with
# another build date, and checks that every file comes out byte for byte the same as in dist/:
# neither the date of the build nor the paths of the sources and build folders may reach the
# executables.
# Usage: reproducible_test.sh   (after scripts/release.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -f "$root/dist/SHA256SUMS" ] || { echo "FAIL: run scripts/release.sh first" >&2; exit 1; }
copy=$root/build/reproduce/elsewhere/quillaro
rm -rf "$root/build/reproduce"
mkdir -p "$copy"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -

# Another build date as well: a date that reached the files (the link time in the header, say)
# would show as a difference.
first_date=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)
SOURCE_DATE_EPOCH=$((first_date + 86400)) \
  bash "$copy/scripts/release.sh" >"$root/build/reproduce/release.log" 2>&1 || {
  tail -n 30 "$root/build/reproduce/release.log" >&2
  echo "FAIL: the second release build failed" >&2
  exit 1
}
if ! diff "$root/dist/SHA256SUMS" "$copy/dist/SHA256SUMS"; then
  echo "FAIL: the second build differs (above: first, then second)" >&2
  exit 1
fi
echo "reproducible_test: the second build, from $copy, is byte-identical:"
cat "$copy/dist/SHA256SUMS"
