# shellcheck shell=bash
# Wine environment for running the Windows build under wine64.
#
# Usage (source it, do not execute it):
#     source scripts/wine-env.sh BUILD          # BUILD: a build folder, or a program in one
#
# One rule finds the build folder, the same for every script: the nearest folder at or above
# BUILD that holds a CMakeCache.txt (with the presets, build/<preset>); where there is none,
# BUILD itself (created if missing), or the folder of the program BUILD names.
#
# After sourcing:
#   WINEPREFIX        <build>/wineprefix (private; never ~/.wine)
#   WINEARCH (default win64), WINEDEBUG (default -all), WINEDLLOVERRIDES (no mono/gecko,
#   no winemenubuilder), WINE_BUILD_DIR (absolute build folder)
#   WINE_LOADER       the wine64 loader to run .exe files with
#   WINE_SERVER_BIN   the wineserver that matches WINE_LOADER
#   wine_run EXE ARGS...   run a program with WINE_LOADER
#   wine_server_running    true if a wineserver serves this WINEPREFIX
#   wine_server_start      start a persistent wineserver (no-op if one runs)
#   wine_server_stop       kill the wineserver of this prefix and wait for it
#   wine_desktop_hold EXE  keep the desktop open until the server stops (a test session's)
#   wine_prefix_setup      create/prepare the prefix (done automatically)
#
# The prefix is created once (wineboot -i works without a DISPLAY, ~6 s);
# later sourcing only checks a marker file and is instant.
# Set WINE_ENV_NO_SETUP=1 to skip the automatic setup.

# Prints the build folder that PATH belongs to (see above).
wine_build_dir() {
    local start dir
    if [ -f "$1" ]; then
        start=$(dirname "$1")
    else
        mkdir -p "$1" || return 1
        start=$1
    fi
    start=$(cd "$start" && pwd -P) || return 1
    dir=$start
    while [ "$dir" != / ]; do
        if [ -f "$dir/CMakeCache.txt" ]; then
            echo "$dir"
            return 0
        fi
        dir=$(dirname "$dir")
    done
    echo "$start"
}

if [ -z "${1:-}" ]; then
    echo "wine-env.sh: give the build folder: source scripts/wine-env.sh BUILD" >&2
    return 1 2>/dev/null || exit 1
fi
WINE_BUILD_DIR=$(wine_build_dir "$1") || return 1 2>/dev/null || exit 1
export WINE_BUILD_DIR

export WINEPREFIX="$WINE_BUILD_DIR/wineprefix"
# A caller running the 32-bit Wine alone (the i386 guest) sets WINEARCH=win32 and WINE_LOADER.
export WINEARCH="${WINEARCH:-win64}"
export WINEDEBUG="${WINEDEBUG_OVERRIDE:--all}"
# mscoree/mshtml empty = disabled: no wine-mono / wine-gecko install dialogs.
# winemenubuilder disabled: no .desktop files / menu entries in $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# --- loader / server selection -------------------------------------------
if [ -z "${WINE_LOADER:-}" ]; then
    if command -v wine64 >/dev/null 2>&1; then
        WINE_LOADER="$(command -v wine64)"
    elif [ -x /usr/lib/wine/wine64 ]; then
        WINE_LOADER=/usr/lib/wine/wine64
    elif command -v wine >/dev/null 2>&1; then
        WINE_LOADER="$(command -v wine)"
    else
        echo "wine-env.sh: no wine64 / wine found" >&2
        return 1 2>/dev/null || exit 1
    fi
fi
export WINE_LOADER

# The server must be the same Wine version as the loader: look beside it first.
if [ -z "${WINE_SERVER_BIN:-}" ]; then
    _wine_env_dir="$(dirname "$(readlink -f "$WINE_LOADER")")"
    if [ -x "$_wine_env_dir/wineserver64" ]; then
        WINE_SERVER_BIN="$_wine_env_dir/wineserver64"
    elif [ -x "$_wine_env_dir/wineserver" ]; then
        WINE_SERVER_BIN="$_wine_env_dir/wineserver"
    else
        WINE_SERVER_BIN="$(command -v wineserver || echo wineserver)"
    fi
    unset _wine_env_dir
fi
export WINE_SERVER_BIN

wine_run() {
    "$WINE_LOADER" "$@"
}

