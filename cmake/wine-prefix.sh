# Sourced by every script that runs the project's programs under Wine (the test trees' wine-run,
# the shipped entries' shipped-run, the demo, the benchmark, the screenshot), so each prefix is
# made the same way.
#
# Two loaders, both called directly: Debian's wine, wineboot, winecfg and regedit commands all go
# through a script that picks the 32-bit loader whenever it is installed, even on a kernel that
# cannot run it.
#   64-bit programs (the x86_64 bench) run under the 64-bit loader in 64-bit prefixes.
#   32-bit programs (the shipped Setup.exe and the i686 tools that drive it) run under the 32-bit
#   loader, in 32-bit prefixes (32-bit Windows: Wine reports Windows 98 as well as XP, 7 and 10
#   to them) or in 64-bit prefixes made after wine32 was installed (64-bit Windows: the 32-bit
#   registry view and "C:\Program Files (x86)").
# One server, the 64-bit one, serves prefixes of both kinds.
WINE64_LOADER=/usr/lib/wine/wine64
WINE32_LOADER=/usr/lib/wine/wine
WINE_SERVER=/usr/lib/wine/wineserver64
WINE_LOADER=$WINE64_LOADER
WINE_BOOT_LOADER=$WINE64_LOADER

# The environment every program runs with: the prefix $1, the programs' bitness $2 (64, the
# default, or 32) and the prefix's kind $3 (win64, the default for 64-bit programs, or win32, the
# default for 32-bit ones); quiet logging, no Gecko or Mono installer, no display. The programs and
# their prefix have matching views, so the HKLM keys a test writes are the ones the wizard reads.
# Wine starts further programs with the same loader and server; Wine keeps WINELOADER to itself,
# so a test that starts a Unix shell finds the loader in LUMI_WINE_LOADER.
wine_environment() {
    local bits=${2:-64}
    local kind=${3:-}
    if [ "$bits" = 32 ]; then
        WINE_LOADER=$WINE32_LOADER
        kind=${kind:-win32}
    else
        WINE_LOADER=$WINE64_LOADER
        kind=${kind:-win64}
    fi
    # A 64-bit prefix is made by the 64-bit loader, so its 32-bit half is made with it.
    if [ "$kind" = win64 ]; then WINE_BOOT_LOADER=$WINE64_LOADER; else WINE_BOOT_LOADER=$WINE32_LOADER; fi
    export WINEPREFIX="$1"
    export WINEARCH="$kind"
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

# Non-zero, with the reason on standard error, when this host lacks the loaders the environment
# needs.
wine_check() {
    if [ ! -x "$WINE_SERVER" ] || [ ! -x "$WINE64_LOADER" ]; then
        echo "no 64-bit Wine ($WINE64_LOADER, $WINE_SERVER): Debian's wine64 package provides it" >&2
        return 1
    fi
    if [ "$WINE_LOADER" = "$WINE32_LOADER" ] && [ ! -x "$WINE32_LOADER" ]; then
        echo "no 32-bit Wine ($WINE32_LOADER): Debian's wine32:i386 package provides it" >&2
        return 1
    fi
    return 0
}

# Creates the prefix named by WINEPREFIX with Wine's null graphics driver (or the one given as
# $2), so windows, dialogs and GDI work without a display. A 64-bit prefix for 32-bit programs
# reports Windows 10: 64-bit Windows as most PCs run it today. Every step has a time limit.
# Non-zero when a step failed; wineboot's own output goes to the file named by $1.
wine_create_prefix() {
    wine_check 2>>"$1" || return 1
    limit 300 "$WINE_BOOT_LOADER" wineboot -i >"$1" 2>&1 || return 1
    limit 60 "$WINE_BOOT_LOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics \
        /d "${2:-null}" /f >/dev/null 2>&1 || return 1
    wine_distinct_system_colours || return 1
    if [ "$WINEARCH" = win64 ] && [ "$WINE_LOADER" = "$WINE32_LOADER" ]; then
        wine_default_windows win10 || return 1
    fi
    limit 60 "$WINE_SERVER" -w
}

# The Windows version the prefix reports to every program that has no setting of its own (a name
# winecfg knows: win10, win7, ...). Wine's own default is Windows 7.
wine_default_windows() {
    limit 60 "$WINE_BOOT_LOADER" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f \
        >/dev/null 2>&1
}

# Gives the system colour ActiveBorder, the fill around a centred background picture, a value
# that no other system colour of the prefix has (Windows' classic grey): Wine's default makes it
# white like Window, Menu and InactiveBorder, so a wrong colour there could not be seen.
wine_distinct_system_colours() {
    limit 60 "$WINE_BOOT_LOADER" reg add 'HKCU\Control Panel\Colors' /v ActiveBorder \
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
