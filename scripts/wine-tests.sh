#!/usr/bin/env bash
# Runs the Windows tests of a build folder under wine64, with one wineserver and one desktop kept
# alive for the whole run (registry keys under the hardware profile are volatile and live as long
# as the server does; the desktop: see wine_desktop_hold in wine-env.sh), then the window's
# scale tests at 120, 144 and 192 dpi, and saves screenshots of the window with a demo device
# under build/screenshots/: at 96 dpi, and with its pop-up menu at each larger scale.
# Expects a display: scripts/test.sh runs it under xvfb-run.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$build"
wine_server_start
trap wine_server_stop EXIT
wine_desktop_hold "$build/tests/wine/desktop_holder.exe"
ctest --test-dir "$build" --output-on-failure

shot=$here/../build/screenshots/quillaro.png
wine_run "$build/tests/wine/seed_demo.exe" >/dev/null
bash "$here/screenshot.sh" "$build/ui/win32/Quillaro.exe" "$shot"
echo "Screenshot of the window: $(realpath "$shot")"

# Wine reads the display scale from LogPixels when a program starts; 96 dpi is put back at the end.
set_log_pixels() {
  wine_run 'C:\windows\system32\reg.exe' add 'HKCU\Control Panel\Desktop' /v LogPixels \
    /t REG_DWORD /d "$1" /f >/dev/null
}
trap 'set_log_pixels 96; wine_server_stop' EXIT
for dpi in 120 144 192; do
  set_log_pixels "$dpi"
  QUILLARO_TEST_DPI=$dpi "$here/../tests/wine/run-in-wine.sh" "$build/tests/wine/ui_win_test.exe" \
    --gtest_color=no --gtest_brief=1 \
    --gtest_filter='Form1WindowTest.LayoutScalesWithTheScreenDpi:Form1WindowTest.PopupMenuItemsHoldTheirCaptions'
  bash "$here/screenshot.sh" "$build/ui/win32/Quillaro.exe" "${shot%.png}-${dpi}dpi.png" \
    "$build/tests/wine/open_popup.exe" "${shot%.png}-menu-${dpi}dpi.png"
done
echo "At 120, 144 and 192 dpi, with the pop-up menu: $(realpath "${shot%.png}")-*dpi.png"
