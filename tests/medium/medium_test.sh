#!/bin/bash
# make medium: the one list of the medium's files against the wizard's own paths and the sample
# medium; its checks, each wrong file failing with its own line; signing; the CD image and zip.
#   medium_test.sh <source dir> <shipped build dir> <bench build dir> <work dir>
# Leaves the files of the sample medium's CD image, as xorriso extracts them, in <work dir>/image
# for the end-to-end run from the image (image-e2e.sh).
set -u
source=$1 shipped=$2 bench=$3 work=$4
make_medium=$source/tools/medium/make-medium.sh
list=$source/tools/medium/files.txt
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
lower() { tr '[:upper:]' '[:lower:]'; }
# The image's files are extracted read-only, as on a disc.
chmod -R u+w "$work" 2>/dev/null
rm -rf "$work" && mkdir -p "$work" || exit 1
grep -Ev '^[[:space:]]*(#|$)' "$list" | awk '{ print $1 }' | lower | LC_ALL=C sort >"$work/listed"

# ---- Every medium path the wizard's code names is on the list --------------------------------
# Whole paths, and a folder constant ("\\supernova\\") with each bare file name of the tables in
# the same source, which the code joins to it.
(cd "$source" && grep -lE '"(\\\\)?(driver|jaws|supernova|wineyes|nvda|sound)\\\\' -ri \
    app install patchers) | while read -r file; do
    literals=$(grep -oiE '"(\\\\)?(driver|jaws|supernova|wineyes|nvda|sound)\\\\[^"]*"' \
        "$source/$file" | tr -d '"' | sed 's/\\\\/\\/g; s/^\\//')
    names=$(awk '/\[\] *= *\{/ { table = 1 } table { print } /\};/ { table = 0 }' "$source/$file" |
        grep -oE '"[A-Za-z0-9_]+\.[A-Za-z0-9]+"' | tr -d '"')
    for literal in $literals; do
        case $literal in
            *\\) for name in $names; do echo "$file $literal$name"; done ;;
            *) echo "$file $literal" ;;
        esac
    done
done >"$work/named"
[ "$(grep -c 'Prompts.h sound' "$work/named")" -ge 15 ] || fail "the prompts were not found in install/Prompts.h"
# A folder the wizard takes whole (an add-on) is listed by the files in it.
while read -r file path; do
    path=$(printf '%s' "$path" | lower)
    grep -qxF "$path" "$work/listed" || grep -qF "${path%\\}\\" "$work/listed" ||
        fail "$file names $path, which tools/medium/files.txt does not list"
done <"$work/named"

# ---- The sample medium the build assembles holds exactly the listed files --------------------
(cd "$shipped/medium" && find . -type f -printf '%P\n' | tr / '\\' | lower | LC_ALL=C sort) \
    >"$work/sample"
diff "$work/listed" "$work/sample" >"$work/sample.diff" ||
    fail "the list (<) and the sample medium $shipped/medium (>) differ: $(cat "$work/sample.diff")"

# ---- A vendor folder of tiny files of the right kinds ------------------------------------------
le16() { printf "\\\\x%02x\\\\x%02x" $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { printf "%s%s" "$(le16 $(($1 & 65535)))" "$(le16 $(($1 >> 16)))"; }
pe() {  # <file> <machine> <characteristics>: a DOS header and a PE file header
    { printf 'MZ'; head -c 58 /dev/zero; printf "$(le32 64)PE\\0\\0$(le16 "$2")"; head -c 16 /dev/zero
      printf "$(le16 "$3")"; } >"$1"
}
wav() {  # <file> <format> <bytes of sound> [<announced bytes>]: 8 kHz, 8 bits, mono
    { printf "RIFF$(le32 $((36 + $3)))WAVEfmt $(le32 16)$(le16 "$2")$(le16 1)$(le32 8000)"
      printf "$(le32 8000)$(le16 1)$(le16 8)data$(le32 "${4:-$3}")"; head -c "$3" /dev/zero; } >"$1"
}
vendor=$work/vendor
grep -Ev '^[[:space:]]*(#|$)' "$list" | while read -r path kind; do
    file=$vendor/$(printf '%s' "$path" | tr '\\' /)
    mkdir -p "$(dirname "$file")"
    case $kind in
        program) pe "$file" 0x14c 0x0102 ;;
        pe32) pe "$file" 0x14c 0x2102 ;;
        pe64) pe "$file" 0x8664 0x2022 ;;
        prompt) wav "$file" 1 800 ;;
        setup) ;;
        *) echo "the vendor's $path" >"$file" ;;
    esac
done

# ---- Each wrong file fails the command with its own line, and nothing is written -------------
# <what is wrong> | <change to a copy of the vendor folder> | <the line it must give>
while IFS='|' read -r what change expected; do
    rm -rf "$work/row" && cp -r "$vendor" "$work/row" && (cd "$work/row" && eval "$change")
    setup=$shipped/Setup.exe
    [[ $what == *"bench's Setup.exe"* ]] && setup=$bench/medium/Setup.exe
    "$make_medium" "$setup" "$work/row" "$work/row-out" >"$work/row.log" 2>&1
    status=$?
    if [ $status -eq 0 ] || ! grep -qF -- "medium: ${expected# }" "$work/row.log" ||
       [ -e "$work/row-out" ]; then
        fail "$what: exit $status, expected the line \"${expected# }\"; got: $(cat "$work/row.log")"
    fi
