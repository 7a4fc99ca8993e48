#!/bin/bash
# Whether this host can run what ships, the i686 Setup.exe, under Wine's 32-bit loader.
#   shipped-host.sh prepare   installs what 32-bit Wine and the i686 bench need (as root), where
#                             the host's kernel runs 32-bit programs
#   shipped-host.sh check     exit 0 when the shipped file can run here; else exit 1 with the
#                             reason on standard output
# Hosts differ: some kernels refuse 32-bit programs, and Debian's 32-bit Wine with them. The
# kernel is probed with a 32-bit program of 96 bytes written here, the loader by running it; the
# machine's architecture says nothing either way. LUMI_BENCH_ONLY=1 forces the other path, the
# x86_64 bench alone, so both can be tried on one host.
set -u

WINE32_LOADER=/usr/lib/wine/wine
PACKAGES_32="wine32:i386 g++-mingw-w64-i686-posix"

# A static i386 ELF program that only calls exit(42): if the kernel runs it, it runs 32-bit
# programs.
kernel_runs_32_bit() {
    local folder
    # A temporary folder mounted noexec refuses every program; the current folder is tried then.
    for folder in "${TMPDIR:-/tmp}" "$PWD"; do
        run_probe_in "$folder"
        case $? in
            0) return 0 ;;
            126) continue ;;
            *) return 1 ;;
        esac
    done
    return 1
}

# 0 when the probe ran and exited 42, 126 when the folder would run no program, else 1.
run_probe_in() {
    local probe status
    probe=$(mktemp -p "$1" lumi-probe32.XXXXXX 2>/dev/null) || return 126
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$probe"
    printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >>"$probe"
    printf '\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000' >>"$probe"
    printf '\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >>"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    status=$?
    rm -f "$probe"
    [ "$status" -eq 42 ] && return 0
    [ "$status" -eq 126 ] && return 126
    return 1
}

# The reason the shipped file cannot run here, or nothing.
reason() {
    if [ "${LUMI_BENCH_ONLY:-0}" = 1 ]; then
        echo "LUMI_BENCH_ONLY=1 asks for the x86_64 bench alone"
    elif ! kernel_runs_32_bit; then
        echo "this host's kernel refuses 32-bit programs, so Wine's 32-bit loader cannot run"
    elif [ ! -x "$WINE32_LOADER" ]; then
        echo "Wine's 32-bit loader $WINE32_LOADER is missing (make deps installs wine32:i386)"
    elif ! "$WINE32_LOADER" --version >/dev/null 2>&1; then
        echo "Wine's 32-bit loader $WINE32_LOADER does not run on this host"
    fi
}

case "${1:-}" in
    prepare)
        [ "${LUMI_BENCH_ONLY:-0}" = 1 ] && exit 0
        kernel_runs_32_bit || exit 0
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            if [ "$(id -u)" != 0 ]; then
                echo "shipped-host: this host runs 32-bit programs, but only root can add the i386" \
                     "architecture for Wine's 32-bit loader (or set LUMI_BENCH_ONLY=1)" >&2
                exit 1
            fi
            echo "shipped-host: adding the i386 architecture for Wine's 32-bit loader"
            dpkg --add-architecture i386 || exit 1
            apt-get update -qq || exit 1
        fi
        exec "$(dirname "$0")/install-deps.sh" $PACKAGES_32
        ;;
    check)
        why=$(reason)
        [ -z "$why" ] && exit 0
        echo "$why"
        exit 1
        ;;
    *)
        echo "usage: $0 prepare|check" >&2
        exit 2
        ;;
esac
