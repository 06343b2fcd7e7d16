#!/usr/bin/env bash
# Builds Quillaro and runs it under wine64 in a private Wine prefix under build/, seeded with a
# demo PCI sound device. With a display the window opens there and this ends when the program
# does; without one the window is shown under Xvfb, a screenshot is saved and this ends by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/win64

if [ "${1:-}" != "--inside" ]; then
  bash scripts/deps.sh
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target Quillaro seed_demo
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec bash "$0" --inside interactive
  fi
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside headless
fi

source scripts/wine-env.sh "$build"
wine_server_start
trap wine_server_stop EXIT
wine_run "$build/tests/wine/seed_demo.exe" >/dev/null

if [ "$2" = interactive ]; then
  wine_run "$build/ui/win32/Quillaro.exe"
  exit 0
fi

shot=$root/build/screenshots/quillaro.png
bash scripts/screenshot.sh "$build/ui/win32/Quillaro.exe" "$shot"
echo "Screenshot: $shot"
echo "The demo device's registry values:"
key='HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current\System\CurrentControlSet\Enum\PCI\VEN_1274&DEV_5880&SUBSYS_80011274&REV_02\3&61aaa01&0&28\DirectSound'
wine_run reg query "$key\\Mixer Defaults" 2>/dev/null | tr -d '\r' | grep -v '^$'
wine_run reg query "$key\\Device Presence" 2>/dev/null | tr -d '\r' | grep -v '^$'