# --- wineserver control ---------------------------------------------------
# A wineserver runs with its cwd in <tmp>/<dir>/server-DEV-INODE, where DEV and
# INODE are those of $WINEPREFIX in hex (Debian's Wine 8 uses /tmp/wine-XXXXXX/,
# named in $WINEPREFIX/wineserver; upstream uses /tmp/.wine-UID/).  Match on
# that last name, so that servers of other prefixes are never touched.
_wine_env_server_name() {
    local dev ino
    dev=$(stat -c %d "$WINEPREFIX" 2>/dev/null) || return 1
    ino=$(stat -c %i "$WINEPREFIX" 2>/dev/null) || return 1
    printf 'server-%x-%x' "$dev" "$ino"
}

# Prints the pid(s) of the wineserver serving $WINEPREFIX.
wine_server_pids() {
    local name pid cwd
    name=$(_wine_env_server_name) || return 1
    for pid in $(pgrep '^wineserver' 2>/dev/null); do
        cwd=$(readlink "/proc/$pid/cwd" 2>/dev/null) || continue
        if [ "${cwd##*/}" = "$name" ]; then
            echo "$pid"
        fi
    done
}

wine_server_running() {
    [ -n "$(wine_server_pids)" ]
}

wine_server_start() {
    wine_server_running && return 0
    # wineserver daemonizes itself once its socket is ready.
    "$WINE_SERVER_BIN" -p
}

# Starts PROGRAM (desktop_holder.exe of a Windows test build) and waits until it is on the
# desktop, where it stays until the server stops: Wine closes a desktop one second after the last
# program on it ends, and the next program, starting a new explorer, may give up waiting for it
# and get no window on a slow machine. A test session runs its programs one after another, so it
# holds the desktop for their whole sequence.
wine_desktop_hold() {
    local ready i pid
    ready=$(mktemp)
    "$WINE_LOADER" "$1" </dev/null >"$ready" 2>/dev/null &
    pid=$!
    for i in $(seq 1 1200); do         # up to 2 min: the emulated machine is that slow under load
        if [ -s "$ready" ]; then
            rm -f "$ready"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$ready"
    echo "wine-env.sh: $1 did not reach the desktop" >&2
    return 1
}

wine_server_stop() {
    local i pids
    pids=$(wine_server_pids)
    [ -z "$pids" ] && return 0
    "$WINE_SERVER_BIN" -k >/dev/null 2>&1 || true
    for i in $(seq 1 100); do          # up to 10 s
        wine_server_running || return 0
        sleep 0.1
    done
    echo "wine-env.sh: wineserver did not exit, sending SIGKILL" >&2
    # shellcheck disable=SC2086
    kill -9 $pids 2>/dev/null || true
    sleep 0.2
    ! wine_server_running
}

# --- prefix setup ---------------------------------------------------------
_WINE_ENV_MARK=".wine-env-ready-2"

wine_prefix_setup() {
    [ -f "$WINEPREFIX/$_WINE_ENV_MARK" ] && return 0
    (
        # Serialise parallel callers (ctest -j) on one prefix.
        exec 9>"$WINE_BUILD_DIR/.wineprefix.lock"
        flock 9
        # Neutral cwd: wine looks for "reg"/"wineboot" in the cwd first.
        cd / || exit 1
        [ -f "$WINEPREFIX/$_WINE_ENV_MARK" ] && exit 0
        had_server=0
        wine_server_running && had_server=1
        echo "wine-env.sh: preparing $WINEPREFIX ..." >&2
        # wineboot does not need a DISPLAY; run it without one so that no
        # explorer.exe gets tied to a display that later goes away.
        env -u DISPLAY -u WAYLAND_DISPLAY "$WINE_LOADER" wineboot.exe -i >/dev/null 2>&1 || {
            echo "wine-env.sh: wineboot -i failed" >&2; exit 1; }
        # No window manager in Xvfb: unmanaged windows avoid Wine's ~2 s wait
        # on every ShowWindow(SW_HIDE).
        env -u DISPLAY -u WAYLAND_DISPLAY "$WINE_LOADER" 'C:\windows\system32\reg.exe' add \
            'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >/dev/null 2>&1 || { echo "wine-env.sh: reg add failed" >&2; exit 1; }
        # Wine draws the caption buttons of unmanaged windows with Marlett; Debian keeps the
        # font outside the prefix, where this Wine does not look for it.
        if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
            cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
        if [ "$had_server" = 0 ]; then
            # Let the (non-persistent) server write the registry files and exit.
            "$WINE_SERVER_BIN" -w
        fi
        touch "$WINEPREFIX/$_WINE_ENV_MARK"
    )
}

if [ -z "${WINE_ENV_NO_SETUP:-}" ]; then
    wine_prefix_setup || return 1 2>/dev/null || exit 1
fi
