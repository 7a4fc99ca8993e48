#!/bin/bash
# make medium: turns the display maker's files into a checked install medium, a CD image, a zip
# and their checksums.
#   tools/medium/make-medium.sh <Setup.exe> <vendor folder> <out folder>
# Setup.exe is the shipped i686 build; the vendor folder is laid out as the sample medium is
# (tools/medium/files.txt names every file the wizard reads and what it must be). Told through
# the environment:
#   ALLOW_SAMPLE=1       accept the sample stand-ins (the demo, the tests), each said so
#   SIGN_PFX             a PKCS#12 file: Setup.exe is signed with it (Authenticode, SHA-256)
#   SIGN_PASS_FILE       a file whose first line is the PFX's password
#   SIGN_TIMESTAMP_URL   an RFC 3161 timestamp server for the signature
#   MEDIUM_LIST          another list than tools/medium/files.txt
# Every problem found is one line naming the file and what is wrong; with any, the command fails
# and leaves the out folder as it was. Otherwise the out folder holds medium/ (the files as they
# will be on the user's disc), Lumitactile.iso, Lumitactile.zip and SHA256SUMS, and the last
# line says whether Setup.exe is signed.
set -u

readonly marker="SAMPLE DATA"
readonly label=LUMITACTILE
readonly longest_prompt_s=60
here=$(dirname "$(realpath "$0")")
list=${MEDIUM_LIST:-$here/files.txt}

