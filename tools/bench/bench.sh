#!/bin/bash
# make bench: measures what the wizard costs, side by side in one run, and prints one table,
# also written to the table file.
#   tools/bench/bench.sh <build folder> <table file>
# The build folder holds the trees of make build. Two builds are timed where the host runs
# 32-bit programs, in the same run:
#   bench:   the x86_64 bench build (build/x86_64: its medium and the benchmark's programs) under
#            Wine's 64-bit loader in a 64-bit prefix: start-up, the patch phase, the wait for the
#            driver package, idle CPU and memory;
#   shipped: what ships, build/i686/medium/Setup.exe, driven by the i686 bench's benchmark
#            programs (build/i686-bench) under Wine's 32-bit loader in a 32-bit prefix: start-up
#            and the patch phase.
# Elsewhere, or with LUMI_BENCH_ONLY=1, the shipped rows say why they are missing. The size and
# the imports are always those of the shipped file. Each build gets a fresh Wine prefix of its
# own, bench-prefix in its tree, and works in bench/ there; nothing else is touched. Every wait
# has a time limit.
# BENCH_STARTUP_RUNS and BENCH_PATCH_RUNS change the number of runs (defaults 11 and 5).
set -u

die() { echo "bench: $*" >&2; exit 1; }
[ $# -eq 2 ] || die "usage: $0 <build folder> <table file>"
[ -d "$1" ] || die "no build folder $1 (run make build first)"

source_dir=$(realpath "$(dirname "$0")/../..")
root=$(realpath "$1")
table=$(realpath -m "$2")
bench_tree=$root/x86_64
shipped_tree=$root/i686-bench
shipped=$root/i686/medium/Setup.exe
startup_runs=${BENCH_STARTUP_RUNS:-11}
patch_runs=${BENCH_PATCH_RUNS:-5}
# The machines of the patch phase: JAWS versions and settings folders per version.
machines=("1 1" "10 10" "50 40")
package_ms=10000
wizard_caption='Lumitactile Driver Installation '
bare_caption='Bare Dialog Start-up Floor'
objdump=i686-w64-mingw32-objdump

for file in "$bench_tree/tools/bench/benchdriver.exe" "$bench_tree/tools/bench/bare_dialog.exe" \
    "$bench_tree/medium/Setup.exe" "$shipped"; do
    [ -f "$file" ] || die "no $file (run make build first)"
done
command -v "$objdump" >/dev/null || die "no $objdump (make deps installs it)"

. "$source_dir/cmake/wine-prefix.sh"
# Empty where the shipped file can run here, else why not.
if shipped_why=$("$source_dir/tools/shipped-host.sh" check); then
    for file in "$shipped_tree/tools/bench/benchdriver.exe" "$shipped_tree/tools/bench/bare_dialog.exe"; do
        [ -f "$file" ] || die "no $file (run make build first)"
    done
fi

step() { printf '  %s\n' "$*" >&2; }
# The build being measured: its tree, loader and prefix (bench or shipped).
use_build() {
    build_name=$1
    if [ "$build_name" = bench ]; then
        tree=$bench_tree
        wine_environment "$tree/bench-prefix"
        setup=$tree/medium/Setup.exe
    else
        tree=$shipped_tree
        wine_environment "$tree/bench-prefix" 32 win32
        setup=$shipped
    fi
    work=$tree/bench
    driver=$tree/tools/bench/benchdriver.exe
    bare=$tree/tools/bench/bare_dialog.exe
}
# Runs the driver; its figures go to the log named, its complaints to the log's .err.
measure() {
    local seconds=$1 log=$2; shift 2
    limit "$seconds" "$WINE_LOADER" "$driver" "$@" >"$log" 2>"$log.err" ||
        die "$1 failed or passed its limit of $seconds s: $(tail -n 5 "$log.err")"
}
# The value of a "name [index] value" line of a log.
figure() { awk -v name="$2" -v index_="${3:-}" \
    '$1 == name && (index_ == "" || $2 == index_) { print $NF; exit }' "$1"; }

stop_servers() {
    for build in bench shipped; do
        use_build "$build"
        [ -d "$WINEPREFIX" ] && limit 30 "$WINE_SERVER" -k >/dev/null 2>&1
    done
}
trap stop_servers EXIT

# A fresh prefix, and two copies of the build's medium: without its sound folder (prompts
# silent: sndPlaySound then finds no file), and also without the driver package, for the patch
# phase, so no package runs or is waited for there either. Setup.exe runs from a copy's root,
# which is also its current folder.
prepare_build() {
    step "$build_name: creating a fresh Wine prefix in $WINEPREFIX (about 15 s)"
    wine_fresh_prefix "$work" || die "cannot create the Wine prefix; see $work/wineboot.log"
    step "$build_name: copying the medium without its sound folder to $work/medium"
    cp -r "$(dirname "$setup")" "$work/medium" || die "cannot copy the medium"
    find "$work/medium" -maxdepth 1 -iname sound -exec rm -rf {} +
    silent_setup=$work/medium/Setup.exe
    cp -r "$work/medium" "$work/medium-no-package" || die "cannot copy the medium"
    find "$work/medium-no-package" -ipath '*/driver/xp/lumitactile.exe' -delete
    patch_setup=$work/medium-no-package/Setup.exe
}

measure_startup() {
    step "$build_name: start-up, Setup.exe and the bare dialog, $startup_runs runs each, taking turns"
    measure 900 "$work/startup.log" startup --runs "$startup_runs" --timeout 60 \
        --program "$(winpath "$silent_setup")" "$wizard_caption" \
        --program "$(winpath "$bare")" "$bare_caption"
}

# The patch phase runs on Windows XP: the bench emulates it as XP x64 (a 64-bit prefix has no
# 32-bit XP), the shipped file gets a 32-bit XP.
measure_patch_phase() {
    for machine in "${machines[@]}"; do
        read -r versions folders <<<"$machine"
        name=${versions}x${folders}
        step "$build_name: patch phase, Windows XP, no package, $versions JAWS version(s) x $folders settings folder(s), $patch_runs runs"
        measure 3600 "$work/patch-$name.log" patch --exe "$(winpath "$patch_setup")" \
            --versions "$versions" --folders "$folders" --windows winxp --runs "$patch_runs" \
            --timeout 900 --save "$(winpath "$work/machine-$name.scenario")"
    done
}

echo "Lumitactile driver installation wizard: benchmark" >&2
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

use_build bench
echo "Bench rows: build/x86_64, the x86_64 bench build, under Wine's 64-bit loader." >&2
wine_check || die "cannot run the bench"
prepare_build
measure_startup
step "bench: waiting for the package: Windows XP, the stand-in package open for $((package_ms / 1000)) s"
measure 180 "$work/wait.log" wait --exe "$(winpath "$silent_setup")" --windows winxp \
    --package-ms "$package_ms" --timeout 120
step "bench: idle: Setup.exe and the bare dialog showing their windows for $((package_ms / 1000)) s"
measure 120 "$work/idle-setup.log" idle --program "$(winpath "$silent_setup")" "$wizard_caption" \
    --idle-ms "$package_ms" --timeout 60
measure 120 "$work/idle-bare.log" idle --program "$(winpath "$bare")" "$bare_caption" \
    --idle-ms "$package_ms" --timeout 60
measure_patch_phase
limit 30 "$WINE_SERVER" -k >/dev/null 2>&1

if [ -z "$shipped_why" ]; then
    use_build shipped
    echo "Shipped rows: build/i686/medium/Setup.exe, what ships, driven by build/i686-bench under Wine's 32-bit loader." >&2
    wine_check || die "cannot run the shipped file"
    prepare_build
    measure_startup
    measure_patch_phase
    limit 30 "$WINE_SERVER" -k >/dev/null 2>&1
else
    echo "Shipped rows: left out, because $shipped_why." >&2
fi

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- The table ----------------------------------------------------------------------------------
kib() { awk -v b="$1" 'BEGIN { printf "%.0f KiB", b / 1024 }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
# (b - a) / (kb - ka) with two decimals.
slope() { awk -v a="$1" -v b="$2" -v ka="$3" -v kb="$4" 'BEGIN { printf "%.2f", (b - a) / (kb - ka) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

bench_work=$bench_tree/bench
shipped_work=$shipped_tree/bench
bench_label="bench (x86_64, 64-bit loader)"
shipped_label="shipped (i686, 32-bit loader)"

wait_cpu=$(figure "$bench_work/wait.log" wait-cpu-ms)
wait_open=$(figure "$bench_work/wait.log" wait-open-ms)
setup_idle_cpu=$(figure "$bench_work/idle-setup.log" idle-cpu-ms)
bare_idle_cpu=$(figure "$bench_work/idle-bare.log" idle-cpu-ms)

setup_bytes=$(stat -c %s "$shipped")
bench_setup_bytes=$(stat -c %s "$bench_tree/medium/Setup.exe")
imports=$("$objdump" -p "$shipped" | awk '/DLL Name:/ { print $3 }' | paste -sd, - | sed 's/,/, /g')
[ -n "$imports" ] || die "cannot read the import table of $shipped"

largest=${machines[${#machines[@]}-1]}
read -r lv lf <<<"$largest"

loaders="$("$WINE64_LOADER" --version) (64-bit loader)"
[ -z "$shipped_why" ] && loaders="$loaders and the 32-bit loader"
machine_line="Machine: $(nproc) CPU(s), $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), \
$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory, $loaders; \
load average $load_before before and $load_after after the measurements (other work on the machine \
shows in the times); $(date -u '+%Y-%m-%d %H:%M UTC')."

# The start-up rows of one build: label, work folder.
startup_rows() {
    local label=$1 work=$2 setup_start bare_start
    setup_start=$(figure "$work/startup.log" startup-median 0)
    bare_start=$(figure "$work/startup.log" startup-median 1)
    echo "| Start-up, Setup.exe, $label | ${setup_start} ms | Median of $startup_runs runs: from CreateProcess returning (in the UI driver) to the first 10 ms poll that finds the program's visible top-level window \"Lumitactile Driver Installation \". Started from the medium's root with it as current folder, closed with WM_CLOSE after each run; one unrecorded warm-up round first; the two programs take turns. |"
    echo "| Start-up, bare dialog (floor), $label | ${bare_start} ms | The same, for a dialog program with only a caption, built and linked like Setup.exe (tools/bench/BareDialog), in the same bitness. |"
    echo "| Start-up ratio, $label | $(ratio "$setup_start" "$bare_start") | Setup.exe's median over the bare dialog's. |"
}

# The patch-phase rows of one build: label, work folder, how Windows XP was emulated.
patch_rows() {
    local label=$1 work=$2 xp=$3 previous="" fit_points="" versions folders log exit_ms seen
    local verdict_ms keys verdict_note p_keys p_exit fit per_version per_key_map fixed
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
        echo "| Patch phase, $label, $versions JAWS version(s) x $folders settings folder(s) = $keys key map(s) | ${exit_ms} ms | Median of $patch_runs runs, each on a freshly seeded machine with Window-Eyes 7.0 and Dolphin (SAM, Hal, Supernova) too; $xp, from a medium without sound\\ and without the driver package, so no package runs or is waited for. From the UI driver posting \"Install\" to Setup.exe's exit, which follows the verdict at once (the worker shows \"Please restart screen reader.\", its prompt is missing, it hides the status box and closes the dialog); $verdict_note (10 ms polls). Every run is checked to have installed every driver and patched all $keys key map(s). |"
        if [ -n "$previous" ]; then
            read -r p_keys p_exit <<<"$previous"
            echo "| Growth from $p_keys to $keys key maps, $label | $(slope "$p_exit" "$exit_ms" "$p_keys" "$keys") ms per added version x folder | Difference of the medians over the difference of versions x folders; it includes the versions' own cost, which weighs more where there are fewer folders per version. |"
        fi
        previous="$keys $exit_ms"
        fit_points="$fit_points $versions $keys $exit_ms"
    done
    # time = fixed + perVersion * versions + perKeyMap * versions x folders, solved exactly from
    # the three machines (Cramer's rule on the differences to the first).
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
        echo "| Patch phase as a line, $label | ${fixed} ms + ${per_version} ms per JAWS version + ${per_key_map} ms per key map | The three medians solved exactly for time = fixed + a x versions + b x (versions x folders): what each version costs once (its driver copy, braille.ini and jfw.ini) and what each settings folder adds. Three machines give no spare point to test the line; the growth rows show how close to it the times stay. |"
    fi
}

# The memory row of one build: label, work folder.
memory_row() {
    local label=$1 work=$2 peak setup_ws bare_ws
    peak=$(figure "$work/patch-${lv}x${lf}.log" patch-peak-working-set)
    setup_ws=$(figure "$work/startup.log" startup-peak-working-set 0)
    bare_ws=$(figure "$work/startup.log" startup-peak-working-set 1)
    echo "| Peak working set, largest patch run, $label | $(mib "$peak") | PeakWorkingSetSize (GetProcessMemoryInfo) of Setup.exe on the $lv x $lf machine, read by the UI driver about every 100 ms while it ran, largest of its $patch_runs runs. With its window just shown: Setup.exe $(mib "$setup_ws"), the bare dialog $(mib "$bare_ws"). |"
}

{
    echo "# Lumitactile Setup.exe benchmark"
    echo
    echo "Two builds of the same sources, measured in the same run. **bench**: the x86_64 test bench build (build/x86_64/medium/Setup.exe and the benchmark programs of build/x86_64), under Wine's 64-bit loader in a 64-bit prefix. **shipped**: what ships, build/i686/medium/Setup.exe, driven by the i686 builds of the benchmark programs (build/i686-bench), under Wine's 32-bit loader in a 32-bit prefix. The wait, idle and memory rows are the bench's; size and imports are those of the shipped file."
    if [ -n "$shipped_why" ]; then
        echo
        echo "The shipped rows are missing: $shipped_why."
    fi
    echo
    echo "$machine_line"
    echo
    echo "| Figure | Result | What exactly is measured |"
    echo "|---|---|---|"
    startup_rows "$bench_label" "$bench_work"
    [ -z "$shipped_why" ] && startup_rows "$shipped_label" "$shipped_work"
    patch_rows "$bench_label" "$bench_work" \
        "Windows XP emulated as XP x64 (the NT family before 6; a 64-bit prefix has no 32-bit XP or Windows 98 for a 64-bit program)"
    [ -z "$shipped_why" ] && patch_rows "$shipped_label" "$shipped_work" "32-bit Windows XP"
    echo "| Waiting for the package, $bench_label | ${wait_cpu} ms CPU in ${wait_open} ms | Windows XP emulation, stand-in package open for $package_ms ms: Setup.exe's CPU time (user + kernel, GetProcessTimes) read when the package window \"FTDI Driver Installation\" appears and again when it has gone; nothing asks the wizard anything in between; Wine counts CPU time in 10 ms steps. For comparison, showing their windows idle for $package_ms ms: Setup.exe before Install ${setup_idle_cpu} ms, the bare dialog ${bare_idle_cpu} ms. |"
    echo "| Size of the shipped Setup.exe | ${setup_bytes} bytes ($(kib "$setup_bytes")) | The i686 file as shipped (stripped, linked statically). The bench's x86_64 build has ${bench_setup_bytes} bytes. |"
    echo "| DLLs the shipped Setup.exe imports | ${imports} | The i686 file's PE import table (${objdump} -p); winmm.dll is loaded at run time from the system folder, not imported. |"
    memory_row "$bench_label" "$bench_work"
    [ -z "$shipped_why" ] && memory_row "$shipped_label" "$shipped_work"
} >"$table"

cat "$table"
echo >&2
echo "bench: the table is in $table; the raw figures are in $bench_work and $shipped_work" >&2
