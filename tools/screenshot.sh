#!/bin/sh
# Shows the wizard in a real X server and saves a picture of the screen, so a person can look at
# the background and the buttons over it: screenshot.sh BUILD_DIR
#
# Runs BUILD_DIR/medium/Setup.exe (or BUILD_DIR/Setup.exe while there is no medium) under Xvfb in
# a Wine prefix of its own that draws through X11 (the tests' prefix has no display driver),
# waits for the window "Lumitactile Driver Installation ", saves BUILD_DIR/screenshot.png and
# closes the program again.
set -eu

TITLE='Lumitactile Driver Installation '
BUILD_DIR=$(cd "${1:-build}" && pwd)

if [ -z "${SCREENSHOT_IN_XVFB:-}" ]; then
    for tool in xvfb-run xwd wine; do
        command -v "$tool" >/dev/null 2>&1 || {
            echo "screenshot: $tool is missing (make deps installs it)" >&2
            exit 1
        }
    done
    SCREENSHOT_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

if [ -f "$BUILD_DIR/medium/Setup.exe" ]; then
    SETUP="$BUILD_DIR/medium/Setup.exe"
elif [ -f "$BUILD_DIR/Setup.exe" ]; then
    SETUP="$BUILD_DIR/Setup.exe"
else
    echo "screenshot: no Setup.exe in $BUILD_DIR (build it first)" >&2
    exit 1
fi

# ImageMagick's own convert, where a stand-in of the same name comes first in the PATH.
CONVERT=convert
[ -x /usr/bin/convert ] && CONVERT=/usr/bin/convert

export WINEPREFIX="$BUILD_DIR/screenshot-wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/.screenshot-ready" ]; then
    echo "screenshot: creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
    # Xvfb has no window manager: Wine draws the title bar and frame itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.screenshot-ready"
fi

RAW=$(mktemp --suffix=.xwd)
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -f "$RAW"
}
trap cleanup EXIT

# The medium's prompts are found relative to the current folder, as when started from it.
cd "$(dirname "$SETUP")"
wine "$SETUP" >/dev/null 2>&1 &

found=""
for _ in $(seq 1 120); do
    if xwd -name "$TITLE" -silent >/dev/null 2>&1; then
        found=yes
        break
    fi
    sleep 0.5
done
if [ -z "$found" ]; then
    echo "screenshot: the window \"$TITLE\" did not appear" >&2
    exit 1
fi
sleep 2  # let the first paint finish

xwd -root -silent >"$RAW"
"$CONVERT" "xwd:$RAW" "png:$BUILD_DIR/screenshot.png"
echo "screenshot: saved $BUILD_DIR/screenshot.png"