say() { echo "medium: $*"; }
die() { echo "medium: $*" >&2; exit 1; }
[ $# -eq 3 ] || die "usage: $0 <Setup.exe> <vendor folder> <out folder>"
setup=$1
vendor=${2%/}
out=${3%/}
[ -f "$list" ] || die "no list of the medium's files at $list"
[ -f "$setup" ] || die "no $setup: build the shipped tree first (make build)"
[ -d "$vendor" ] || die "no vendor folder $vendor"
for tool in xorriso zip sha256sum od; do
    command -v "$tool" >/dev/null || die "$tool is missing (make medium installs it)"
done
if [ -n "${SIGN_PFX:-}" ]; then
    command -v osslsigncode >/dev/null && command -v openssl >/dev/null ||
        die "osslsigncode or openssl is missing (make medium installs them)"
    [ -f "$SIGN_PFX" ] || die "no signing certificate $SIGN_PFX"
    [ -z "${SIGN_PASS_FILE:-}" ] || [ -f "$SIGN_PASS_FILE" ] || die "no password file $SIGN_PASS_FILE"
fi
vendor_abs=$(realpath "$vendor")
out_abs=$(realpath -m "$out")
case "$out_abs/" in
    "$vendor_abs"/*) die "the out folder $out lies inside the vendor folder $vendor" ;;
esac
# An out folder is replaced whole, so only one of ours, or an empty one, is taken.
if [ -d "$out" ] && [ -n "$(ls -A "$out")" ] && [ ! -f "$out/SHA256SUMS" ]; then
    die "$out holds files that are not a medium made here; name a new or empty out folder"
fi

# ---- Reading binary headers ------------------------------------------------------------------
size_of() { stat -L -c %s "$1"; }
# The first 4 KiB of a file, as byte values; a field beyond them is read from the file itself.
load() { loaded=$1; read -r -d '' -a bytes < <(od -An -v -tu1 -N 4096 "$1"); }
# Sets b to the byte at $1, empty past the end of the file.
byte() {
    if [ "$1" -lt ${#bytes[@]} ]; then b=${bytes[$1]}; else
        b=$(od -An -v -tu1 -j "$1" -N 1 "$loaded" | tr -d ' \n'); fi
}
# Sets value to the little-endian field of $2 bytes at $1.
field() {
    local i
    value=0
    for ((i = $2 - 1; i >= 0; i--)); do byte $(($1 + i)); value=$((value * 256 + ${b:-0})); done
}
# Sets value to the $2 bytes at $1 in hexadecimal.
tag() {
    local i h
    value=""
    for ((i = 0; i < $2; i++)); do
        byte $(($1 + i)); h=zz; [ -n "$b" ] && printf -v h %02x "$b"; value+=$h
    done
}

readonly machine_i386=332 machine_x86_64=34404
machine_name() {
    case $1 in
        "$machine_i386") echo "32-bit, i386" ;;
        "$machine_x86_64") echo "64-bit, x86-64" ;;
        *) printf 'machine 0x%04x' "$1" ;;
    esac
}

# Checks a PE file's headers; prints what is wrong and fails. want: a machine; program: also an
# executable image, not a DLL.
check_pe() {
    local file=$1 want=$2 program=$3 size lfanew machine characteristics
    size=$(size_of "$file")
    load "$file"
    tag 0 2
    if [ "$size" -lt 64 ] || [ "$value" != 4d5a ]; then
        echo "not a Windows program or library (no MZ header)"; return 1
    fi
    field 60 4; lfanew=$value
    tag "$lfanew" 4
    if [ $((lfanew + 24)) -gt "$size" ] || [ "$value" != 50450000 ]; then
        echo "not a Windows PE file (no PE header)"; return 1
    fi
    field $((lfanew + 4)) 2; machine=$value
    field $((lfanew + 22)) 2; characteristics=$value
    if [ "$machine" != "$want" ]; then
        echo "a PE file for $(machine_name "$machine"); this one must be $(machine_name "$want")"
        return 1
    fi
    if [ "$program" = yes ] && { [ $((characteristics & 0x2000)) -ne 0 ] ||
                                 [ $((characteristics & 0x0002)) -eq 0 ]; }; then
        echo "a PE file but not a program (a DLL or an object)"; return 1
    fi
}

# Checks that sndPlaySound can play a WAV file on every Windows the wizard runs on, for at most a
# minute; prints what is wrong and fails.
check_wav() {
    local file=$1 size at=12 chunks=0 id length format="" channels rate bytes_per_s align bits
    local data=""
    size=$(size_of "$file")
    load "$file"
    tag 0 12
    if [ "$size" -lt 12 ] || [[ $value != 52494646????????57415645 ]]; then
        echo "not a WAV file (no RIFF/WAVE header)"; return 1
    fi
    while [ $((at + 8)) -le "$size" ] && [ $chunks -lt 64 ]; do
        tag $at 4; id=$value
        field $((at + 4)) 4; length=$value
        if [ "$id" = 666d7420 ] && [ -z "$format" ] && [ "$length" -ge 16 ] &&
           [ $((at + 24)) -le "$size" ]; then
            field $((at + 8)) 2; format=$value
            field $((at + 10)) 2; channels=$value
            field $((at + 12)) 4; rate=$value
            field $((at + 16)) 4; bytes_per_s=$value
            field $((at + 20)) 2; align=$value
            field $((at + 22)) 2; bits=$value
        elif [ "$id" = 64617461 ] && [ -z "$data" ]; then
            if [ $((at + 8 + length)) -gt "$size" ]; then
                echo "its sound data is cut short ($length bytes announced, $((size - at - 8)) there)"
                return 1
            fi
            data=$length
        fi
        at=$((at + 8 + length + (length & 1)))
        chunks=$((chunks + 1))
    done
    [ -n "$format" ] || { echo "a WAV file without its format (no fmt chunk)"; return 1; }
    [ -n "$data" ] || { echo "a WAV file without sound (no data chunk)"; return 1; }
    case $format in
        # PCM; and what Windows 95 already ships an audio codec for: Microsoft ADPCM, A-law,
        # mu-law, IMA ADPCM and GSM 6.10.
        1 | 2 | 6 | 7 | 17 | 49) ;;
        *) printf 'a WAV file of format 0x%04x, which Windows 95 to 11 have no codec for all of them; record it as PCM\n' "$format"
           return 1 ;;
    esac
    if [ "$format" = 1 ] && { [ "$channels" -lt 1 ] || [ "$channels" -gt 2 ] ||
                              { [ "$bits" != 8 ] && [ "$bits" != 16 ]; } ||
                              [ "$align" -ne $((channels * bits / 8)) ] ||
                              [ "$bytes_per_s" -ne $((rate * align)) ]; }; then
        echo "a PCM WAV file whose format does not add up ($channels channels, $bits bits, $rate Hz)"
        return 1
    fi
    [ "$rate" -gt 0 ] && [ "$bytes_per_s" -gt 0 ] ||
        { echo "a WAV file without a sample rate"; return 1; }
    if [ "$data" -gt $((longest_prompt_s * bytes_per_s)) ]; then
        echo "plays for $((data / bytes_per_s)) s; a prompt may last a minute at most"; return 1
    fi
}

# ---- The vendor's files, found as Windows finds them: without regard to letter case ----------
work=$(mktemp -d "${TMPDIR:-/tmp}/medium.XXXXXX") || die "cannot make a temporary folder"
stage=""
trap 'rm -rf "$work" ${stage:+"$stage"}' EXIT
(cd "$vendor" && find -L . -type f -printf '%P\n') | LC_ALL=C sort >"$work/files"
declare -A by_name copies
while IFS= read -r path; do
    by_name[${path,,}]=$path
    copies[${path,,}]=$((${copies[${path,,}]:-0} + 1))
done <"$work/files"
unix() { value=${1//\\//}; }
windows() { value=${1//\//\\}; }

problems=0
problem() { echo "medium: $1: $2"; problems=$((problems + 1)); }
# Medium path <tab> source file, for every file that goes onto the medium.
: >"$work/placed"
place() { printf '%s\t%s\n' "$1" "$2" >>"$work/placed"; }

# Every file of the medium: present, not empty, no stand-in (unless allowed), of its kind.
check_file() {
    local medium=$1 kind=$2 source=$3 wrong="" sample=no
    if [ ! -s "$source" ]; then problem "$medium" "is empty"; return; fi
    if grep -q -a -F "$marker" "$source"; then
        if [ "${ALLOW_SAMPLE:-}" != 1 ]; then
            problem "$medium" "is the sample stand-in (it holds \"$marker\"); put the vendor's file there"
            return
        fi
        sample=yes
        say "$medium: the sample stand-in, accepted (ALLOW_SAMPLE=1)"
    fi
    case $kind in
        setup) wrong=$(check_pe "$source" $machine_i386 yes) ||
                   wrong="$wrong: the medium takes the shipped i686 build, never the test bench's" ;;
        program) wrong=$(check_pe "$source" $machine_i386 yes) ;;
        pe32) wrong=$(check_pe "$source" $machine_i386 no) ;;
        pe64) wrong=$(check_pe "$source" $machine_x86_64 no) ;;
        prompt) wrong=$(check_wav "$source") ;;
    esac
    if [ -n "$wrong" ]; then
        if [ $sample = yes ] && [ $kind != setup ]; then
            say "$medium: the check of its kind ($kind) waived for the stand-in, which is $wrong"
        else
            problem "$medium" "$wrong"
        fi
    fi
}

listed=0
: >"$work/taken"
while read -r medium kind rest; do
    case $medium in "" | \#*) continue ;; esac
    listed=$((listed + 1))
    case $kind in
        setup)
            check_file "$medium" setup "$setup"
            place "$medium" "$(realpath "$setup")"
            continue ;;
        program | pe32 | pe64 | prompt | data | folder) ;;
        *) die "$list: $medium has the unknown kind \"$kind\"" ;;
    esac
    unix "$medium"; key=${value,,}
    if [ "${copies[$key]:-0}" -gt 1 ]; then
        problem "$medium" "is there more than once in letter cases that Windows does not tell apart"
        continue
    elif [ "${copies[$key]:-0}" -eq 0 ]; then
        problem "$medium" "is missing from $vendor"
        continue
    fi
    found=${by_name[$key]}
    if [ "$kind" = folder ]; then
        # The whole folder of the file, under the list's spelling of that folder.
        folder=${found%/*}
        unix "${medium%\\*}"; listed_folder=$value
        while IFS= read -r member; do
            case $member in "$folder"/*) ;; *) continue ;; esac
            grep -qxF -- "$member" "$work/taken" && continue
            windows "$listed_folder/${member#"$folder"/}"
            [ "$member" = "$found" ] && value=$medium
            inside=$value
            check_file "$inside" data "$vendor/$member"
            place "$inside" "$vendor_abs/$member"
            printf '%s\n' "$member" >>"$work/taken"
        done <"$work/files"
        continue
    fi
    # A file of a folder already taken whole is on the medium once.
    grep -qxF -- "$found" "$work/taken" && continue
    check_file "$medium" "$kind" "$vendor/$found"
    place "$medium" "$vendor_abs/$found"
    printf '%s\n' "$found" >>"$work/taken"
done <"$list"
[ "$listed" -gt 0 ] || die "$list names no file"

# What the wizard does not read stays off the medium, and the bench's medium is never taken.
while IFS= read -r path; do
    grep -qxF -- "$path" "$work/taken" && continue
    case ${path,,} in
        not-for-shipping.txt)
            problem "$path" "this is the test bench's medium, whose programs are 64-bit builds for the tests; take the vendor's files" ;;
        setup.exe) say "Setup.exe: the vendor folder's own is left off; the medium takes $setup" ;;
        *) say "$path: left off the medium (the wizard does not read it)" ;;
    esac
done <"$work/files"

if [ $problems -gt 0 ]; then
    echo "medium: refused: $problems problem(s) above; nothing was written to $out" >&2
    exit 1
fi

# ---- The medium, its image, its zip and their checksums, made beside out and moved in whole ----
mkdir -p "$(dirname "$out_abs")" || die "cannot make the folder of $out"
stage=$(mktemp -d "$out_abs.making.XXXXXX") && chmod 755 "$stage" ||
    die "cannot make a folder beside $out"
tree=$stage/medium
while IFS=$'\t' read -r medium source; do
    unix "$medium"; target=$tree/$value
    mkdir -p "$(dirname "$target")" && cp "$source" "$target" || die "cannot copy $source"
done <"$work/placed"
# For the Windows versions that still start a CD by itself; CR LF, as Windows writes INI files.
printf '[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe,0\r\nlabel=Lumitactile\r\n' \
    >"$tree/autorun.inf"
chmod -R u+rwX,go+rX,go-w "$tree"

signed=""
if [ -n "${SIGN_PFX:-}" ]; then
    pass=(-pass "")
    passin=pass:
    if [ -n "${SIGN_PASS_FILE:-}" ]; then
        pass=(-readpass "$SIGN_PASS_FILE")
        passin=file:$SIGN_PASS_FILE
    fi
    timestamp=()
    [ -n "${SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")
    timeout 300 osslsigncode sign -pkcs12 "$SIGN_PFX" "${pass[@]}" -h sha256 \
        -n "Lumitactile Setup" "${timestamp[@]}" -in "$tree/Setup.exe" -out "$work/Setup.exe" \
        >"$work/sign.log" 2>&1 || { cat "$work/sign.log" >&2; die "Setup.exe: signing failed"; }
    # The signature is checked against the certificates of the PFX itself (and the system's, for
    # a timestamp), so a test certificate verifies too; Windows decides on trust.
    openssl pkcs12 -in "$SIGN_PFX" -passin "$passin" -nokeys -out "$work/chain.pem" \
        >/dev/null 2>&1 || die "$SIGN_PFX: cannot read its certificates"
    tsa=()
    [ -n "${SIGN_TIMESTAMP_URL:-}" ] && [ -f /etc/ssl/certs/ca-certificates.crt ] &&
        tsa=(-TSA-CAfile /etc/ssl/certs/ca-certificates.crt)
    timeout 120 osslsigncode verify -CAfile "$work/chain.pem" "${tsa[@]}" -in "$work/Setup.exe" \
        >"$work/verify.log" 2>&1 ||
        { cat "$work/verify.log" >&2; die "Setup.exe: the signature made does not verify"; }
    cp "$work/Setup.exe" "$tree/Setup.exe" || die "cannot place the signed Setup.exe"
    signer=$(openssl x509 -in "$work/chain.pem" -noout -subject 2>/dev/null | sed 's/^subject= *//')
    signed="Setup.exe is signed (Authenticode, SHA-256, by $signer${SIGN_TIMESTAMP_URL:+, timestamped})"
fi

timeout 300 xorriso -as mkisofs -quiet -r -J -joliet-long -V "$label" \
    -o "$stage/Lumitactile.iso" "$tree" >"$work/xorriso.log" 2>&1 ||
    { cat "$work/xorriso.log" >&2; die "xorriso could not make the CD image"; }
(cd "$tree" && zip -q -r -X "$stage/Lumitactile.zip" .) || die "zip could not make the zip"
(cd "$stage" && find medium -type f | LC_ALL=C sort | xargs -d '\n' sha256sum &&
    sha256sum Lumitactile.iso Lumitactile.zip) >"$work/SHA256SUMS" || die "cannot sum the files"
mv "$work/SHA256SUMS" "$stage/SHA256SUMS"

rm -rf "$out_abs" && mv "$stage" "$out_abs" || die "cannot move the medium into $out"
stage=""
say "$(find "$out_abs/medium" -type f | wc -l) files in $out/medium, the CD image" \
    "$out/Lumitactile.iso (label $label), $out/Lumitactile.zip and $out/SHA256SUMS"
if [ -n "$signed" ]; then
    say "$signed"
else
    say "UNSIGNED: Setup.exe carries no signature, so SmartScreen and many software policies stop it; give SIGN_PFX=<file.pfx> (and SIGN_PASS_FILE) to sign it"
fi
