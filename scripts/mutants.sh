#!/usr/bin/env bash
# Measures what the tests catch. Each row of scripts/mutants.txt is a deliberate fault in the
# product code; one at a time, it is put into a private copy of the working tree, the tests named
# by the row are rebuilt and run, and the copy is restored. A fault that no test notices is MISSED.
#
#   scripts/mutants.sh            every row
#   scripts/mutants.sh ID…        only these rows
#   scripts/mutants.sh --check    only report rows whose original text is no longer in the tree
#
# Environment: MUTANTS_TIMEOUT (seconds per test run, default 300), MUTANTS_JOBS (default 2).
# The working tree is never written: the copy lives in build/mutants/src, its build in
# build/mutants/build, one log per row in build/mutants/logs. Not part of CI.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
table=$root/scripts/mutants.txt
work=$root/build/mutants
src=$work/src
bin=$work/build
logs=$work/logs
saved=$work/saved-original
timeout=${MUTANTS_TIMEOUT:-300}
jobs=${MUTANTS_JOBS:-2}

# The table, read by perl: "list [id…]" gives one tab-separated line per row (id, file, tests,
# description); "apply id" puts the row's fault into the copy, or exits 3 when one of its original
# texts does not occur exactly once there (the row is stale); "check" does that test for every row
# against the working tree itself and writes nothing.
table_tool() {
    perl -e '
        use strict; use warnings;
        my ($table, $src, $mode, @ids) = @ARGV;
        open my $in, "<:raw", $table or die "cannot read $table: $!\n";
        my (@rows, %row, %byId);
        my $finish = sub {
            return unless %row;
            my $name = $row{id} // "?";
            for my $field (qw(id what file tests)) {
                die "$table: row $name has no \"$field:\" line\n" unless defined $row{$field};
            }
            die "$table: row $name has no \"from:\" line\n" unless $row{edits};
            for my $edit (@{$row{edits}}) {
                die "$table: row $name has an empty \"from:\"\n" if $edit->[0] eq "";
                die "$table: row $name has a \"from:\" without its \"to:\"\n" unless defined $edit->[1];
            }
            die "$table: id $name appears twice\n" if $byId{$name};
            push @rows, {%row}; $byId{$name} = $rows[-1]; %row = ();
        };
        while (my $line = <$in>) {
            $line =~ s/\r?\n\z//;
            if ($line =~ /^\s*$/) { $finish->(); next; }
            next if $line =~ /^#/;
            $line =~ /^(id|what|file|from|to|tests|expect|harmless):(?: (.*))?\z/
                or die "$table:$.: not a row line: $line\n";
            my ($field, $value) = ($1, $2 // "");
            if ($field eq "from") { push @{$row{edits}}, [$value, undef] }
            elsif ($field eq "to") {
                die "$table:$.: \"to:\" without a \"from:\" before it\n"
                    unless $row{edits} && !defined $row{edits}[-1][1];
                $row{edits}[-1][1] = $value;
            }
            else { $row{$field} = $value }
        }
        $finish->();
        if ($mode eq "list") {
            my @chosen = @ids ? map { $byId{$_} // die "no row with id $_ in $table\n" } @ids : @rows;
            print join("\t", $_->{id}, $_->{file}, $_->{tests}, $_->{what}, $_->{harmless} // ""), "\n" for @chosen;
            exit 0;
        }
        # Several edits of one row apply in order; each original text must be there exactly once.
        # Gives the faulty text, or why the row is stale.
        my $mutate = sub {
            my ($r) = @_;
            open my $f, "<:raw", "$src/$r->{file}" or return (undef, "no file $r->{file}");
            my $text = do { local $/; <$f> }; close $f;
            for my $edit (@{$r->{edits}}) {
                my ($from, $to) = @$edit;
                my $count = () = $text =~ /\Q$from\E/g;
                return (undef, "\"$from\" occurs $count times in $r->{file}") if $count != 1;
                $text =~ s/\Q$from\E/$to/;
            }
            return ($text, undef);
        };
        if ($mode eq "check") {
            my $stale = 0;
            for my $r (@rows) {
                my (undef, $why) = $mutate->($r);
                if (defined $why) { print "$r->{id} STALE: $why\n"; $stale++ }
            }
            print scalar(@rows) - $stale, " of ", scalar(@rows), " rows apply.\n";
            exit($stale ? 3 : 0);
        }
        my $r = $byId{$ids[0]} // die "no row with id $ids[0]\n";
        my ($text, $why) = $mutate->($r);
        if (defined $why) { print "$why\n"; exit 3 }
        my $path = "$src/$r->{file}";
        open my $out, ">:raw", $path or die "cannot write $path: $!\n";
        print $out $text; close $out or die "cannot write $path: $!\n";
    ' "$table" "$src" "$@"
}

# Brings the copy up to the working tree (tracked and untracked-but-not-ignored files). Only files
# whose content differs are copied, with a fresh time stamp, so that the build stays incremental
# and never keeps an object compiled from a fault.
sync_copy() {
    mkdir -p "$src"
    (cd "$root" && git ls-files -z -co --exclude-standard) | perl -0 -e '
        use strict; use warnings;
        my ($root, $src) = @ARGV;
        my %keep;
        while (my $name = <STDIN>) {
            chomp $name;
            my $from = "$root/$name";
            next unless -e $from || -l $from;   # deleted but still in the index
            $keep{$name} = 1;
            my $to = "$src/$name";
            next if -e $to && system("cmp", "-s", $from, $to) == 0;
            (my $dir = $to) =~ s{/[^/]*\z}{};
            system("mkdir", "-p", $dir) == 0 or die "mkdir $dir failed\n";
            unlink $to;
            system("cp", "-P", $from, $to) == 0 or die "cp $from failed\n";
        }
        local $/ = "\n";
        open my $find, "-|", "find", $src, "-type", "f", "-o", "-type", "l" or die;
        while (my $path = <$find>) {
            chomp $path;
            (my $name = $path) =~ s{^\Q$src\E/}{};
            unlink $path unless $keep{$name};
        }
    ' "$root" "$src"
}

build() { # targets…
    cmake --build "$bin" -j"$jobs" --target "$@"
}

# Runs one test executable through CTest (which sets its environment); the outer timeout ends the
# whole process group, since CTest's own limit yields to the test's TIMEOUT property.
run_test() { # name log
    timeout -k 20 "$timeout" ctest --test-dir "$bin" -R "^$1\$" --timeout "$timeout" --no-tests=error --output-on-failure >"$2" 2>&1
}

# What failed, from a test log: the first failing function, else CTest's verdict.
failure_of() { # log
    perl -ne '
        if (/^FAIL!\s*:\s*(\S+?)\(/) { print $1; $found = 1; exit }
        $verdict = $1 if /\*\*\*(\w+(?::\s*\w+)?)/;
        END { print $verdict // "failed" unless $found }
    ' "$1"
}

current_file=
restore() {
    if [[ -n $current_file ]]; then
        cp "$saved" "$src/$current_file"
        current_file=
    fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

if [[ ${1:-} == --check ]]; then
    src=$root table_tool check
    exit
fi

mapfile -t rows < <(table_tool list "$@")
[[ ${#rows[@]} -gt 0 ]] || { echo "No rows to run." >&2; exit 1; }

echo "== Copying the working tree into $src"
sync_copy
mkdir -p "$logs"
# Configured on every run: the copy may have gained or lost test programs since the last one.
echo "== Configuring $bin"
cmake -S "$src" -B "$bin" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON >"$logs/configure.log" 2>&1 \
    || { echo "Configuring failed: see $logs/configure.log" >&2; exit 1; }

declare -A wanted=()
for row in "${rows[@]}"; do
    IFS=$'\t' read -r _ _ tests _ <<<"$row"
    for t in $tests; do wanted[$t]=1; done
done
tests_used=$(printf '%s\n' "${!wanted[@]}" | sort | tr '\n' ' ')

echo "== Baseline: building and running $tests_used"
# shellcheck disable=SC2086
build $tests_used >"$logs/baseline-build.log" 2>&1 \
    || { echo "The unchanged copy does not build: see $logs/baseline-build.log" >&2; exit 1; }
for t in $tests_used; do
    started=$SECONDS
    if ! run_test "$t" "$logs/baseline-$t.log"; then
        echo "The unchanged copy fails $t ($(failure_of "$logs/baseline-$t.log")): see $logs/baseline-$t.log." >&2
        echo "Faults can only be measured against a passing suite; stopping." >&2
        exit 1
    fi
    echo "   $t passes ($((SECONDS - started)) s)"
done

results=()
caught=0 missed=0 excused=0 broken=0
for row in "${rows[@]}"; do
    IFS=$'\t' read -r id file tests what harmless <<<"$row"
    log=$logs/$id.log
    : >"$log"
    cp "$src/$file" "$saved" 2>/dev/null || true
    if ! why=$(table_tool apply "$id"); then
        results+=("$id"$'\t'"$what"$'\t'"STALE: $why")
        broken=$((broken + 1))
        echo "-- $id STALE: $why"
        continue
    fi
    current_file=$file
    verdict=
    # shellcheck disable=SC2086
    if ! build $tests >>"$log" 2>&1; then
        verdict="BUILD-FAILED (see $log)"
        broken=$((broken + 1))
    else
        for t in $tests; do
            rc=0
            run_test "$t" "$log.$t" || rc=$?
            if [[ $rc -eq 124 || $rc -eq 137 ]]; then
                verdict="$t: timed out after $timeout s"
                caught=$((caught + 1))
                break
            elif [[ $rc -ne 0 ]]; then
                verdict="$t: $(failure_of "$log.$t")"
                caught=$((caught + 1))
                break
            fi
        done
        if [[ -z $verdict && -n $harmless ]]; then
            verdict="MISSED, judged harmless (see the table)"
            excused=$((excused + 1))
        elif [[ -z $verdict ]]; then
            verdict=MISSED
            missed=$((missed + 1))
        fi
    fi
    restore
    results+=("$id"$'\t'"$what"$'\t'"$verdict")
    echo "-- $id $verdict"
done

# The copy is left as the working tree was; its objects are rebuilt by the next run.
echo
printf '%s\n' "${results[@]}" | perl -F'\t' -lane '
    push @r, [@F]; for my $i (0 .. 1) { $w[$i] = length $F[$i] if length $F[$i] > ($w[$i] // 0) }
    END {
        printf "%-*s | %-*s | %s\n", $w[0], "id", $w[1], "fault", "caught by / MISSED";
        printf "%s-|-%s-|-%s\n", "-" x $w[0], "-" x $w[1], "-" x 18;
        printf "%-*s | %-*s | %s\n", $w[0], $_->[0], $w[1], $_->[1], $_->[2] for @r;
    }'
total=${#rows[@]}
echo
echo "$caught of $total caught, $missed missed, $excused missed but judged harmless, $broken stale or not building."
[[ $missed -eq 0 && $broken -eq 0 ]]
