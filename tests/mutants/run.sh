#!/bin/bash
# A developer's tool, not part of make test: applies each one-line mutant of mutants.txt alone to
# a clone of this tree's last commit, rebuilds the x86_64 bench and runs its tests, and reports
# which mutants every test passes (survivors: a test is missing).
#   tests/mutants/run.sh [pattern]     only the mutants whose name matches the pattern
# The clone, its build and each mutant's logs go to LUMI_MUTANTS_DIR (a fresh folder under /tmp
# when unset); a first run builds the whole tree there (some minutes), each mutant then rebuilds
# what it touched. The tests a mutant names in caught-by run first; only when they all pass does
# the rest run, so a survivor costs a whole test run.
set -u
top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel) || exit 2
pattern=${1:-}
work=${LUMI_MUTANTS_DIR:-$(mktemp -d /tmp/lumi-mutants.XXXXXX)}
tree=$work/tree
mkdir -p "$work/logs"
export LUMI_BENCH_ONLY=1

if [ ! -d "$tree/.git" ]; then
    git clone -q "$top" "$tree" || exit 2
fi
# The list of the commit the clone holds, so every mutant fits the code it is applied to.
list=$tree/tests/mutants/mutants.txt
echo "mutants: building the clone in $tree (log: $work/build.log)"
(cd "$tree" && make build) >"$work/build.log" 2>&1 || { echo "mutants: the clone does not build" >&2; exit 2; }
# Without a mutant every test must pass, or a mutant's failure would prove nothing.
echo "mutants: running the tests of the clone as it is (log: $work/baseline.log)"
if ! (cd "$tree/build/x86_64" && ctest --output-on-failure) >"$work/baseline.log" 2>&1; then
    echo "mutants: the clone's own tests fail; see $work/baseline.log" >&2
    exit 2
fi

# Applies one mutant to the clone: prints nothing and succeeds, or says why it cannot.
apply() {
    perl -e '
        my ($file, $find, $nth, $replace) = @ARGV;
        open(my $in, "<", $file) or die "no file $file\n";
        my @lines = <$in>;
        close $in;
        my $seen = 0;
        for my $line (@lines) {
            my ($indent, $text) = $line =~ /^(\s*)(.*?)\r?\n?$/;
            next unless $text eq $find;
            next unless ++$seen == $nth;
            $line = $replace eq "" ? "" : "$indent$replace\n";
            open(my $out, ">", $file) or die "cannot write $file\n";
            print $out @lines;
            exit 0;
        }
        die "line not found ($seen of it, asked for number $nth): $find\n";
    ' "$tree/$1" "$2" "$3" "$4"
}

# Which ctest entries failed, from a ctest log.
failed_entries() {
    sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$1" | paste -sd ' ' -
}

total=0; caught=0; survived=0; broken=0
report=$work/report.txt
: >"$report"
run_one() {
    local name=$1 file=$2 find=$3 nth=$4 replace=$5 caughtBy=$6
    [ -n "$pattern" ] && ! printf '%s' "$name" | grep -q -- "$pattern" && return
    total=$((total + 1))
    local log=$work/logs/$total
    local verdict
    if ! why=$(apply "$file" "$find" "${nth:-1}" "$replace" 2>&1); then
        verdict="NOT APPLIED: $why"
        broken=$((broken + 1))
    # The shipped tree too: the medium's tests read its Setup.exe and stand-ins.
    elif ! { cmake --build "$tree/build/x86_64" -j2 && cmake --build "$tree/build/i686" -j2; } \
                >"$log.build" 2>&1; then
        verdict="DOES NOT BUILD (see $log.build)"
        broken=$((broken + 1))
    elif ! (cd "$tree/build/x86_64" && ctest --output-on-failure -R "$caughtBy" >"$log.first" 2>&1); then
        verdict="caught by $(failed_entries "$log.first")"
        caught=$((caught + 1))
    elif ! (cd "$tree/build/x86_64" && ctest --output-on-failure -E "$caughtBy" --stop-on-failure \
                >"$log.rest" 2>&1); then
        verdict="caught by $(failed_entries "$log.rest") (not by $caughtBy)"
        caught=$((caught + 1))
    else
        verdict="SURVIVED"
        survived=$((survived + 1))
    fi
    git -C "$tree" checkout -q -- "$file"
    printf '%-3s %-80s %s\n' "$total" "$name" "$verdict" | tee -a "$report"
}

name=""; file=""; find=""; nth=""; replace=""; caughtBy=""
flush() {
    [ -n "$name" ] && run_one "$name" "$file" "$find" "$nth" "$replace" "$caughtBy"
    name=""; file=""; find=""; nth=""; replace=""; caughtBy=""
}
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
        '#'*) continue ;;
        '') flush; continue ;;
    esac
    field=${line%%[[:space:]]*}
    value=$(printf '%s' "${line#"$field"}" | sed 's/^[[:space:]]*//')
    case "$field" in
        mutant) name=$value ;;
        file) file=$value ;;
        find) find=$value ;;
        nth) nth=$value ;;
        replace) replace=$value ;;
        caught-by) caughtBy=$value ;;
        *) echo "mutants: unknown field \"$field\" in $list" >&2; exit 2 ;;
    esac
done <"$list"
flush

echo "mutants: $total tried, $caught caught, $survived survived, $broken not applied or not built"
echo "mutants: the list is in $report, each mutant's logs in $work/logs"
[ "$survived" -eq 0 ] && [ "$broken" -eq 0 ]
