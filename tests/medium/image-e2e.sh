#!/bin/bash
# The typical PC's end-to-end run from the files of the CD image that make medium made of the
# sample medium (medium_test.sh extracts them), so what is burnt is what was tested: the shipped
# Setup.exe on the image, where this host runs 32-bit programs; elsewhere the image's data and
# prompts with the bench's twins of its programs, which is said.
#   image-e2e.sh <source dir> <bench build dir> <shipped bench build dir> <extracted image>
set -u
source=$1 bench=$2 shipped_bench=$3 image=$4
[ -f "$image/Setup.exe" ] || { echo "no extracted image in $image (medium_test makes it)"; exit 1; }
winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
filter=--gtest_filter='TypicalPc.*'
if why=$("$source/tools/shipped-host.sh" check); then
    echo "the shipped Setup.exe from the image, under Wine's 32-bit loader"
    medium=$image
    prefix=$shipped_bench/wineprefix
    LUMI_MEDIUM=$(winpath "$medium") "$bench/shipped-run" win32 \
        "$shipped_bench/tests/e2e_demo_test.exe" "$filter" || exit 1
else
    # The image's programs are i686 builds, which this host cannot run.
    medium=$bench/image-bench
    prefix=$bench/wineprefix
    rm -rf "$medium" && cp -r "$image" "$medium" && chmod -R u+w "$medium" || exit 1
    for program in Setup.exe "Driver/xp/Lumitactile.exe" "Driver/vista/FTDIUNIN.exe" \
                   "Driver/98&me/FTDIUNIN.exe"; do
        cp "$bench/medium/$program" "$medium/$program" || exit 1
    done
    echo "the image's data and prompts with the bench's programs: the shipped file cannot run here, because $why"
    LUMI_MEDIUM=$(winpath "$medium") "$bench/wine-run" "$bench/tests/e2e_demo_test.exe" "$filter" ||
        exit 1
fi
# The wizard's own log of the run says where it took the files from.
log=$(ls -t "$prefix"/drive_c/users/*/Temp/"Lumitactile Setup.log" 2>/dev/null | head -n 1)
if ! sed -n '/^====/h; /^====/!H; ${x;p}' "$log" 2>/dev/null |
     grep -iF "copied \"$(winpath "$medium")\\" | grep -qiF 'jaws\Lumitac.jlb" to'; then
    echo "the wizard's last run ($log) did not copy its JAWS driver from $medium"
    exit 1
fi
