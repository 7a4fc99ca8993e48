#!/bin/bash
# make bench: measures what the wizard costs, side by side in one run, and prints one table,
# also written to the table file.
#   tools/bench/bench.sh <bench build folder> <shipped build folder> <table file>
# The times and the memory are those of the bench's x86_64 build (its medium and the
# benchmark's programs), run under Wine's 64-bit loader; the size and the imports are those of
# the shipped i686 Setup.exe. The benchmark gets a fresh Wine prefix of its own,
# <bench build folder>/bench-prefix, and works in <bench build folder>/bench; nothing else is
# touched. Every wait has a time limit.
# BENCH_STARTUP_RUNS and BENCH_PATCH_RUNS change the number of runs (defaults 11 and 5).
set -u

die() { echo "bench: $*" >&2; exit 1; }
[ $# -eq 3 ] || die "usage: $0 <bench build folder> <shipped build folder> <table file>"
[ -d "$1" ] || die "no build folder $1 (run make build first)"
[ -d "$2" ] || die "no build folder $2 (run make build first)"

build=$(realpath "$1")
prefix=$build/bench-prefix
work=$build/bench
table=$(realpath -m "$3")
driver=$build/tools/bench/benchdriver.exe
bare=$build/tools/bench/bare_dialog.exe
setup=$build/medium/Setup.exe
shipped=$(realpath "$2")/medium/Setup.exe
startup_runs=${BENCH_STARTUP_RUNS:-11}
patch_runs=${BENCH_PATCH_RUNS:-5}
# The machines of the patch phase: JAWS versions and settings folders per version.
machines=("1 1" "10 10" "50 40")
package_ms=10000
wizard_caption='Lumitactile Driver Installation '
bare_caption='Bare Dialog Start-up Floor'
objdump=i686-w64-mingw32-objdump

for file in "$driver" "$bare" "$setup" "$shipped"; do
    [ -f "$file" ] || die "no $file (run make build first)"
done
command -v "$objdump" >/dev/null || die "no $objdump (make deps installs it)"

. "$(dirname "$0")/../../cmake/wine-prefix.sh"
wine_environment "$prefix"

step() { printf '  %s\n' "$*" >&2; }
# Runs the driver; its figures go to the log named, its complaints to the log's .err.
measure() {
    local seconds=$1 log=$2; shift 2
    limit "$seconds" "$WINE_LOADER" "$driver" "$@" >"$log" 2>"$log.err" ||
        die "$1 failed or passed its limit of $seconds s: $(tail -n 5 "$log.err")"
}
# The value of a "name [index] value" line of a log.
figure() { awk -v name="$2" -v index_="${3:-}" \
    '$1 == name && (index_ == "" || $2 == index_) { print $NF; exit }' "$1"; }

trap 'limit 30 "$WINE_SERVER" -k >/dev/null 2>&1' EXIT

echo "Lumitactile driver installation wizard: benchmark" >&2
echo "Times and memory: the x86_64 bench build under Wine's 64-bit loader (this host may refuse" >&2
echo "32-bit programs). Size and imports: the shipped i686 Setup.exe." >&2
wine_check || die "cannot run the bench"
step "creating a fresh Wine prefix in $prefix (about 15 s)"
wine_fresh_prefix "$work" || die "cannot create the Wine prefix; see $work/wineboot.log"

# Prompts silent: a copy of the medium without its sound folder (sndPlaySound then finds no
# file). Setup.exe runs from the copy's root, which is also its current folder.
step "copying the medium without its sound folder to $work/medium"
cp -r "$build/medium" "$work/medium" || die "cannot copy the medium"
find "$work/medium" -maxdepth 1 -iname sound -exec rm -rf {} +
silent_setup=$work/medium/Setup.exe
# The patch phase runs on the NT family (a 64-bit prefix emulates no Windows 98), from a second
# copy without the driver package, so no package runs or is waited for there either.
cp -r "$work/medium" "$work/medium-no-package" || die "cannot copy the medium"
find "$work/medium-no-package" -ipath '*/driver/xp/lumitactile.exe' -delete
patch_setup=$work/medium-no-package/Setup.exe

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
step "start-up: Setup.exe and the bare dialog, $startup_runs runs each, taking turns"
measure 900 "$work/startup.log" startup --runs "$startup_runs" --timeout 60 \
    --program "$(winpath "$silent_setup")" "$wizard_caption" \
    --program "$(winpath "$bare")" "$bare_caption"

step "waiting for the package: Windows XP, the stand-in package open for $((package_ms / 1000)) s"
measure 180 "$work/wait.log" wait --exe "$(winpath "$silent_setup")" --windows winxp \
    --package-ms "$package_ms" --timeout 120

step "idle: Setup.exe and the bare dialog showing their windows for $((package_ms / 1000)) s"
measure 120 "$work/idle-setup.log" idle --program "$(winpath "$silent_setup")" "$wizard_caption" \
    --idle-ms "$package_ms" --timeout 60
measure 120 "$work/idle-bare.log" idle --program "$(winpath "$bare")" "$bare_caption" \
    --idle-ms "$package_ms" --timeout 60

for machine in "${machines[@]}"; do
    read -r versions folders <<<"$machine"
    name=${versions}x${folders}
    step "patch phase: Windows XP, no package, $versions JAWS version(s) x $folders settings folder(s), $patch_runs runs"
    measure 3600 "$work/patch-$name.log" patch --exe "$(winpath "$patch_setup")" \
        --versions "$versions" --folders "$folders" --windows winxp --runs "$patch_runs" \
        --timeout 900 --save "$(winpath "$work/machine-$name.scenario")"
done

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- The table ----------------------------------------------------------------------------------
kib() { awk -v b="$1" 'BEGIN { printf "%.0f KiB", b / 1024 }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
# (b - a) / (kb - ka) with two decimals.
slope() { awk -v a="$1" -v b="$2" -v ka="$3" -v kb="$4" 'BEGIN { printf "%.2f", (b - a) / (kb - ka) }'; }

setup_start=$(figure "$work/startup.log" startup-median 0)
bare_start=$(figure "$work/startup.log" startup-median 1)
ratio=$(awk -v a="$setup_start" -v b="$bare_start" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }')
setup_start_ws=$(figure "$work/startup.log" startup-peak-working-set 0)
bare_start_ws=$(figure "$work/startup.log" startup-peak-working-set 1)

wait_cpu=$(figure "$work/wait.log" wait-cpu-ms)
wait_open=$(figure "$work/wait.log" wait-open-ms)
setup_idle_cpu=$(figure "$work/idle-setup.log" idle-cpu-ms)
bare_idle_cpu=$(figure "$work/idle-bare.log" idle-cpu-ms)

setup_bytes=$(stat -c %s "$shipped")
bench_setup_bytes=$(stat -c %s "$setup")
imports=$("$objdump" -p "$shipped" | awk '/DLL Name:/ { print $3 }' | paste -sd, - | sed 's/,/, /g')
[ -n "$imports" ] || die "cannot read the import table of $shipped"

largest=${machines[${#machines[@]}-1]}
read -r lv lf <<<"$largest"
largest_peak=$(figure "$work/patch-${lv}x${lf}.log" patch-peak-working-set)

machine_line="Machine: $(nproc) CPU(s), $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), \
$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory, $(wine_run --version) (64-bit loader); \
load average $load_before before and $load_after after the measurements (other work on the machine \
shows in the times); $(date -u '+%Y-%m-%d %H:%M UTC')."

{
    echo "# Lumitactile Setup.exe benchmark"
    echo
    echo "Times and memory are those of the x86_64 bench build (build/x86_64), run under Wine's 64-bit loader in a 64-bit prefix: the host may refuse 32-bit programs, so the shipped i686 Setup.exe is not run here. Size and imports are those of the shipped i686 Setup.exe (build/i686/medium/Setup.exe)."
    echo
    echo "$machine_line"
    echo
    echo "| Figure | Result | What exactly is measured |"
    echo "|---|---|---|"
    echo "| Start-up, Setup.exe | ${setup_start} ms | Median of $startup_runs runs: from CreateProcess returning (in the UI driver) to the first 10 ms poll that finds the program's visible top-level window \"Lumitactile Driver Installation \". Started from the medium's root with it as current folder, closed with WM_CLOSE after each run; one unrecorded warm-up round first; the two programs take turns. |"
    echo "| Start-up, bare dialog (floor) | ${bare_start} ms | The same, for a dialog program with only a caption, built and linked like Setup.exe (tools/bench/BareDialog). |"
    echo "| Start-up ratio | ${ratio} | Setup.exe's median over the bare dialog's. |"
    previous=""
    fit_points=""
    for machine in "${machines[@]}"; do
        read -r versions folders <<<"$machine"
        log=$work/patch-${versions}x${folders}.log
        exit_ms=$(figure "$log" patch-median-exit-ms)
        seen=$(figure "$log" patch-verdict-seen)
        verdict_ms=$(figure "$log" patch-median-verdict-ms)
        keys=$((versions * folders))
        if [ "$seen" -gt 0 ]; then
            verdict_note="the verdict text was read in $seen of $patch_runs runs, median ${verdict_ms} ms"
        else
            verdict_note="no poll caught the verdict text"
        fi
        echo "| Patch phase, $versions JAWS version(s) x $folders settings folder(s) = $keys key map(s) | ${exit_ms} ms | Median of $patch_runs runs, each on a freshly seeded machine with Window-Eyes 7.0 and Dolphin (SAM, Hal, Supernova) too; Windows XP emulated as XP x64 (the NT family before 6; a 64-bit prefix has no 32-bit XP or Windows 98), from a medium without sound\\ and without the driver package, so no package runs or is waited for. From the UI driver posting \"Install\" to Setup.exe's exit, which follows the verdict at once (the worker shows \"Please restart screen reader.\", its prompt is missing, it hides the status box and closes the dialog); $verdict_note (10 ms polls). Every run is checked to have installed every driver and patched all $keys key map(s). |"
        if [ -n "$previous" ]; then
            read -r p_keys p_exit <<<"$previous"
            echo "| Growth from $p_keys to $keys key maps | $(slope "$p_exit" "$exit_ms" "$p_keys" "$keys") ms per added version x folder | Difference of the medians over the difference of versions x folders; it includes the versions' own cost, which weighs more where there are fewer folders per version. |"
        fi
        previous="$keys $exit_ms"
        fit_points="$fit_points $versions $keys $exit_ms"
    done
    # time = fixed + perVersion * versions + perKeyMap * versions x folders, solved exactly from
    # the first three machines (Cramer's rule on the differences to the first).
    read -r v1 k1 t1 v2 k2 t2 v3 k3 t3 _ <<<"$fit_points"
    fit=$(awk -v v1="$v1" -v k1="$k1" -v t1="$t1" -v v2="$v2" -v k2="$k2" -v t2="$t2" \
              -v v3="$v3" -v k3="$k3" -v t3="$t3" 'BEGIN {
        a1 = v2 - v1; b1 = k2 - k1; c1 = t2 - t1; a2 = v3 - v1; b2 = k3 - k1; c2 = t3 - t1
        det = a1 * b2 - a2 * b1
        if (det == 0) exit
        printf "%.1f %.2f %.0f", (c1 * b2 - c2 * b1) / det, (a1 * c2 - a2 * c1) / det,
            t1 - (c1 * b2 - c2 * b1) / det * v1 - (a1 * c2 - a2 * c1) / det * k1 }')
    if [ -n "$fit" ]; then
        read -r per_version per_key_map fixed <<<"$fit"
        echo "| Patch phase as a line | ${fixed} ms + ${per_version} ms per JAWS version + ${per_key_map} ms per key map | The three medians solved exactly for time = fixed + a x versions + b x (versions x folders): what each version costs once (its driver copy, braille.ini and jfw.ini) and what each settings folder adds. Three machines give no spare point to test the line; the growth rows show how close to it the times stay. |"
    fi
    echo "| Waiting for the package | ${wait_cpu} ms CPU in ${wait_open} ms | Windows XP emulation, stand-in package open for $package_ms ms: Setup.exe's CPU time (user + kernel, GetProcessTimes) read when the package window \"FTDI Driver Installation\" appears and again when it has gone; nothing asks the wizard anything in between; Wine counts CPU time in 10 ms steps. For comparison, showing their windows idle for $package_ms ms: Setup.exe before Install ${setup_idle_cpu} ms, the bare dialog ${bare_idle_cpu} ms. |"
    echo "| Size of the shipped Setup.exe | ${setup_bytes} bytes ($(kib "$setup_bytes")) | The i686 file as shipped (stripped, linked statically). The bench's x86_64 build, which the times above are of, has ${bench_setup_bytes} bytes. |"
    echo "| DLLs the shipped Setup.exe imports | ${imports} | The i686 file's PE import table (${objdump} -p); winmm.dll is loaded at run time from the system folder, not imported. |"
    echo "| Peak working set, largest patch run | $(mib "$largest_peak") | PeakWorkingSetSize (GetProcessMemoryInfo) of Setup.exe on the $lv x $lf machine, read by the UI driver about every 100 ms while it ran, largest of its $patch_runs runs. With its window just shown: Setup.exe $(mib "$setup_start_ws"), the bare dialog $(mib "$bare_start_ws"). |"
} >"$table"

cat "$table"
echo >&2
echo "bench: the table is in $table; the raw figures are in $work" >&2
