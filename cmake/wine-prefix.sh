# Sourced by every script that runs the project's programs under Wine (the test bench's
# wine-run, the demo, the benchmark, the screenshot), so each prefix is made the same way.
#
# The bench runs 64-bit programs under Wine's 64-bit loader, called directly: Debian's wine,
# wineboot, winecfg and regedit commands all go through a script that picks the 32-bit loader
# whenever it is installed, even on a kernel that cannot run it.
WINE_LOADER=/usr/lib/wine/wine64
WINE_SERVER=/usr/lib/wine/wineserver64

# The environment every program runs with: a 64-bit prefix (the bench's programs are 64-bit, so
# the HKLM keys a test writes are the ones the wizard reads), quiet logging, no Gecko or Mono
# installer, no display. Wine starts further programs with the same loader and server; Wine
# keeps WINELOADER to itself, so a test that starts a Unix shell finds the loader in
# LUMI_WINE_LOADER.
wine_environment() {
    export WINEPREFIX="$1"
    export WINEARCH=win64
    export WINELOADER="$WINE_LOADER"
    export WINESERVER="$WINE_SERVER"
    export LUMI_WINE_LOADER="$WINE_LOADER"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}

# Runs a command with a time limit in seconds (and kills it 5 s later if it ignores the stop).
limit() { local seconds=$1; shift; timeout -k 5 "$seconds" "$@"; }

# A Windows program (or one of Wine's own: wineboot, reg, winecfg) in the prefix.
wine_run() { "$WINE_LOADER" "$@"; }
# The prefix's server: -k ends it with everything in it, -w waits for it, -p keeps it running.
wine_server() { "$WINE_SERVER" "$@"; }

# Non-zero, with the reason on standard error, when this host has no 64-bit Wine.
wine_check() {
    [ -x "$WINE_LOADER" ] && [ -x "$WINE_SERVER" ] && return 0
    echo "no 64-bit Wine ($WINE_LOADER, $WINE_SERVER): Debian's wine64 package provides it" >&2
    return 1
}

# Creates the prefix named by WINEPREFIX with Wine's null graphics driver (or the one given as
# $2), so windows, dialogs and GDI work without a display. Every step has a time limit. Non-zero
# when a step failed; wineboot's own output goes to the file named by $1.
wine_create_prefix() {
    wine_check 2>>"$1" || return 1
    limit 300 "$WINE_LOADER" wineboot -i >"$1" 2>&1 || return 1
    limit 60 "$WINE_LOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics \
        /d "${2:-null}" /f >/dev/null 2>&1 || return 1
    wine_distinct_system_colours || return 1
    limit 60 "$WINE_SERVER" -w
}

# Gives the system colour ActiveBorder, the fill around a centred background picture, a value
# that no other system colour of the prefix has (Windows' classic grey): Wine's default makes it
# white like Window, Menu and InactiveBorder, so a wrong colour there could not be seen.
wine_distinct_system_colours() {
    limit 60 "$WINE_LOADER" reg add 'HKCU\Control Panel\Colors' /v ActiveBorder \
        /d '212 208 200' /f >/dev/null 2>&1
}

# A fresh prefix at WINEPREFIX and an empty work folder $1, with the prefix's server kept running
# for every step after it, so that none of them pays for starting it. Non-zero when the prefix
# cannot be made; wineboot's output is in $1/wineboot.log.
wine_fresh_prefix() {
    limit 30 "$WINE_SERVER" -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX" "$1" && mkdir -p "$1" || return 1
    wine_create_prefix "$1/wineboot.log" || return 1
    "$WINE_SERVER" -p
}

# Wine sees the Linux file system as drive Z:.
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
