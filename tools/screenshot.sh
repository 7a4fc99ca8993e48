#!/bin/sh
# Shows the wizard in a real X server and saves a picture of the screen, so a person can look at
# the background and the buttons over it: screenshot.sh BUILD_DIR PICTURE
#
# Runs BUILD_DIR/medium/Setup.exe (the bench's x86_64 build, under Wine's 64-bit loader) under
# Xvfb in a Wine prefix of its own that draws through X11 (the tests' prefix has no display
# driver), waits for the window "Lumitactile Driver Installation ", saves PICTURE (a PNG) and
# closes the program again.
set -eu

TITLE='Lumitactile Driver Installation '
BUILD_DIR=$(cd "${1:-build/x86_64}" && pwd)
PICTURE=$(realpath -m "${2:-$BUILD_DIR/screenshot.png}")
. "$(dirname "$0")/../cmake/wine-prefix.sh"

if [ -z "${SCREENSHOT_IN_XVFB:-}" ]; then
    wine_check
    for tool in xvfb-run xwd; do
        command -v "$tool" >/dev/null 2>&1 || {
            echo "screenshot: $tool is missing (make deps installs it)" >&2
            exit 1
        }
    done
    SCREENSHOT_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

SETUP="$BUILD_DIR/medium/Setup.exe"
if [ ! -f "$SETUP" ]; then
    echo "screenshot: no $SETUP (build it first)" >&2
    exit 1
fi

# ImageMagick's own convert, where a stand-in of the same name comes first in the PATH.
CONVERT=convert
[ -x /usr/bin/convert ] && CONVERT=/usr/bin/convert

DISPLAY_KEPT=$DISPLAY
wine_environment "$BUILD_DIR/screenshot-wineprefix"
export DISPLAY="$DISPLAY_KEPT"

if [ ! -f "$WINEPREFIX/.screenshot-ready" ]; then
    echo "screenshot: creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wine_create_prefix "$BUILD_DIR/screenshot-wineboot.log" x11
    # Xvfb has no window manager: Wine draws the title bar and frame itself.
    wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wine_server -w
    touch "$WINEPREFIX/.screenshot-ready"
fi

RAW=$(mktemp --suffix=.xwd)
cleanup() {
    wine_server -k >/dev/null 2>&1 || true
    rm -f "$RAW"
}
trap cleanup EXIT

# The medium's prompts are found relative to the current folder, as when started from it.
cd "$(dirname "$SETUP")"
wine_run "$SETUP" >/dev/null 2>&1 &

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
"$CONVERT" "xwd:$RAW" "png:$PICTURE"
echo "screenshot: saved $PICTURE"
