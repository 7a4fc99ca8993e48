# Sourced by every script that runs the project's programs under Wine (the test bench's
# wine-run, the demo, the benchmark), so each prefix is made the same way.

# The environment every program runs with: a 32-bit prefix (the product is 32-bit and must see
# HKLM keys without WOW64 redirection), quiet logging, no Gecko or Mono installer, no display.
wine_environment() {
    export WINEPREFIX="$1"
    export WINEARCH=win32
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}

# Creates the prefix named by WINEPREFIX with Wine's null graphics driver, so windows, dialogs
# and GDI work without a display. Every step has a time limit. Non-zero when a step failed;
# wineboot's own output goes to the file named by $1.
wine_create_prefix() {
    timeout -k 5 300 wineboot -i >"$1" 2>&1 || return 1
    timeout -k 5 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
        >/dev/null 2>&1 || return 1
    timeout -k 5 60 wineserver -w
}

# Wine sees the Linux file system as drive Z:.
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
