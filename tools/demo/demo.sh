#!/bin/bash
# make demo: runs the wizard on a simulated PC and shows what it did.
#   tools/demo/demo.sh <build folder> <scenario file>
# The build folder holds the three trees (make build). Where this host runs 32-bit programs, the
# demo runs what ships, <build folder>/i686/medium/Setup.exe, under Wine's 32-bit loader with the
# i686 bench's simpc (<build folder>/i686-bench): in a 32-bit prefix, or in a 64-bit one (64-bit
# Windows 10) for a scenario of 64-bit Windows. Elsewhere, or with LUMI_BENCH_ONLY=1, it runs the
# x86_64 bench's own medium and simpc under the 64-bit loader, and says why. Every run gets a
# fresh Wine prefix of its own, demo-prefix in the tree whose simpc runs, seeded from the
# scenario; nothing else is touched. LUMI_DEMO_PACKAGE_MS sets how long the stand-in driver
# package stays open.
set -u

started=$(date +%s%N)
die() { echo "demo: $*" >&2; exit 1; }
[ $# -eq 2 ] || die "usage: $0 <build folder> <scenario file>"
[ -d "$1" ] || die "no build folder $1 (run make build first)"
[ -f "$2" ] || die "no scenario file $2 (the shipped ones are in scenarios/)"

source_dir=$(realpath "$(dirname "$0")/../..")
scenario_file=$(realpath "$2")
package_ms=${LUMI_DEMO_PACKAGE_MS:-3000}
# The scenario's Windows is 64-bit when its windows line says so.
windows64=no
grep -Eq '^[[:space:]]*windows[[:space:]]+[^[:space:]]+[[:space:]]+64-bit[[:space:]]*$' \
    "$scenario_file" && windows64=yes

. "$source_dir/cmake/wine-prefix.sh"
if why=$("$source_dir/tools/shipped-host.sh" check); then
    tree=$(realpath "$1/i686-bench")
    medium=$(realpath "$1/i686/medium")
    if [ "$windows64" = yes ]; then
        wine_environment "$tree/demo-prefix" 32 win64
        kind="in a 64-bit prefix (64-bit Windows 10; Setup.exe runs under WOW64)"
    else
        wine_environment "$tree/demo-prefix" 32 win32
        kind="in a 32-bit prefix (32-bit Windows)"
    fi
    echo "Setup.exe: $1/i686/medium/Setup.exe, what ships, under Wine's 32-bit loader $kind."
else
    tree=$(realpath "$1/x86_64")
    medium=$tree/medium
    wine_environment "$tree/demo-prefix"
    echo "Setup.exe: $1/x86_64/medium/Setup.exe, the x86_64 bench build, under Wine's 64-bit loader:"
    echo "the shipped $1/i686/medium/Setup.exe cannot run here, because $why."
fi
prefix=$WINEPREFIX
work=$tree/demo
simpc_exe=$tree/tools/demo/simpc.exe
[ -f "$simpc_exe" ] || die "no $simpc_exe (run make build first)"
[ -f "$medium/Setup.exe" ] || die "no assembled medium in $medium (run make build first)"
scenario=$(winpath "$scenario_file")

# Every wait has a time limit (limit, from wine-prefix.sh).
ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
step() { printf '  %s\n' "$*"; }

# The prefix's own server, with whatever is still running in it.
trap 'wine_server -k >/dev/null 2>&1' EXIT

echo "Lumitactile driver installation wizard: demo on a simulated PC"
wine_check || die "cannot run the demo"
echo "Scenario ${2}:"
# Its leading comment lines describe it.
sed -n '/^[[:space:]]*[^#[:space:]]/q; s/^#[[:space:]]\{0,1\}/    /p' "$scenario_file"
echo

# A fresh machine for every run.
step "creating a fresh Wine prefix in $prefix (about 15 s)"
wine_fresh_prefix "$work" || die "cannot create the Wine prefix; see $work/wineboot.log"

# One simpc seeds the machine, takes a snapshot, holds the scenario's files open, runs Setup.exe
# and presses "Install", lets the files go, takes a second snapshot and reports, telling each
# step. The wizard is read from outside: the UI driver polls its window, and Wine's traces of the
# edit control and of the sound functions give each text and prompt its moment. Wine writes them
# to the Linux standard error that Setup.exe takes over from simpc, so simpc's goes to the trace
# file, which simpc reads when Setup.exe has ended; simpc's own complaints land there too.
run_started=$(date +%s%N)
limit 300 "$WINE_LOADER" "$simpc_exe" "$scenario" "$(winpath "$medium")" "$(winpath "$work")" \
    "$(winpath "$work/trace.log")" --env "LUMI_STANDIN_PACKAGE_MS=$package_ms" --timeout 120 \
    2>"$work/trace.log"
status=$?
run_ms=$(ms_since "$run_started")
# 2 and above: the machine could not be set up for the run, or simpc did not end.
if [ "$status" -ge 2 ]; then
    complaint=$(grep '^simpc: ' "$work/trace.log" | tail -n 1)
    die "${complaint:-simpc ended with status $status; see $work/trace.log}"
fi
echo
printf 'Wall time: %.1f s for the run, %.1f s for the whole demo (fresh prefix included).\n' \
    "$(echo "$run_ms" | awk '{print $1 / 1000}')" "$(ms_since "$started" | awk '{print $1 / 1000}')"
echo "The UI driver's events are in $work/run.log, Wine's traces in $work/trace.log."

if [ "$status" -ne 0 ]; then
    echo "demo: the wizard did not run to its end (see above)." >&2
    exit 1
fi
exit 0
