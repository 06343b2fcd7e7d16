#!/usr/bin/env bash
# Starts a program under Wine, waits until its window "Quillaro - Brask" is shown and drawn,
# saves a PNG of that window, and ends the program.
# Usage (inside a sourced wine-env.sh with a running wineserver and a display):
#   screenshot.sh Quillaro.exe out.png
set -euo pipefail
exe=$1
out=$2
mkdir -p "$(dirname "$out")"
"$WINE_LOADER" "$exe" >/dev/null 2>&1 &
pid=$!
window=""
for _ in $(seq 1 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Quillaro - Brask"/ {print $1; exit}')
  if [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q IsViewable; then break; fi
  window=""
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "screenshot.sh: the window did not appear" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
fi
# Take pictures until two in a row are the same: the window has finished drawing.
previous=""
for _ in $(seq 1 50); do
  import -window "$window" "$out.tmp.png"
  current=$(md5sum <"$out.tmp.png")
  [ "$current" = "$previous" ] && break
  previous=$current
  sleep 0.1
done
mv "$out.tmp.png" "$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
