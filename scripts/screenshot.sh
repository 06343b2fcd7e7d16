#!/usr/bin/env bash
# Starts a program under Wine, waits until its window "Quillaro - Brask" is shown and drawn,
# saves a PNG of that window, and ends the program. Given a pop-up helper (open_popup.exe of the
# Windows tests) and a second file, it then also opens the pop-up menu from the notification icon
# and saves a PNG of the open menu.
# Usage (inside a sourced wine-env.sh with a running wineserver and a display):
#   screenshot.sh Quillaro.exe out.png [open_popup.exe menu.png]
set -euo pipefail
exe=$1
out=$2
mkdir -p "$(dirname "$out")"
# Wine's error messages are kept for the report below.
log=$(mktemp)
WINEDEBUG=err+all "$WINE_LOADER" "$exe" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -f "$log"' EXIT
window=""
started=$SECONDS
for _ in $(seq 1 300); do
  # awk reads to the end: leaving early could end xwininfo by SIGPIPE, and this script with it.
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Quillaro - Brask"/ && !found {print $1; found = 1}')
  if [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q IsViewable; then break; fi
  window=""
  sleep 0.1
done
if [ -z "$window" ]; then
  # Everything that tells why: the start's own end, what Wine printed, the windows of that
  # name, and the Windows processes still there.
  echo "screenshot.sh: the window did not appear in $((SECONDS - started)) s" >&2
  if kill -0 "$pid" 2>/dev/null; then
    echo "  the program still runs" >&2
  else
    wait "$pid" && code=0 || code=$?
    echo "  the program ended with status $code" >&2
  fi
  sed 's/^/  wine: /' "$log" | tail -n 20 >&2
  xwininfo -root -tree 2>&1 | grep -i -e quillaro -e error | sed 's/^/  X: /' >&2 || true
  "$WINE_LOADER" winedbg --command "info proc" 2>/dev/null | sed 's/^/  process: /' >&2 || true
  exit 1
fi

# Takes pictures (import arguments before the file name) until two in a row are the same: the
# window has finished drawing.
capture() {
  local file=$1 previous="" current
  shift
  for _ in $(seq 1 50); do
    import "$@" "$file.tmp.png"
    current=$(md5sum <"$file.tmp.png")
    [ "$current" = "$previous" ] && break
    previous=$current
    sleep 0.1
  done
  mv "$file.tmp.png" "$file"
}
capture "$out" -window "$window"

if [ $# -ge 4 ]; then
  geometry=$("$WINE_LOADER" "$3" 2>/dev/null | tr -d '\r') || {
    echo "screenshot.sh: the pop-up menu did not open" >&2
    exit 1
  }
  capture "$4" -window root -crop "$geometry" +repage
fi