done <<'ROWS'
a missing 64-bit JAWS driver   | rm jaws/x64/Lumitac.jlb              | jaws\x64\Lumitac.jlb: is missing
a missing prompt               | rm sound/restart.wav                 | sound\restart.wav: is missing
a forgotten sample data file   | echo SAMPLE DATA >supernova/LumiTac.sdi | supernova\LumiTac.sdi: is the sample stand-in
the stand-in driver package    | cp "$bench/medium/Driver/xp/Lumitactile.exe" Driver/xp/ | Driver\xp\Lumitactile.exe: is the sample stand-in
an empty settings file         | : >jaws/TessilKey.ini                | jaws\TessilKey.ini: is empty
a 32-bit driver for 64-bit JAWS| cp jaws/Lumitac.jlb jaws/x64/        | jaws\x64\Lumitac.jlb: a PE file for 32-bit, i386; this one must be 64-bit
a 64-bit driver for 32-bit JAWS| cp jaws/x64/Lumitac.jlb jaws/        | jaws\Lumitac.jlb: a PE file for 64-bit, x86-64; this one must be 32-bit
a driver package that is text  | echo setup >Driver/xp/Lumitactile.exe | Driver\xp\Lumitactile.exe: not a Windows program or library
an uninstaller that is a DLL   | cp jaws/Lumitac.jlb "Driver/98&me/FTDIUNIN.exe" | Driver\98&me\FTDIUNIN.exe: a PE file but not a program
a prompt that is no WAV        | echo hello >sound/welcome.wav        | sound\welcome.wav: not a WAV file
an MPEG prompt                 | wav sound/start.wav 0x55 800         | sound\start.wav: a WAV file of format 0x0055
a prompt of 61 seconds         | wav sound/hal_success.wav 1 488000   | sound\hal_success.wav: plays for 61 s
a prompt cut short             | wav sound/jaws_faild.wav 1 800 900   | sound\jaws_faild.wav: its sound data is cut short
a file twice in letter case    | mkdir JAWS && echo x >JAWS/TessilKey.ini | jaws\TessilKey.ini: is there more than once
the bench's medium             | echo x >NOT-FOR-SHIPPING.txt         | NOT-FOR-SHIPPING.txt: this is the test bench's medium
the bench's Setup.exe          | :                                    | Setup.exe: a PE file for 64-bit, x86-64
ROWS

# ---- The vendor's files, signed with a throw-away certificate ------------------------------------
out=$work/out
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Lumitactile test signer" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1 &&
    echo secret >"$work/pass" &&
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/pass" \
        -out "$work/signer.pfx" || fail "openssl could not make the test certificate"
SIGN_PFX=$work/signer.pfx SIGN_PASS_FILE=$work/pass "$make_medium" "$shipped/Setup.exe" "$vendor" \
    "$out" >"$work/signed.log" 2>&1 || fail "the vendor's folder was refused: $(cat "$work/signed.log")"
tail -n 1 "$work/signed.log" | grep -q "Setup.exe is signed" || fail "no signature told: $(tail -n 1 "$work/signed.log")"
osslsigncode verify -CAfile "$work/cert.pem" -in "$out/medium/Setup.exe" >"$work/verify.log" 2>&1 ||
    fail "osslsigncode does not accept the signed Setup.exe: $(cat "$work/verify.log")"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "the checksums do not match the files"
# Linux reads the Rock Ridge names, Windows the Joliet ones: both keep "98&me" and long names.
(cd "$out/medium" && find . -type f -printf '/%P\n' | LC_ALL=C sort) >"$work/tree"
for names in nojoliet norock; do
    xorriso -read_fs $names -indev "$out/Lumitactile.iso" -find / -type f 2>/dev/null | tr -d "'" |
        LC_ALL=C sort >"$work/iso"
    diff -q "$work/tree" "$work/iso" >/dev/null || fail "the image's names ($names) differ from the medium's"
done
xorriso -indev "$out/Lumitactile.iso" -pvd_info 2>/dev/null | grep -q "Volume Id *: LUMITACTILE$" ||
    fail "the image's volume label is not LUMITACTILE"
zip -sf "$out/Lumitactile.zip" | grep -c -v '/$' | grep -qx "$(($(wc -l <"$work/tree") + 2))" ||
    fail "the zip does not hold the medium's files"
grep -q $'^open=Setup.exe\r$' "$out/medium/autorun.inf" || fail "autorun.inf does not start Setup.exe"

# ---- The sample medium under ALLOW_SAMPLE=1, and its image for the end-to-end run ---------------
ALLOW_SAMPLE=1 "$make_medium" "$shipped/Setup.exe" "$shipped/medium" "$work/sample-out" \
    >"$work/sample.log" 2>&1 || fail "ALLOW_SAMPLE=1 refused the sample medium: $(cat "$work/sample.log")"
grep -qF 'jaws\x64\Lumitac.jlb: the check of its kind (pe64) waived for the stand-in' "$work/sample.log" ||
    fail "no line says that the stand-in's check was waived"
tail -n 1 "$work/sample.log" | grep -q "UNSIGNED" || fail "the last line does not say the medium is unsigned"
xorriso -osirrox on -indev "$work/sample-out/Lumitactile.iso" -extract / "$work/image" >/dev/null 2>&1 ||
    fail "xorriso could not extract the image"

[ $failures -eq 0 ] && echo "make medium: every check passed" && exit 0
echo "$failures failure(s)"
exit 1
