#!/usr/bin/env bash
# End-to-end checks of converter-batch: options, exit statuses, plan refusals,
# outputs against converter's, failures, a full disk and interrupts.
# Usage: batch_end_to_end.sh CONVERTER_BATCH CONVERTER DATA_DIR
# With RUNNER set (RUNNER=/usr/lib/wine/wine64 for the .exe files), both run
# through it and are checked as Windows programs: CR LF outputs, wildcards
# expanded by the program, backslashes in paths; the checks that need POSIX
# features (signals, ulimit, tmpfs) are left out.
set -u
batch=$(realpath "$1")
converter=$(realpath "$2")
data=$(realpath "$3")
work=$(mktemp -d)
# Only this shell cleans up: a child it forked that a signal reaches before it
# starts its program runs the same trap.
trap '[ "$BASHPID" == "$$" ] && { umount "$work/small" "$work/read_only" 2> /dev/null; rm -rf "$work"; }' EXIT
cd "$work" || exit 1
windows=0
[ -n "${RUNNER:-}" ] && windows=1
batch_command=(${RUNNER:+"$RUNNER"} "$batch")
converter_command=(${RUNNER:+"$RUNNER"} "$converter")
failures=0
checks=0

fail() {
    echo "FAIL: $current: $*"
    failures=$((failures + 1))
}

# run_batch STATUS ARGUMENT...: runs converter-batch; keeps its output in
# $stdout and $stderr (CR removed; on Windows, where paths found in directories
# are joined with backslashes, those made slashes) and checks its status.
run_batch() {
    local expected=$1
    shift
    checks=$((checks + 1))
    "${batch_command[@]}" "$@" > batch.stdout 2> batch.stderr
    local status=$?
    if [ "$windows" = 1 ]; then
        stdout=$(tr -d '\r' < batch.stdout | tr '\\' /)
        stderr=$(tr -d '\r' < batch.stderr | tr '\\' /)
    else
        stdout=$(cat batch.stdout)
        stderr=$(cat batch.stderr)
    fi
    [ "$status" == "$expected" ] || fail "status $status, expected $expected for: $* [$stderr]"
}

contains() { # TEXT PART
    [[ "$1" == *"$2"* ]] || fail "[$1] does not contain [$2]"
}

# What converter writes for INPUT, as the reference for converter-batch's bytes.
reference_output() { # INPUT OUTPUT
    printf '%s %s\n' "$1" "$2" | "${converter_command[@]}" > /dev/null || fail "converter failed on $1"
}

same_bytes() { # FILE EXPECTED_FILE
    cmp -s "$1" "$2" || fail "$1 differs from $2"
}

no_temporary_files() { # DIR
    local left
    left=$(find "$1" -name '.*.tmp' | head -n 3)
    [ -z "$left" ] || fail "temporary files left: $left"
}

mkdir -p set/sub
cp "$data/a001.txt" "$data/b0001.txt" "$data/c001.txt" set/
cp "$data/reference_1.txt" set/sub/
cp "$data/reference_2.txt" set/.hidden.txt
mkdir references
for name in a001 b0001 c001 reference_1 reference_2; do reference_output "$data/$name.txt" "references/$name.txt"; done

current="a directory into an output directory"
run_batch 0 -o out set
same_bytes out/a001.txt references/a001.txt
same_bytes out/b0001.txt references/b0001.txt
same_bytes out/c001.txt references/c001.txt
[ ! -e out/sub ] && [ ! -e out/.hidden.txt ] || fail "took a subdirectory or a dot file without -r"
contains "$stderr" "converter-batch: 3 converted, 0 failed, "
no_temporary_files out

current="recursive, with include patterns and a suffix"
run_batch 0 --recursive --output-dir=tree --include='*_1.txt' -i 'a*' --suffix .out set
[ "$(cd tree && find . -type f | sort | tr '\n' ' ')" == "./a001.out ./sub/reference_1.out " ] ||
    fail "tree holds $(cd tree && find . -type f | sort | tr '\n' ' ')"
same_bytes tree/sub/reference_1.out references/reference_1.txt

current="outputs beside their inputs, quiet, one job, files named directly"
cp -r set beside
run_batch 0 -q -j1 -s .tsv beside/a001.txt beside/sub/reference_1.txt -- beside/.hidden.txt
[ -z "$stderr$stdout" ] || fail "quiet run printed [$stdout$stderr]"
same_bytes beside/a001.tsv references/a001.txt
same_bytes beside/sub/reference_1.tsv references/reference_1.txt
same_bytes beside/.hidden.tsv references/reference_2.txt

current="existing outputs are replaced, and every job count gives the same bytes"
echo "old" > out/a001.txt
for jobs in 1 2 3 8; do
    rm -rf "jobs$jobs"
    # Two directories named: each keeps its name under -o, as cp -r does.
    run_batch 0 -j "$jobs" -q -o "jobs$jobs" set set/sub
    for name in a001 b0001 c001; do same_bytes "jobs$jobs/set/$name.txt" "references/$name.txt"; done
    same_bytes "jobs$jobs/sub/reference_1.txt" references/reference_1.txt
done
run_batch 0 -q -o out set
same_bytes out/a001.txt references/a001.txt

current="a failing file among good ones"
mkdir mixed
cp "$data/a001.txt" mixed/1.txt
printf '3 0\n7 2 2 x\n' > mixed/2.txt
cp "$data/b0001.txt" mixed/3.txt
mkdir mixed_out
echo "keep" > mixed_out/2.txt
run_batch 1 -o mixed_out mixed mixed/missing.txt
[ "$(echo "$stderr" | grep -v '^converter-batch: ')" == "mixed/2.txt: Invalid input at line 2, column 7: expected successor 2 of activity 1, found \"x\", which is not an integer.
mixed/missing.txt: Can't open the input file: No such file or directory." ] || fail "stderr was [$stderr]"
contains "$stderr" "converter-batch: 2 converted, 2 failed, "
same_bytes mixed_out/1.txt references/a001.txt
same_bytes mixed_out/3.txt references/b0001.txt
[ "$(cat mixed_out/2.txt)" == keep ] || fail "a failed conversion changed the existing output"
no_temporary_files mixed_out

current="--check"
mkdir checked
printf '3 0\n0 1 2\n1 1 5\n0 0\n' > checked/broken.txt
printf '3 0\n0 1 2\n1 1 3\n0 0\n' > checked/proper.txt
printf '3 0\n0 1 x\n' > checked/unreadable.txt
run_batch 1 --check checked
# In file order, activity by activity.
[ "$stdout" == "checked/broken.txt: invalid: activity 1: activity 3 can't be reached from it
checked/broken.txt: invalid: activity 2: successor 5 is outside 1..3
checked/broken.txt: invalid: activity 2: activity 3 can't be reached from it
checked/broken.txt: invalid: activity 3: can't be reached from activity 1" ] || fail "findings were [$stdout]"
contains "$stderr" "checked/unreadable.txt: Invalid input at line 2, column 5: expected successor 1 of activity 1"
contains "$stderr" "converter-batch: 2 checked: 1 invalid, 0 infeasible, 0 with notes, 1 failed, "
[ ! -e checked/broken.out ] || fail "--check wrote a file"
run_batch 0 --check checked/proper.txt

current="--stats"
cp "$data/reference_2.txt" "checked/with,comma.txt"
for jobs in 1 3; do
    run_batch 1 --stats -j "$jobs" "$data/reference_1.txt" checked
    [ "$stdout" == "file,activities,resources,arcs,network_complexity,resource_factor,resource_strength,critical_path,resource_bound,modes,nonrenewable,doubly_constrained,nonrenewable_factor,nonrenewable_strength
$data/reference_1.txt,5,2,6,1.2000,1.0000,1.2500,4,3,5,0,0,,
checked/broken.txt,3,0,2,0.6667,,,,,3,0,0,,
checked/proper.txt,3,0,2,0.6667,,,1,,3,0,0,,
\"checked/with,comma.txt\",3,0,3,1.0000,,,18,,3,0,0,," ] || fail "rows were [$stdout]"
    contains "$stderr" "checked/unreadable.txt: Invalid input at line 2, column 5"
    contains "$stderr" "converter-batch: 4 measured, 1 failed, "
done
rm "checked/with,comma.txt"
checks=$((checks + 1))
[ "$("${batch_command[@]}" --stats -q - < "$data/reference_2.txt" | tr -d '\r' | tail -n 1)" == "-,3,0,3,1.0000,,,18,,3,0,0,," ] ||
    fail "no row for standard input"
run_batch 2 --stats --check set
checks=$((checks + 1))
findings=$(printf '3 0\n0 1 2\n1 1 5\n0 0\n' | "${batch_command[@]}" --check -q - | tr -d '\r' | head -n 1)
[ "$findings" == "(standard input): invalid: activity 1: activity 3 can't be reached from it" ] || fail "findings on standard input: [$findings]"

current="usage errors and refused plans"
run_batch 2
contains "$stderr" "converter-batch: missing INPUT"
contains "$stderr" "Usage: converter-batch [OPTION]... INPUT..."
run_batch 2 set
contains "$stderr" "give -o DIR, -s SUFFIX or --to LAYOUT"
run_batch 2 -o x - set
# Every option error in one voice: ARGUMENTS|MESSAGE.
while IFS='|' read -r arguments message; do
    read -r -a words <<< "$arguments"
    run_batch 2 "${words[@]}"
    contains "$stderr" "converter-batch: $message"
    contains "$stderr" "Try 'converter-batch --help'"
done << 'EOF_CASES'
-j 0 -o x set|-j needs a number from 1 to 1024, not "0".
-j abc -o x set|-j needs a number from 1 to 1024, not "abc".
-j -1 -o x set|-j needs a number from 1 to 1024, not "-1".
-j 2.5 -o x set|-j needs a number from 1 to 1024, not "2.5".
--jobs=1025 -o x set|--jobs needs a number from 1 to 1024, not "1025".
-o x set -j|-j needs a number from 1 to 1024.
--suffix= -o d set|--suffix needs a suffix, not "".
--include= -o d set|--include needs a pattern, not "".
--output-dir= set|--output-dir needs a directory, not "".
-s=.x set|-s needs a suffix, not "=.x" (write -s .x or --suffix=.x).
-rqs=.x set|-s needs a suffix, not "=.x" (write -s .x or --suffix=.x).
-s /x set|-s needs a suffix without a directory separator, not "/x".
--suffix=.a/b set|--suffix needs a suffix without a directory separator, not ".a/b".
--chek set|unknown option --chek (did you mean --check?)
--stat set|unknown option --stat (did you mean --stats?)
--recursiv -o x set|unknown option --recursiv (did you mean --recursive?)
--frobnicate set|unknown option --frobnicate
-x set|unknown option -x
--check=yes set|--check takes no value, not "yes".
--check -o x set|-o does nothing with --check, which writes no output files
--stats -s .x set|-s does nothing with --stats, which writes no output files
--check -u set|-u does nothing with --check, which writes no output files
--check --stats set|--check and --stats can't be combined
-o x -|-o does nothing with -, which writes to standard output
-u -|-u does nothing with -, which writes to standard output
--to json --to dzn -o x set|--to can be given once; it was given "json", then "dzn". To write several layouts, name them in one: --to json,dzn.
--to dzn,json -s .x set|-s gives one suffix, and --to names 2 layouts: leave -s out, and each output takes its layout's extension
--to dzn,json -|--to names 2 layouts, and - writes one to standard output: name one, or convert files
--to dzn,dzn -o x set|--to names the dzn layout twice.
--to dzn, -o x set|--to needs a layout (rcp, sch, sm, mm, dzn, json or dot), not "". Name several layouts with commas between: --to dzn,json.
-o x --output-dir=y set|--output-dir can be given once; it was given "x", then "y".
-j2 -o x -j 3 set|-j can be given once; it was given "2", then "3".
--bundle b.jsonl -o x set|-o does nothing with --bundle, which writes one JSON Lines file
--bundle b.jsonl --stats set|--stats and --bundle can't be combined
--bundle b.jsonl -|--bundle takes files and directories; for standard input, write --to json -
EOF_CASES
[ ! -e d ] && [ ! -e x ] || fail "a usage error created an output directory"
mkdir empty
run_batch 2 -o x empty
contains "$stderr" "converter-batch: no input files in empty."
mkdir -p only_sets/one only_sets/two only_sets/three
cp set/a001.txt only_sets/one/
run_batch 2 --check only_sets/
contains "$stderr" "converter-batch: no input files in only_sets/ (3 subdirectories not searched: use -r)."
run_batch 2 --check -i '*.sm' set empty
contains "$stderr" "converter-batch: no input files in set and empty (1 subdirectory not searched: use -r; 3 files do not match -i)."
run_batch 0 --check -r only_sets
run_batch 2 -o collide set/a001.txt beside/a001.txt
contains "$stderr" "converter-batch: set/a001.txt and beside/a001.txt would both be written to collide/a001.txt"
[ ! -e collide ] || fail "a refused plan created its output directory"
cp set/a001.txt self.txt
run_batch 2 -s .txt self.txt
contains "$stderr" "the output of self.txt would be written to self.txt, which is the input self.txt"
same_bytes self.txt set/a001.txt
mkdir many
for i in $(seq 10 34); do cp set/a001.txt "many/$i.txt"; done
run_batch 2 -s .txt many/*.txt
[ "$(grep -c 'would be written to' <<< "$stderr")" == 20 ] || fail "refusals not capped at 20: [$stderr]"
contains "$stderr" "converter-batch: ... and 5 more conflicts"
run_batch 0 --help
contains "$stdout" "--output-dir"
contains "$stdout" "-i,--include PATTERN        of the files found in directories, take only those whose file name matches"
contains "$stdout" "one pattern per -i"
contains "$stdout" "130  interrupted"
contains "$stdout" "or measured"
run_batch 0 --version
[[ "$stdout" =~ ^converter-batch\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version was [$stdout]"

current="running a command again"
rm -rf rerun
mkdir rerun
cp -r set rerun/inst
run_batch 0 -r -o rerun/inst/conv rerun/inst
run_batch 0 -r -o rerun/inst/conv rerun/inst
contains "$stderr" "converter-batch: 4 converted, 0 failed, "
[ ! -e rerun/inst/conv/conv ] || fail "the output directory was converted into itself"
run_batch 0 -s .out rerun/inst
run_batch 0 -s .out rerun/inst
contains "$stderr" "converter-batch: 3 converted, 0 failed, "
same_bytes rerun/inst/c001.out references/c001.txt
run_batch 0 -o named_twice set set/a001.txt set/sub/../b0001.txt
contains "$stderr" "converter-batch: 3 converted, 0 failed, "

current="-u skips outputs at least as new as their inputs"
rm -rf update
run_batch 0 -o update set
touch -d '2001-01-01 00:00' update/a001.txt
touch -d '2001-01-01 00:00' set/b0001.txt update/b0001.txt
touch -d '2002-01-01 00:00' set/c001.txt
printf 'stale' > update/c001.txt
touch -d '2001-01-01 00:00' update/c001.txt
run_batch 0 -u -o update set
contains "$stderr" "converter-batch: 2 converted, 1 skipped, 0 failed, "
same_bytes update/c001.txt references/c001.txt
same_bytes update/a001.txt references/a001.txt
run_batch 0 --update -o update set
contains "$stderr" "converter-batch: 0 converted, 3 skipped, 0 failed, 0 bytes in, 0 bytes out, "
rm update/b0001.txt
run_batch 0 -u -q -o update set
same_bytes update/b0001.txt references/b0001.txt
touch set/b0001.txt set/c001.txt

current="what the summary counts"
rm -rf counted
mkdir -p counted/a001.txt
run_batch 1 -o counted set
contains "$stderr" "set/a001.txt: Can't replace the output file: "
[[ "$stderr" != *"Success"* ]] || fail "a failure said Success: [$stderr]"
in_size=$(cat set/a001.txt set/b0001.txt set/c001.txt | wc -c)
out_size=$(cat counted/b0001.txt counted/c001.txt | wc -c)
contains "$stderr" "converter-batch: 2 converted, 1 failed, $in_size bytes in, $out_size bytes out, "
no_temporary_files counted

current="--check finds data after the last record"
mkdir joined
cat "$data/reference_1.txt" "$data/reference_1.txt" > joined/two.txt
run_batch 1 --check joined
[ "$stdout" == "joined/two.txt: invalid: the file goes on after the last activity (line 8): 30 more values" ] ||
    fail "findings were [$stdout]"
# Converting drops nothing: a file of several instances fails where the second
# begins, in every layout of numbers, and nothing is written; a tail that is
# not another instance (a comment) is left as before.
rm -rf joined_out
run_batch 1 -o joined_out joined
contains "$stderr" "joined/two.txt: Invalid input at line 8, column 1: expected the end of the file after the last activity, found \"5\", the start of another instance: one instance per file."
[ ! -e joined_out/two.txt ] || fail "a joined file was converted"
cat "$data/j301_1.sm" "$data/j301_2.sm" > joined/two.sm
run_batch 1 --stats joined/two.sm
contains "$stderr" "joined/two.sm: Invalid input at line 93, column 1: expected the end of the file after the last activity, found \"file\""
"${batch_command[@]}" --to rcp - < joined/two.txt > joined_out.rcp 2> joined.err
[ $? == 1 ] && [ ! -s joined_out.rcp ] || fail "a joined file on standard input was converted"
rm joined/two.txt joined/two.sm
{ cat "$data/reference_1.txt"; printf '\n# generated\n'; } > joined/tail.txt
run_batch 0 -o joined_out joined
same_bytes joined_out/tail.txt references/reference_1.txt

current="layouts: --from, --to, told by extension and by content"
mkdir -p layouts/psplib
cp "$data/J301_1.rcp" "$data/J301_2.rcp" "$data/j301_1.sm" "$data/j301_2.sm" layouts/psplib/
rm -rf layouts/sm layouts/rcp
run_batch 0 --to sm -o layouts/sm layouts/psplib/J301_1.rcp layouts/psplib/J301_2.rcp
for number in 1 2; do
    [ -f "layouts/sm/J301_$number.sm" ] || fail "--to sm gave no J301_$number.sm"
    # PSPLIB's bytes but for the basedata name, the seed and the tardiness cost.
    diff <(tr -d '\r' < "layouts/sm/J301_$number.sm" | awk 'NR == 15 { $0 = substr($0, 1, 28) substr($0, 38) } NR != 2 && NR != 3') \
        <(awk 'NR == 15 { $0 = substr($0, 1, 28) substr($0, 38) } NR != 2 && NR != 3' "$data/j301_$number.sm") > /dev/null ||
        fail "--to sm of J301_$number.rcp differs from PSPLIB's file"
done
run_batch 0 --to rcp -o layouts/rcp layouts/psplib/j301_1.sm layouts/psplib/j301_2.sm
run_batch 0 --to rcp -o layouts/rcp_again layouts/psplib/J301_1.rcp layouts/psplib/J301_2.rcp
same_bytes layouts/rcp/j301_1.rcp layouts/rcp_again/J301_1.rcp
same_bytes layouts/rcp/j301_2.rcp layouts/rcp_again/J301_2.rcp
# sch read back: rcp -> sch -> rcp gives the same rcp, sch -> rcp -> sch the same sch.
run_batch 0 --to sch -o layouts/sch layouts/psplib/J301_1.rcp
run_batch 0 --to rcp -o layouts/sch_rcp layouts/sch/J301_1.sch
same_bytes layouts/sch_rcp/J301_1.rcp layouts/rcp_again/J301_1.rcp
run_batch 0 -q --to sch -s .back -o layouts/sch_again layouts/sch_rcp
same_bytes layouts/sch_again/J301_1.back layouts/sch/J301_1.sch
# Without --to, an input read in another layout than rcp gets .sch; -u then
# skips only an output in the layout to be written.
rm -rf layouts/default
run_batch 0 -o layouts/default layouts/psplib
[ -f layouts/default/j301_1.sch ] && [ ! -e layouts/default/j301_1.sm ] || fail "j301_1.sm gave [$(ls layouts/default)]"
same_bytes layouts/default/J301_1.rcp layouts/sch/J301_1.sch
same_bytes layouts/default/j301_1.sch layouts/sch/J301_1.sch
run_batch 0 -u -o layouts/default layouts/psplib
contains "$stderr" "converter-batch: 0 converted, 4 skipped, 0 failed, "
cp layouts/default/j301_1.sch layouts/default/j301_1.sm
run_batch 0 -u --to sm -o layouts/default layouts/psplib/j301_1.sm layouts/psplib/J301_2.rcp
contains "$stderr" "converter-batch: 2 converted, 0 skipped, 0 failed, "
run_batch 0 -u --to sm -o layouts/default layouts/psplib/j301_1.sm layouts/psplib/J301_2.rcp
contains "$stderr" "converter-batch: 0 converted, 2 skipped, 0 failed, "
# Names that tell nothing: the content does; --from overrides both.
mkdir -p layouts/unnamed
cp "$data/j301_1.sm" layouts/unnamed/a.txt
cp layouts/sch/J301_1.sch layouts/unnamed/b.txt
cp "$data/J301_1.rcp" layouts/unnamed/c.txt
run_batch 0 --to rcp -o layouts/unnamed_out layouts/unnamed
for name in a b c; do same_bytes "layouts/unnamed_out/$name.rcp" layouts/rcp_again/J301_1.rcp; done
run_batch 1 --from sm --to rcp -o layouts/forced layouts/unnamed/c.txt
contains "$stderr" "layouts/unnamed/c.txt: Invalid input at line 1, column 1: expected a header line or the PRECEDENCE RELATIONS section, found \"32\"."
printf '3 0\n7 2 2 x\n' > layouts/unnamed/broken.txt
run_batch 1 --to sm -o layouts/broken_out layouts/unnamed/broken.txt
contains "$stderr" "layouts/unnamed/broken.txt: Invalid input at line 2, column 7: expected successor 2 of activity 1, found \"x\", which is not an integer."
# Standard input, in the chosen layout or told by its content.
checks=$((checks + 1))
"${batch_command[@]}" -q --to rcp - < "$data/j301_1.sm" | tr -d '\r' > layouts/piped.rcp
diff layouts/piped.rcp <(tr -d '\r' < layouts/rcp_again/J301_1.rcp) > /dev/null || fail "- --to rcp of an sm file"
checks=$((checks + 1))
"${batch_command[@]}" -q --from sch --to sm - < layouts/sch/J301_1.sch > layouts/piped.sm
# The basedata name is the input's, and a fixed one for standard input.
diff <(tr -d '\r' < layouts/piped.sm | sed 2d) <(tr -d '\r' < layouts/sm/J301_1.sm | sed 2d) > /dev/null ||
    fail "- --to sm differs from a file's --to sm beyond line 2"
[ "$(sed -n 2p layouts/piped.sm | tr -d '\r')" == "file with basedata            : instance.bas" ] ||
    fail "line 2 of - --to sm was [$(sed -n 2p layouts/piped.sm)]"
[ "$(sed -n 2p layouts/sm/J301_1.sm | tr -d '\r')" == "file with basedata            : J301_1.bas" ] ||
    fail "line 2 of J301_1.sch --to sm was [$(sed -n 2p layouts/sm/J301_1.sm)]"
# --check and --stats read every layout alike.
run_batch 0 --stats layouts/psplib/j301_1.sm layouts/psplib/J301_1.rcp layouts/sch/J301_1.sch
[ "$(cut -d, -f2- <<< "$stdout" | sort -u | wc -l)" == 2 ] || fail "--stats differs across layouts: [$stdout]"
printf '3 0\n0 1 2\n1 1 5\n0 0\n' > layouts/broken_net.rcp
run_batch 0 -q --to sm -o layouts/broken_net layouts/broken_net.rcp
run_batch 1 --check layouts/broken_net.rcp layouts/broken_net/broken_net.sm
# The same findings, each in its layout's words: sm numbers jobs.
[ "$(grep '^layouts/broken_net.rcp' <<< "$stdout" | sed 's/^[^:]*: //; s/activity /job /g')" == \
    "$(grep '^layouts/broken_net/' <<< "$stdout" | sed 's/^[^:]*: //')" ] || fail "--check differs across layouts: [$stdout]"
# A layout that can't hold the instance: that file fails, nothing is written for it.
printf '3 0\n0 1 2\n4 -2\n0 0\n' > layouts/negative.rcp
run_batch 1 --to sm -o layouts/negative_out layouts/negative.rcp layouts/psplib/J301_1.rcp
contains "$stderr" "layouts/negative.rcp: Can't write the sm layout: activity 2 has a negative successor count (-2)."
[ ! -e layouts/negative_out/negative.sm ] || fail "a refused layout wrote a file"
[ -f layouts/negative_out/J301_1.sm ] || fail "the other file was not written"
no_temporary_files layouts/negative_out
# -s decides over --to's extension; the plan's refusals hold across layouts.
run_batch 0 -q --to rcp -s .dat -o layouts/suffixed layouts/psplib/j301_1.sm
[ -f layouts/suffixed/j301_1.dat ] || fail "-s with --to"
mkdir -p layouts/other
cp "$data/j301_1.sm" layouts/other/J301_1.sm
run_batch 2 --to rcp -o layouts/collide layouts/psplib/J301_1.rcp layouts/other/J301_1.sm
contains "$stderr" "layouts/psplib/J301_1.rcp and layouts/other/J301_1.sm would both be written to layouts/collide/J301_1.rcp"
contains "$stderr" "converter-batch: nothing was written; take one layout at a time, as with -i '*.rcp'."
run_batch 2 --to xyz -o x set
contains "$stderr" "converter-batch: --to needs a layout (rcp, sch, sm, mm, dzn, json or dot), not \"xyz\"."
run_batch 2 --stats --to sm set
# A mixed folder: the notes, models and scripts a set comes with are left out
# unless named or taken by -i; a file in another layout than its name says
# is told so, with the way to read it.
mkdir -p layouts/mixed
cp "$data/j301_1.sm" layouts/mixed/
printf '# j30\n' > layouts/mixed/README.md
printf 'int: n_res;\n' > layouts/mixed/rcpsp.mzn
printf 'x\n' > layouts/mixed/j301_1.metadata
run_batch 0 --check layouts/mixed
contains "$stderr" "converter-batch: 1 checked: 0 invalid, 0 infeasible, 0 with notes, 0 failed, "
run_batch 1 --check -i '*.m*' layouts/mixed
contains "$stderr" "converter-batch: 0 checked: 0 invalid, 0 infeasible, 0 with notes, 3 failed, "
mkdir -p layouts/notes
cp layouts/mixed/README.md layouts/notes/
run_batch 2 --check layouts/notes
contains "$stderr" "converter-batch: no input files in layouts/notes (1 file is of a kind that holds no instance (.md, .mzn, ...): name it, or give -i)."
# An empty file is said to be empty.
: > layouts/empty.sm
run_batch 1 --check layouts/empty.sm
contains "$stderr" "layouts/empty.sm: Invalid input at line 1, column 1: expected the PRECEDENCE RELATIONS section, found the end of the file: the file is empty."
# Files without an extension beside a set (README, LICENSE) hold no instance either.
printf 'MIT\n' > layouts/notes/LICENSE
printf 'notes\n' > layouts/notes/README
run_batch 2 --check layouts/notes
contains "$stderr" "(3 files are of a kind that holds no instance"
run_batch 1 --check -i 'LICENSE' layouts/notes
contains "$stderr" "layouts/notes/LICENSE: Invalid input"
"${batch_command[@]}" -q --to dzn - < "$data/J301_1.rcp" > layouts/mixed/dzn_inside.sm
run_batch 1 --check layouts/mixed/dzn_inside.sm
contains "$stderr" "found \"n_res\". Read as sm, as its extension says; its content looks like dzn: use --from dzn."
rm layouts/mixed/dzn_inside.sm
# The hint names another layout only when that layout's reader reads the file:
# not sm for a cut .mm (one reader), nor anything for a broken JSON text.
head -c 1500 "$data/j301_10.mm" > layouts/cut.mm
printf '[[[[' > layouts/brackets.json
cp "$data/j301_2.sm" layouts/sm_inside.json
head -c 1500 "$data/j301_2.sm" > layouts/cut_sm_inside.json
for case in "layouts/cut.mm|" "layouts/brackets.json|" "layouts/sm_inside.json|its content looks like sm: use --from sm." \
    "layouts/cut_sm_inside.json|"; do
    run_batch 1 --check "${case%%|*}"
    if [ -n "${case#*|}" ]; then contains "$stderr" "${case#*|}"; else
        [[ "$stderr" != *"looks like"* ]] || fail "a hint that can't help: $stderr"
    fi
done
# Layout names without case, as extensions are.
run_batch 0 -q --to JSON --from Rcp -o layouts/upper layouts/psplib/J301_1.rcp
[ -f layouts/upper/J301_1.json ] || fail "--to JSON wrote [$(ls layouts/upper)]"
# Drawings: every sample's, accepted by Graphviz where it is installed.
# (Not the .sm twins: on Windows J301_1 and j301_1 are one name.)
run_batch 0 -q --to dot -o layouts/dot layouts/psplib/*.rcp set set/sub
[ -f layouts/dot/J301_1.dot ] && [ -f layouts/dot/sub/reference_1.dot ] || fail "--to dot wrote $(ls -R layouts/dot)"
if command -v dot > /dev/null; then
    for drawing in layouts/dot/*.dot layouts/dot/*/*.dot; do
        checks=$((checks + 1))
        dot -Tsvg "$drawing" > /dev/null 2> dot.err || fail "dot -Tsvg refused $drawing: $(cat dot.err)"
    done
fi
# A drawing is written only: given as an input it is judged by its content.
run_batch 1 --check layouts/dot/sub/reference_1.dot
contains "$stderr" "layouts/dot/sub/reference_1.dot: Invalid input at line 1, column 1: expected the activity count, found \"digraph\""
cp set/sub/reference_1.txt patterson.dot
run_batch 0 -q --check patterson.dot
# JSON: read back as written, and valid by the schema where Debian's jsonschema is.
run_batch 0 -q --to json -o layouts/json layouts/psplib/*.rcp set set/sub
run_batch 0 -q --to rcp -o layouts/json_rcp layouts/json
same_bytes layouts/json_rcp/J301_1.rcp layouts/rcp_again/J301_1.rcp
same_bytes layouts/json_rcp/J301_2.rcp layouts/rcp_again/J301_2.rcp
run_batch 0 --stats layouts/json/J301_1.json layouts/psplib/J301_1.rcp
[ "$(cut -d, -f2- <<< "$stdout" | sort -u | wc -l)" == 2 ] || fail "--stats of json differs from rcp: [$stdout]"
schema=$(dirname "$data")/../schema/instance.schema.json
if /usr/bin/python3 -c "import jsonschema" 2> /dev/null; then
    checks=$((checks + 1))
    /usr/bin/python3 "$(dirname "$data")/validate_json.py" "$schema" layouts/json/*.json > schema.out 2>&1 ||
        fail "outputs that the schema refuses: $(cat schema.out)"
    printf '{"capacities": [1.5], "activities": []}' > layouts/not_ours.json
    ! /usr/bin/python3 "$(dirname "$data")/validate_json.py" "$schema" layouts/not_ours.json > /dev/null 2>&1 ||
        fail "the schema takes a capacity of 1.5"
fi
# MiniZinc data: the benchmarks' bytes, read back to the same values, other producers' files read.
run_batch 0 -q --to dzn -o layouts/dzn layouts/psplib/J301_1.rcp
diff <(tr -d '\r' < layouts/dzn/J301_1.dzn) "$data/J30_1_1.dzn" > /dev/null || fail "--to dzn differs from the benchmarks' file"
run_batch 0 -q --to rcp -o layouts/dzn_rcp "$data/J30_1_1.dzn" "$data/dzn_syntax"
same_bytes layouts/dzn_rcp/J30_1_1.rcp layouts/rcp_again/J301_1.rcp
[ "$(ls layouts/dzn_rcp | wc -l)" == 4 ] || fail "the syntax samples gave $(ls layouts/dzn_rcp)"
run_batch 0 --stats "$data/J30_1_1.dzn" layouts/psplib/J301_1.rcp
[ "$(cut -d, -f2- <<< "$stdout" | sort -u | wc -l)" == 2 ] || fail "--stats of dzn differs from rcp: [$stdout]"
# --check finds the same in every layout that holds the instance.
run_batch 0 -q --to json -o layouts/broken_json layouts/broken_net.rcp
run_batch 1 --check layouts/broken_json/broken_net.json
[ "$stdout" == "layouts/broken_json/broken_net.json: invalid: activities[0]: activities[2] can't be reached from it
layouts/broken_json/broken_net.json: invalid: activities[1]: successor 4 is outside 0..2
layouts/broken_json/broken_net.json: invalid: activities[1]: activities[2] can't be reached from it
layouts/broken_json/broken_net.json: invalid: activities[2]: can't be reached from activities[0]" ] ||
    fail "--check of json named [$stdout]"
printf 'n_res = 1;\nrc = [ 5 ];\nn_tasks = 2;\nd = [ 1, 1 ];\nrr = [| 6, 1 |];\nsuc = [ { 2 }, { } ];\n' > layouts/over.dzn
run_batch 1 --check layouts/over.dzn
[ "$stdout" == "layouts/over.dzn: infeasible: task 1: demand 6 for resource 1 is above its capacity 5, so that no schedule exists" ] ||
    fail "--check of dzn named [$stdout]"
# As a table, for pandas: file, level, element, message.
run_batch 1 --check --csv layouts/over.dzn layouts/broken_json/broken_net.json
[ "$stdout" == "file,level,element,message
layouts/over.dzn,infeasible,task 1,\"demand 6 for resource 1 is above its capacity 5, so that no schedule exists\"
layouts/broken_json/broken_net.json,invalid,activities[0],activities[2] can't be reached from it
layouts/broken_json/broken_net.json,invalid,activities[1],successor 4 is outside 0..2
layouts/broken_json/broken_net.json,invalid,activities[1],activities[2] can't be reached from it
layouts/broken_json/broken_net.json,invalid,activities[2],can't be reached from activities[0]" ] ||
    fail "--check --csv gave [$stdout]"
contains "$stderr" "2 checked: 1 invalid, 1 infeasible, 0 with notes, 0 failed"
run_batch 2 --csv layouts/over.dzn
contains "$stderr" "--csv goes with --check"
run_batch 0 --check "$data/J30_1_1.dzn" layouts/json/J301_1.json layouts/psplib/J301_1.rcp
printf '4 0\n0 1 2\n1 2 3 3\n1 1 4\n0 0\n' > layouts/twice.rcp
run_batch 1 --to dzn -o layouts/twice_out layouts/twice.rcp
contains "$stderr" "layouts/twice.rcp: Can't write the dzn layout: activity 2 lists successor 3 twice, which a set can't hold."
[ ! -e layouts/twice_out/twice.dzn ] || fail "a refused dzn was written"
# Several layouts from one read: each output as --to of that layout alone writes it.
run_batch 0 -q --to dzn,json,sm -o layouts/three layouts/psplib/J301_1.rcp
for layout in dzn json sm; do
    run_batch 0 -q --to $layout -o layouts/one_$layout layouts/psplib/J301_1.rcp
    same_bytes layouts/three/J301_1.$layout layouts/one_$layout/J301_1.$layout
done
run_batch 0 -u --to dzn,json,sm -o layouts/three layouts/psplib/J301_1.rcp
contains "$stderr" "0 converted, 1 skipped"
rm layouts/three/J301_1.json
run_batch 0 -u --to dzn,json,sm -o layouts/three layouts/psplib/J301_1.rcp
contains "$stderr" "1 converted, 0 skipped"
run_batch 1 --to json,dzn -o layouts/twice_both layouts/twice.rcp
[ ! -e layouts/twice_both/twice.json ] || fail "a json was written beside a refused dzn"
# Compressed inputs convert as the plain file does, named by the name under the suffix.
mkdir -p layouts/compressed/gz layouts/compressed/xz
gzip -c layouts/psplib/J301_1.rcp > layouts/compressed/gz/J301_1.rcp.gz
compressed_kinds=(gz)
if command -v xz > /dev/null; then
    xz -c layouts/psplib/J301_1.rcp > layouts/compressed/xz/J301_1.rcp.xz
    compressed_kinds+=(xz)
fi
run_batch 0 -q -r --to dzn,json,sm -o layouts/from_compressed layouts/compressed
for kind in "${compressed_kinds[@]}"; do
    for layout in dzn json sm; do
        same_bytes "layouts/from_compressed/$kind/J301_1.$layout" layouts/three/J301_1.$layout
    done
done
head -c 200 layouts/compressed/gz/J301_1.rcp.gz > layouts/compressed/cut.rcp.gz
run_batch 1 --check layouts/compressed/cut.rcp.gz
[ "$stderr" == "layouts/compressed/cut.rcp.gz: Can't decompress the input file: the gzip data is cut short at byte 200.
converter-batch: 0 checked: 0 invalid, 0 infeasible, 0 with notes, 1 failed, 200 bytes in, 0.00 s" ] ||
    [[ "$stderr" == *"cut short at byte 200."*"1 failed, 200 bytes in"* ]] || fail "a cut gzip gave [$stderr]"
cp layouts/psplib/J301_1.rcp layouts/plain_twin.rcp
gzip -c layouts/psplib/J301_1.rcp > layouts/plain_twin.rcp.gz
run_batch 2 --to json -o layouts/twins layouts/plain_twin.rcp layouts/plain_twin.rcp.gz
contains "$stderr" "nothing was written; take the compressed files or the others, as with -i '*.gz'."
# A whole set in one JSON Lines file, in input order; each line reads back as
# the instance its input holds.
run_batch 0 -q --bundle layouts/set.jsonl layouts/psplib/J301_1.rcp "$data/J30_1_1.dzn" "$data/j301_2.sm"
[ "$(wc -l < layouts/set.jsonl)" == 3 ] || fail "the bundle holds $(wc -l < layouts/set.jsonl) lines"
line_number=0
for input in layouts/psplib/J301_1.rcp "$data/J30_1_1.dzn" "$data/j301_2.sm"; do
    line_number=$((line_number + 1))
    sed -n "${line_number}p" layouts/set.jsonl | tr -d '\r' > layouts/line.json
    contains "$(cut -c1-200 layouts/line.json)" "{\"name\": \"$input\", "
    "${batch_command[@]}" -q --to json - < layouts/line.json > layouts/line_again.json
    "${batch_command[@]}" -q --to json - < "$input" > layouts/input_as.json
    same_bytes layouts/line_again.json layouts/input_as.json
done
if /usr/bin/python3 -c "import jsonschema" 2> /dev/null; then
    checks=$((checks + 1))
    /usr/bin/python3 "$(dirname "$data")/validate_json.py" "$schema" layouts/set.jsonl > schema.out 2>&1 ||
        fail "a bundle that the schema refuses: $(cat schema.out)"
fi
# Read back, a bundle gives each instance again, under the name it holds.
run_batch 0 -q --to json -o layouts/unbundled layouts/set.jsonl
for pair in layouts/psplib/J301_1.rcp:layouts/psplib/J301_1.json "$data/J30_1_1.dzn:J30_1_1.json" \
    "$data/j301_2.sm:j301_2.json"; do
    "${batch_command[@]}" -q --to json - < "${pair%%:*}" > layouts/input_as.json
    same_bytes "layouts/unbundled/${pair##*:}" layouts/input_as.json
done
run_batch 0 -q --bundle layouts/set_again.jsonl layouts/set.jsonl
same_bytes layouts/set_again.jsonl layouts/set.jsonl
# A bundle's line is measured and checked under the name it holds.
run_batch 0 --stats layouts/set.jsonl
contains "$stdout" "
$data/j301_2.sm,32,4,48,"
printf '{"name": "bad.sm", "capacities": [1], "activities": [{"duration": 0, "demands": [0], "successors": [x]}]}\n' \
    >> layouts/set_again.jsonl
run_batch 1 --check layouts/set_again.jsonl
contains "$stderr" "layouts/set_again.jsonl:4 (bad.sm): Invalid input at line 4, column 101: expected successor 1 of activity 0, found \"x\", which is not an integer."
contains "$stderr" "3 checked: 0 invalid, 0 infeasible, 0 with notes, 1 failed"
# A bundle kept beside its set is no input of the next run.
mkdir -p layouts/bundled
cp "$data/j301_2.sm" layouts/bundled/
run_batch 0 -q --bundle layouts/bundled/set.jsonl layouts/bundled
run_batch 0 --bundle layouts/bundled/set.jsonl layouts/bundled
contains "$stderr" "converter-batch: 1 converted, 0 failed"
run_batch 1 --bundle layouts/refused.jsonl layouts/psplib/J301_1.rcp layouts/broken_net.rcp set/missing.txt
[ "$(wc -l < layouts/refused.jsonl)" == 2 ] || fail "a bundle with a failed file holds $(wc -l < layouts/refused.jsonl) lines"
run_batch 0 -q --bundle - layouts/psplib/J301_1.rcp
contains "$stdout" "{\"name\": \"layouts/psplib/J301_1.rcp\""
run_batch 1 --bundle layouts/no/such/dir.jsonl layouts/psplib/J301_1.rcp
contains "$stderr" "layouts/no/such/dir.jsonl: Can't create the output file:"
# A bundle named .gz or .xz is written compressed, as pandas and zcat read it.
for kind in gz xz; do
    run_batch 0 -q --bundle "layouts/set_again.jsonl.$kind" layouts/set.jsonl
    if [ "$kind" == gz ]; then zcat "layouts/set_again.jsonl.$kind"; else xzcat "layouts/set_again.jsonl.$kind"; fi |
        tr -d '\r' > layouts/unpacked.jsonl
    same_bytes layouts/unpacked.jsonl <(tr -d '\r' < layouts/set.jsonl)
    # Read back as a bundle, line by line, as the plain file is.
    run_batch 0 -q --to json -o "layouts/unbundled_$kind" "layouts/set_again.jsonl.$kind"
    diff -r layouts/unbundled "layouts/unbundled_$kind" > /dev/null || fail "a .jsonl.$kind read back differs"
    run_batch 0 --stats "layouts/set_again.jsonl.$kind"
    contains "$stdout" "
$data/j301_2.sm,32,4,48,"
done
# A bundle is never written over one of its inputs, by whatever name.
cp "$data/j301_2.sm" layouts/bundled/over.sm
cp layouts/bundled/over.sm layouts/over_before.sm
cp layouts/set.jsonl layouts/set_before.jsonl
for arguments in "layouts/bundled/over.sm layouts/bundled/over.sm" "layouts/bundled/over.sm layouts/bundled" \
    "layouts/set.jsonl layouts/set.jsonl" "layouts/./set.jsonl layouts/set.jsonl"; do
    run_batch 2 --bundle $arguments
    contains "$stderr" "converter-batch: the bundle would be written to ${arguments%% *}, which is the input"
    contains "$stderr" "nothing was written; give --bundle another file."
done
same_bytes layouts/bundled/over.sm layouts/over_before.sm
same_bytes layouts/set.jsonl layouts/set_before.jsonl
rm layouts/bundled/over.sm
# A name that can't be a file's (a NUL, a line end, a hidden or empty last
# part) gives the unnamed form, with a warning; names that collide are named
# by their lines.
held=$(head -n 1 layouts/set.jsonl | tr -d '\r')
held=${held#*\", }
mkdir -p layouts/hostile
echo keep > layouts/hostile/keep.txt
for name in 'x\u0000first' 'x\u0000second' 'keep.txt\u0000' 'a\nb' '.' 'a/..' '..\\x5' '.hidden'; do
    printf '{"name": "%s", %s\n' "$name" "$held"
done > layouts/hostile.jsonl
run_batch 0 --to json -o layouts/hostile layouts/hostile.jsonl
contains "$stderr" "layouts/hostile.jsonl:1: the name it holds is no file name"
contains "$stderr" "layouts/hostile.jsonl:8: the name it holds is no file name"
contains "$stderr" "written as hostile_3.json instead."
contains "$stderr" "8 converted, 0 failed"
[ "$(cat layouts/hostile/keep.txt)" == keep ] || fail "a name with a NUL replaced keep.txt"
# (On Windows a backslash parts a path: ..\x5 goes up, and gives its last part.)
expected_names="hostile_1.json hostile_2.json hostile_3.json hostile_4.json hostile_5.json hostile_6.json hostile_7.json hostile_8.json keep.txt "
[ "$windows" = 1 ] && expected_names="hostile_1.json hostile_2.json hostile_3.json hostile_4.json hostile_5.json hostile_6.json hostile_8.json keep.txt x5.json "
[ "$(ls -A layouts/hostile | tr '\n' ' ')" == "$expected_names" ] ||
    fail "hostile names gave $(ls -A layouts/hostile | tr '\n' ' ')"
printf '{"name": "twice", %s\n{"name": "twice", %s\n' "$held" "$held" > layouts/twice.jsonl
run_batch 2 --to json -o layouts/twice layouts/twice.jsonl
[ "$stderr" == "converter-batch: layouts/twice.jsonl:1 and layouts/twice.jsonl:2 hold names that collide: both would be written to layouts/twice/twice.json
converter-batch: nothing was written; give the instances of the lines distinct names." ] || fail "colliding names gave [$stderr]"
# A file name that is no UTF-8 is written as JSON can hold it.
if [ "$windows" = 0 ]; then
    cp "$data/j301_2.sm" "layouts/lat$(printf '\351').sm"
    run_batch 0 -q --bundle - "layouts/lat$(printf '\351').sm"
    [[ "$stdout" == *"{\"name\": \"layouts/lat"$'\xef\xbf\xbd'".sm\""* ]] || fail "a Latin-1 name gave ${stdout:0:40}"
fi
# RCPSP/max: general time lags carried through sch, dzn (MiniZinc's rcpsp_max
# data, as the benchmarks write them) and json; refused where a layout holds none.
mkdir -p layouts/max
cp "$data/j10_PSP33.SCH" "$data/ubo10_psp5.sch" layouts/max/
run_batch 0 -q --from sch --to sch,dzn,json -o layouts/max_out layouts/max
# (CR LF on Windows, as every output there.)
tr -d '\r' < layouts/max_out/j10_PSP33.sch > layouts/max_out/j10.lf
tr -d '\r' < layouts/max_out/ubo10_psp5.sch > layouts/max_out/ubo10.lf
same_bytes layouts/max_out/j10.lf "$data/j10_PSP33.SCH"
same_bytes layouts/max_out/ubo10.lf "$data/ubo10_psp5.sch"
diff <(tr -d '\r' < layouts/max_out/j10_PSP33.dzn) "$data/psp_j10_33.dzn" > /dev/null ||
    fail "--to dzn of an RCPSP/max file differs from the benchmarks' file"
run_batch 0 --check layouts/max layouts/max_out/j10_PSP33.json "$data/psp_j10_33.dzn"
contains "$stderr" "4 checked: 0 invalid, 0 infeasible, 0 with notes"
run_batch 0 --stats --from sch layouts/max/j10_PSP33.SCH
contains "$stdout" "layouts/max/j10_PSP33.SCH,12,5,23,1.9167,0.7600,0.1667,24,55"
run_batch 1 --to sm -o layouts/max_sm layouts/max/j10_PSP33.SCH
# Named as the input numbers its activities: the .sch line of activity 1 → 7.
contains "$stderr" "Can't write the sm layout: activity 1 → 7 has the time lag 6; the sm layout holds only lags equal to the durations."
[ ! -e layouts/max_sm/j10_PSP33.sm ] || fail "a refused sm was written"
# A cycle whose lags add up to more than 0 is the one finding.
sed 's/\[-9\]/[-8]/' layouts/max/j10_PSP33.SCH > layouts/tight.sch
run_batch 1 --check layouts/tight.sch
[ "$stdout" == "layouts/tight.sch: infeasible: activity 4: on a cycle of 2 activities whose time lags add up to 1, more than 0, so that no schedule exists: 4 -> 10 -> 4" ] ||
    fail "the tight cycle gave [$stdout]"
run_batch 0 --stats layouts/tight.sch
contains "$stdout" "layouts/tight.sch,12,5,23,1.9167,0.7600,,,55"
# The sch form of the last line is carried through JSON: byte for byte back.
for name in j10_PSP33.SCH ubo10_psp5.sch; do
    "${batch_command[@]}" -q --from sch --to json - < "$data/$name" | "${batch_command[@]}" -q --from json --to sch - |
        tr -d '\r' > layouts/via_json.sch
    same_bytes layouts/via_json.sch "$data/$name"
done
# PSPLIB's header (basedata name, seed, horizon, project information) is
# carried: sm -> sm and sm -> json -> sm give the file back byte for byte.
for name in j301_1 j301_2; do
    "${batch_command[@]}" -q --to sm - < "$data/$name.sm" | tr -d '\r' > layouts/again.sm
    same_bytes layouts/again.sm "$data/$name.sm"
    "${batch_command[@]}" -q --to json - < "$data/$name.sm" | "${batch_command[@]}" -q --from json --to sm - |
        tr -d '\r' > layouts/via_json.sm
    same_bytes layouts/via_json.sm "$data/$name.sm"
done
# --verify: schedules against their instances, each sample's verdict.
current="--verify"
schedules="$data/schedules"
verify_case() { # STATUS INSTANCE SCHEDULE ROW [VIOLATION]
    run_batch "$1" --verify --reference psplib "$schedules/$2" "$schedules/$3"
    [ "$stdout" == "instance,schedule,solutions,feasible,makespan,reported_makespan,optimal,reference,gap
$schedules/$2,$schedules/$3,$4" ] || fail "--verify $3 gave [$stdout]"
    if [ -n "${5:-}" ]; then contains "$stderr" "$schedules/$3: $5"; fi
}
verify_case 0 j301_1.sm j301_1.minizinc.txt "7,true,43,43,true,43,0.00"
verify_case 1 j301_1.sm j301_1.precedence.json "1,false,43,,false,43," "job 11 starts at 11, before job 2 ends at 12"
verify_case 0 j1010_1.mm j1010_1.minizinc-json.txt "4,true,17,17,true,,"
verify_case 1 j1010_1.mm j1010_1.nonrenewable.json "1,false,17,,false,," "resource N 1: the chosen modes need 46, above its capacity 42"
verify_case 0 PSP1.SCH PSP1.minizinc-dzn.txt "1,true,26,26,true,,"
verify_case 1 PSP1.SCH PSP1.maximal-lag.json "1,false,28,,false,," "activity 1 starts at 3, before 4, which the time lag -22 of 8 -> 1 asks (activity 8 starts at 26)"
verify_case 0 tiny-rcpsp.json tiny-rcpsp.schedule.json "1,true,5,,false,,"
verify_case 1 tiny-mrcpsp.json tiny-mrcpsp.schedule.json "1,false,4,,false,," "activities[1] is given mode 3, which it does not have (modes 1..2)"
verify_case 0 tiny-max.sch tiny-max.schedule.json "1,true,5,,false,,"
if /usr/bin/python3 -c "import jsonschema" 2> /dev/null; then
    checks=$((checks + 1))
    for plain in tiny-mrcpsp.schedule.json j301_1.precedence.json; do
        /usr/bin/python3 "$(dirname "$data")/validate_json.py" "$(dirname "$schema")/schedule.schema.json" \
            "$schedules/$plain" > schema.out 2>&1 || fail "a plain schedule that the schema refuses: $(cat schema.out)"
    done
fi
# Every solution counts: the last row's, the others' violations too.
sed 's/^Start times = \[0, 17/Start times = [0, 0/' "$schedules/j301_1.minizinc.txt" > layouts/early.txt
run_batch 1 --verify "$schedules/j301_1.sm" layouts/early.txt
contains "$stdout" "7,false,43,43,true,,"
contains "$stderr" "layouts/early.txt: solution 1: "
# From a pipe, as minizinc writes it; a directory of each, paired by name.
checks=$((checks + 1))
"${batch_command[@]}" -q --verify "$schedules/PSP1.SCH" - < "$schedules/PSP1.minizinc-dzn.txt" > layouts/piped.csv ||
    fail "--verify of standard input failed"
contains "$(tr -d '\r' < layouts/piped.csv)" "PSP1.SCH,-,1,true,26,26,true,,"
run_batch 1 --verify "$schedules" "$schedules"
[ "$(printf '%s\n' "$stdout" | wc -l)" == 10 ] || fail "--verify of a directory gave [$stdout]"
contains "$stdout" "$schedules/tiny-max.sch,$schedules/tiny-max.schedule.json,1,true,5,,false,,"
printf 'problem,optimum\nj301_1.sm,44..50\n' > layouts/bounds.csv
run_batch 1 --verify --reference layouts/bounds.csv "$schedules/j301_1.sm" "$schedules/j301_1.minizinc.txt"
contains "$stdout" ",44..50,"
contains "$stderr" "the makespan 43 is below the reference's lower bound 44: the reference or the schedule is wrong"
run_batch 2 --verify "$schedules/j301_1.sm"
contains "$stderr" "--verify takes two INPUTs"
# --draw: one picture a schedule, named by it, well-formed XML; a set's
# pictures beside the table, one schedule's on standard output alone.
current="--verify --draw"
run_batch 1 --verify "$schedules" "$schedules" --draw pictures
for schedule in j301_1.minizinc j301_1.precedence j1010_1.minizinc-json j1010_1.nonrenewable PSP1.minizinc-dzn \
    PSP1.maximal-lag tiny-rcpsp.schedule tiny-mrcpsp.schedule tiny-max.schedule; do
    [ -s "pictures/$schedule.svg" ] || fail "no picture pictures/$schedule.svg"
done
[ "$(printf '%s\n' "$stdout" | wc -l)" == 10 ] || fail "--draw changed the table: [$stdout]"
if command -v xmllint > /dev/null; then
    checks=$((checks + 1))
    xmllint --noout pictures/*.svg 2> xmllint.out || fail "a picture that is no well-formed XML: $(cat xmllint.out)"
else
    echo "skipped: xmllint (Debian libxml2-utils) is not installed, so the pictures' XML is not checked"
fi
grep -q '#d00000' pictures/j301_1.minizinc.svg && fail "red in the picture of a feasible schedule"
grep -q 'marker-end="url(#arrow)"><title>job 11 starts at 11, before job 2 ends at 12</title>' \
    pictures/j301_1.precedence.svg || fail "the precedence violation is not drawn"
run_batch 0 --verify "$schedules/j301_1.sm" "$schedules/j301_1.minizinc.txt" --reference psplib --draw -
contains "$stdout" "<title>j301_1.sm: makespan 43, feasible, reference 43, gap 0.00 %</title>"
[[ "$stdout" == *instance,schedule* ]] && fail "--draw - wrote the table as well"
run_batch 2 --verify "$schedules" "$schedules" --draw -
contains "$stderr" "--draw - draws one schedule on standard output"
run_batch 2 --check "$schedules/j301_1.sm" --draw pictures
contains "$stderr" "--draw goes with --verify"
# Sets in archives: each member an input at its path, bytes as converter
# writes the files themselves; links, paths out of the archive, devices and
# unread methods refused by name; a damaged archive fails at its place.
current="archives"
archives="$data/archives"
"${batch_command[@]}" -q -o archive_references "$data/j301_1.sm" "$data/J301_1.rcp" "$data/j10_PSP33.SCH" ||
    fail "the archives' instances did not convert"
for file in archive_references/*; do
    if [ "$windows" = 1 ]; then tr -d '\r' < "$file" > "references/archive_${file##*/}"; else cp "$file" "references/archive_${file##*/}"; fi
done
long=a-directory-name-long-enough-that-the-path-passes-the-hundred-bytes-of-a-plain-tar-header
for archive in set.tar set.tgz set.tar.xz set.zip; do
    rm -rf from_archive
    run_batch 0 -o from_archive "$archives/$archive"
    root=from_archive/set
    [ "$archive" == set.zip ] && root=from_archive
    contains "$stderr" "3 converted, 0 failed, 6216 bytes in"
    for pair in "j301_1.sch archive_j301_1.sch" "J301_1.rcp archive_J301_1.rcp" "$long/j10_PSP33.sch archive_j10_PSP33.sch"; do
        read -r output expected <<< "$pair"
        if [ "$windows" = 1 ]; then tr -d '\r' < "$root/$output" > unix.out; else cp "$root/$output" unix.out; fi
        same_bytes unix.out "references/$expected"
    done
    [ "$(find from_archive -type f | wc -l)" == 3 ] || fail "$archive: README or .hidden.sm converted too"
done
run_batch 0 --check "$archives/set.zip"
contains "$stderr" "3 checked: 0 invalid, 0 infeasible, 0 with notes, 0 failed"
run_batch 0 --stats "$archives/set.tgz"
contains "$stdout" "$archives/set.tgz/set/j301_1.sm,32,4,48,"
run_batch 0 --bundle - "$archives/set.tar.xz"
contains "$stdout" '{"name": "set/j301_1.sm", '
run_batch 1 -o from_archive "$archives/refused.tar"
contains "$stderr" "refused.tar/link.sm: The member is a link (to ../../etc/passwd); links in an archive are not followed."
contains "$stderr" "refused.tar/../up.sm: The member's path goes up out of the archive; it is not read."
contains "$stderr" "refused.tar//absolute.sm: The member's path is absolute; it is not read."
contains "$stderr" "refused.tar/fifo.sm: The member is no regular file (a device, a pipe); it is not read."
contains "$stderr" "1 converted, 4 failed"
run_batch 1 --check "$archives/refused.zip"
contains "$stderr" "refused.zip/link.sm: The member is a link; links in an archive are not followed."
contains "$stderr" "refused.zip/sub/../../up.sm: The member's path goes up out of the archive; it is not read."
contains "$stderr" "refused.zip/bzip2.sm: The member is compressed by method 12, which is not read; only stored and deflated members are."
[ -e up.sm ] || [ -e ../up.sm ] && fail "a member was written out of the archive's place"
head -c 5000 "$archives/set.tar" > cut.tar
run_batch 1 --check cut.tar
contains "$stderr" "cut.tar: Can't read the archive: it ends within the member set/j301_1.sm, at byte 5000."
cp "$archives/set.tar" damaged.tar
printf 'XX' | dd of=damaged.tar bs=1 seek=5130 conv=notrunc 2> /dev/null
run_batch 1 --check damaged.tar
contains "$stderr" "damaged.tar: Can't read the archive: a tar header's checksum does not match, at byte 5120."
contains "$stderr" "1 checked: 0 invalid, 0 infeasible, 0 with notes, 1 failed"
cp "$archives/set.zip" damaged.zip
printf 'XXXX' | dd of=damaged.zip bs=1 seek=60 conv=notrunc 2> /dev/null
run_batch 1 --check damaged.zip
contains "$stderr" "damaged.zip: Can't read the archive: the member j301_1.sm is damaged, at byte 39."
head -c 1000 "$archives/set.zip" > cut.zip
run_batch 1 --check cut.zip
contains "$stderr" "cut.zip: Can't read the archive: no end of a zip central directory: not a zip archive, or cut short, at byte 1000."
current="layouts"
# Multi-mode instances: PSPLIB's .mm back byte for byte, directly and through
# JSON; MiniZinc's mrcpsp data as the benchmarks ship them, read back to the
# same instance; MMLIB's successors kept in their order; every measure and
# check alike in each layout; layouts without modes refuse and write nothing.
mkdir -p layouts/mm
cp "$data/j105_3.mm" "$data/mmlib_J50100_5.mm" layouts/mm/
run_batch 0 -q --to mm,json,dzn -o layouts/mm_out layouts/mm
tr -d '\r' < layouts/mm_out/j105_3.mm > layouts/mm_again.mm
same_bytes layouts/mm_again.mm "$data/j105_3.mm"
"${batch_command[@]}" -q --from json --to mm - < layouts/mm_out/j105_3.json | tr -d '\r' > layouts/mm_via_json.mm
same_bytes layouts/mm_via_json.mm "$data/j105_3.mm"
diff <(tr -d '\r' < layouts/mm_out/j105_3.dzn) "$data/j10_5_3.dzn" > /dev/null ||
    fail "--to dzn of a multi-mode file differs from the benchmarks' file"
run_batch 0 -q --to dzn,json -o layouts/mm_dzn "$data/j10_5_3.dzn"
diff <(tr -d '\r' < layouts/mm_dzn/j10_5_3.dzn) "$data/j10_5_3.dzn" > /dev/null || fail "mrcpsp data read and written differ"
contains "$(tr -d '\r' < layouts/mm_out/mmlib_J50100_5.json)" '"successors": [9, 7, 6]},'
run_batch 0 -q --to mm -o layouts/mmlib_via_json layouts/mm_out/mmlib_J50100_5.json
same_bytes layouts/mmlib_via_json/mmlib_J50100_5.mm layouts/mm_out/mmlib_J50100_5.mm
if /usr/bin/python3 -c "import jsonschema" 2> /dev/null; then
    checks=$((checks + 1))
    /usr/bin/python3 "$(dirname "$data")/validate_json.py" "$schema" layouts/mm_out/*.json > schema.out 2>&1 ||
        fail "multi-mode outputs that the schema refuses: $(cat schema.out)"
fi
run_batch 0 --stats layouts/mm/j105_3.mm "$data/j10_5_3.dzn" layouts/mm_out/j105_3.json
[ "$(cut -d, -f2- <<< "$stdout" | sort -u | wc -l)" == 2 ] || fail "--stats of mm, dzn and json differ: [$stdout]"
contains "$stdout" "layouts/mm/j105_3.mm,12,4,18,1.5000,0.5000,0.2154,13,4,32,2,0,1.0000,0.1952"
run_batch 0 --check layouts/mm "$data/j10_5_3.dzn" layouts/mm_out
contains "$stderr" "9 checked: 0 invalid, 0 infeasible, 0 with notes"
# PSPLIB's j301_10.mm has no choice of modes within its nonrenewable
# capacities, which no sum of smallest demands alone shows; alike from dzn.
run_batch 0 -q --to dzn,json -o layouts/infeasible "$data/j301_10.mm"
for input in "$data/j301_10.mm" layouts/infeasible/j301_10.dzn layouts/infeasible/j301_10.json; do
    run_batch 1 --check "$input"
    [ "$stdout" == "$input: infeasible: resources 3 and 4, counted over the whole project: no choice of one mode per activity keeps within all their capacities, so that no schedule exists" ] ||
        fail "--check of j301_10 gave [$stdout]"
done
for layout in sm rcp sch; do
    run_batch 1 --to $layout -o layouts/mm_refused layouts/mm/j105_3.mm
    hint=""
    [ "$layout" == sm ] && hint=" (use --to mm)"
    contains "$stderr" "layouts/mm/j105_3.mm: Can't write the $layout layout: job 2 has 3 modes; the $layout layout holds one mode per activity$hint."
done
[ -z "$(ls -A layouts/mm_refused 2> /dev/null)" ] || fail "a refused layout wrote $(ls layouts/mm_refused)"
printf '{"capacities": [4], "kinds": ["doubly constrained"], "activities": [{"duration": 0, "demands": [0], "successors": [1]}, {"duration": 0, "demands": [0], "successors": []}]}' > layouts/doubly.json
run_batch 1 --to dzn -o layouts/mm_refused layouts/doubly.json
contains "$stderr" "layouts/doubly.json: Can't write the dzn layout: resource 1 is doubly constrained, which MiniZinc's mrcpsp model has no place for."
run_batch 0 -q --to mm -o layouts/doubly_mm layouts/doubly.json
contains "$(tr -d '\r' < layouts/doubly_mm/doubly.mm)" "  - doubly constrained        :  1   D"
# A note beside the instances says how to leave it out.
mkdir -p layouts/with_note
cp "$data/j301_2.sm" layouts/with_note/
printf 'These are PSPLIB instances.\n' > layouts/with_note/README.txt
run_batch 1 --check layouts/with_note
contains "$stderr" "layouts/with_note/README.txt: Invalid input at line 1, column 1: expected the activity count, found \"These\", which is not an integer. If it holds no instance, take only the instances with -i, as in -i '*.sm'."
run_batch 1 --check layouts/with_note/README.txt
[[ "$stderr" != *"-i, as in"* ]] || fail "a file named on the command line got the -i hint"
run_batch 2 --from dot -o x set
contains "$stderr" "converter-batch: --from needs a layout (rcp, sch, sm, mm, dzn or json), not \"dot\"."
run_batch 0 --help
contains "$stdout" "sm    .sm   PSPLIB's single-mode layout"

current="a reader of standard output that goes away"
# More output than a pipe holds: the reader is gone before the last write.
awk 'BEGIN { n = 20000; print n, 1; print 10; for (i = 1; i <= n; i++) print i % 7, i % 10, (i < n ? 1 : 0), (i < n ? i + 1 : "") }' > chain.txt
checks=$((checks + 1))
"${batch_command[@]}" -q --to json - < chain.txt 2> closed_pipe.err | head -c 10 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" == 141 ] || fail "status $status for - into a closed pipe [$(cat closed_pipe.err)]"
[ ! -s closed_pipe.err ] || fail "a closed pipe said [$(cat closed_pipe.err)]"

current="standard output that can't be written"
if [ "$windows" = 0 ]; then
    # The set has no findings: without the failed writes, both would end with 0.
    run_batch 0 --stats set
    for mode in --stats --check; do
        checks=$((checks + 1))
        [ "$mode" == --check ] && source_dir=checked/broken.txt || source_dir=set
        "${batch_command[@]}" "$mode" "$source_dir" > /dev/full 2> full.err
        [ $? == 1 ] || fail "status $? for $mode into a full disk"
        contains "$(cat full.err)" "converter-batch: Writing standard output failed: No space left on device."
        "${batch_command[@]}" "$mode" "$source_dir" >&- 2> closed.err
        [ $? == 1 ] || fail "status $? for $mode into a closed standard output"
        contains "$(cat closed.err)" "converter-batch: Writing standard output failed: Bad file descriptor."
    done
    checks=$((checks + 1))
    "${batch_command[@]}" - < "$data/c001.txt" > /dev/full 2> full.err
    [ $? == 1 ] || fail "status $? for - into a full disk"
    contains "$(cat full.err)" "converter-batch: Writing standard output failed: No space left on device."
    "${batch_command[@]}" --help > /dev/full 2> full.err
    [ $? == 1 ] || fail "status $? for --help into a full disk"
fi

current="standard input to standard output"
checks=$((checks + 1))
"${batch_command[@]}" - < "$data/c001.txt" > piped.txt 2> piped.err || fail "status $? through a pipe"
same_bytes piped.txt references/c001.txt
cat "$data/reference_1.txt" | "${batch_command[@]}" -q - > piped.txt 2> piped.err
same_bytes piped.txt references/reference_1.txt
# A pipe has no size: the bytes read are counted (on Windows as text mode hands
# them on, CR LF read as LF).
size=$(wc -c < "$data/c001.txt" | tr -d ' ')
[ "$windows" = 0 ] || size=$(tr -d '\r' < "$data/c001.txt" | wc -c | tr -d ' ')
for mode in check stats convert; do
    checks=$((checks + 1))
    case $mode in
    check) cat "$data/c001.txt" | "${batch_command[@]}" --check - > /dev/null 2> piped.err ;;
    stats) cat "$data/c001.txt" | "${batch_command[@]}" --stats - > /dev/null 2> piped.err ;;
    convert) cat "$data/c001.txt" | "${batch_command[@]}" - > /dev/null 2> piped.err ;;
    esac
    contains "$(tr -d '\r' < piped.err)" "failed, $size bytes in"
done
printf '3 0\n7 2 2 x\n' | "${batch_command[@]}" - > piped.txt 2> piped.err
[ $? == 1 ] && [ ! -s piped.txt ] || fail "a bad instance on standard input wrote [$(cat piped.txt)]"
contains "$(tr -d '\r' < piped.err)" "(standard input): Invalid input at line 2, column 7"

if [ "$windows" = 1 ]; then
    current="Windows: names outside any code page"
    export LANG=C.UTF-8 # so that Wine hands the arguments on as they are
    unicode="set-Ζωή-数据-ß"
    mkdir "$unicode"
    cp "$data/c001.txt" "$unicode/ά-实例.txt"
    cp "$data/reference_1.txt" "$unicode/b-ß.txt"
    printf '3 0\n7 2 2 x\n' > "$unicode/κακό-坏.txt"
    run_batch 1 -o "out-Ζωή" "$unicode"
    [ "$(ls "out-Ζωή" | tr '\n' ' ')" == "b-ß.txt ά-实例.txt " ] || fail "out-Ζωή holds $(ls "out-Ζωή")"
    # The Linux build's bytes, CR LF aside.
    [ "$(tr -d '\r' < "out-Ζωή/ά-实例.txt" | md5sum)" == "$(md5sum < "$data/c001.expected")" ] || fail "ά-实例.txt differs"
    [ "$(tr -d '\r' < "out-Ζωή/b-ß.txt" | md5sum)" == "$(md5sum < "$data/reference_1.expected")" ] || fail "b-ß.txt differs"
    contains "$stderr" "$unicode/κακό-坏.txt: Invalid input at line 2, column 7"
    run_batch 0 -q -s .out "$unicode\ά*.txt"
    [ -f "$unicode/ά-实例.out" ] || fail "a wildcard over such names took nothing"
    run_batch 0 --stats "$unicode\b-*"
    contains "$stdout" "$unicode/b-ß.txt,5,2,6,1.2000,1.0000,1.2500,4,3"

    current="Windows: paths longer than 260 characters"
    deep=$(printf 'level-%s-abcdefghijklmnopqrstuvwxyz0123456789-Ωμέγα/' 1 2 3 4 5 6)
    mkdir -p "$deep"
    cp "$data/reference_1.txt" "$deep/instance-数据.txt"
    long_input="Z:$work/$deep/instance-数据.txt"
    [ "${#long_input}" -gt 260 ] || fail "the test path has only ${#long_input} characters"
    run_batch 0 -q -o "$deep/out" "$deep/instance-数据.txt"
    [ "$(tr -d '\r' < "$deep/out/instance-数据.txt" | md5sum)" == "$(md5sum < "$data/reference_1.expected")" ] ||
        fail "the output under a long path differs"
    run_batch 0 -q -s .tsv "$deep"
    [ -f "$deep/instance-数据.tsv" ] || fail "a directory under a long path gave no output"
    run_batch 0 --check -i "*.txt" "$deep"

    current="Windows: a directory of sm files to rcp, with CR LF"
    mkdir -p sm_set
    cp "$data/j301_1.sm" "$data/j301_2.sm" sm_set/
    run_batch 0 --to rcp -o sm_to_rcp sm_set
    for number in 1 2; do
        grep -q $'\r$' "sm_to_rcp/j301_$number.rcp" || fail "j301_$number.rcp has no CR LF line ends"
        [ "$(grep -vc $'\r$' "sm_to_rcp/j301_$number.rcp")" == 0 ] || fail "j301_$number.rcp mixes line ends"
        diff <(tr -d '\r' < "sm_to_rcp/j301_$number.rcp") <(tr -d '\r' < "layouts/rcp/j301_$number.rcp") > /dev/null ||
            fail "j301_$number.rcp differs from the values of its sm file"
    done
    out_size=$(cat sm_to_rcp/* | wc -c)
    contains "$stderr" " bytes in, $out_size bytes out, "

    current="Windows: standard output's bytes out as stored, CR LF"
    "${batch_command[@]}" - < "$data/reference_1.txt" > piped.txt 2> piped.err
    out_size=$(wc -c < piped.txt)
    grep -q $'\r$' piped.txt || fail "standard output got no CR LF line ends"
    contains "$(cat piped.err)" " bytes in, $out_size bytes out, "

    current="Windows: wildcards, backslashes"
    run_batch 0 -o wild 'set\*.txt' 'set\sub\ref*'
    [ "$(ls wild | tr '\n' ' ')" == "a001.txt b0001.txt c001.txt reference_1.txt " ] || fail "wild holds $(ls wild)"
    same_bytes wild/c001.txt references/c001.txt
    run_batch 1 -o wild 'set\nothing*.txt'
    contains "$stderr" 'set/nothing*.txt: No file matches this pattern.'
fi

if [ "$windows" = 0 ]; then
    current="a full disk"
    mkdir small
    if mount -t tmpfs -o size=48k tmpfs small 2> /dev/null; then
        cp "$data/a001.txt" small/keep.txt
        # 12 pages: c001's output (49 KB) does not fit beside the two small files.
        run_batch 1 -o small "$data/c001.txt" "$data/a001.txt"
        contains "$stderr" "c001.txt: Writing the output file failed: No space left on device."
        no_temporary_files small
        same_bytes small/a001.txt references/a001.txt
        umount small
    else
        # No mount here: a file size limit fails the write the same way.
        echo "keep" > small/c001.txt
        checks=$((checks + 1))
        (trap '' XFSZ; ulimit -f 16; "${batch_command[@]}" -o small "$data/c001.txt" "$data/a001.txt" 2> full.err)
        [ $? == 1 ] || fail "status $? when the disk is full"
        contains "$(cat full.err)" "c001.txt: Writing the output file failed: File too large."
        [ "$(cat small/c001.txt)" == keep ] || fail "a failed write changed the existing output"
        same_bytes small/a001.txt references/a001.txt
        no_temporary_files small
    fi

    current="an output directory that can't be made is named once"
    printf 'x' > blocker
    run_batch 1 -r -o blocker/out set
    [[ "$stderr" == "converter-batch: Can't create the output directory blocker/out: Not a directory (4 files not converted).
converter-batch: 0 converted, 4 failed, 0 bytes in, 0 bytes out, "* ]] || fail "stderr was [$stderr]"
    mkdir read_only
    if mount -t tmpfs -o ro,size=16k tmpfs read_only 2> /dev/null; then
        run_batch 1 -r -o read_only set
        [ "$(grep -v '^converter-batch: [0-9]* converted' <<< "$stderr")" == "converter-batch: Can't create files in the output directory read_only: Read-only file system (3 files not converted).
converter-batch: Can't create the output directory read_only/sub: Read-only file system (1 file not converted)." ] ||
            fail "stderr was [$stderr]"
        umount read_only
    fi

    current="an interrupt leaves no temporary file and says so"
    mkdir large
    awk 'BEGIN { n = 300000; print n, 1; print 10; for (i = 1; i <= n; i++) print i % 7, i % 10, (i < n ? 1 : 0), (i < n ? i + 1 : "") }' > large/1.txt
    for ((i = 2; i <= 100; ++i)); do ln large/1.txt "large/$i.txt"; done
    reference_output large/1.txt references/large.txt
    set -m # so that the background job gets SIGINT as from a terminal
    # A shell started in the background without job control ignores SIGINT,
    # and so does every program it starts (as the program must): then only
    # SIGTERM can be checked.
    signals="INT TERM"
    [ "$(trap -p INT)" != "trap -- '' SIGINT" ] || signals=TERM
    for signal in $signals; do
        for quiet in -q ""; do
            rm -rf large_out
            checks=$((checks + 1))
            "${batch_command[@]}" $quiet -j 2 -o large_out large 2> interrupt.err &
            pid=$!
            # The signal goes to the program once it runs, which its output
            # directory shows (made after it takes its signals): a fixed sleep
            # on a loaded machine can reach the shell's child before it starts
            # the program, which then never says it was interrupted.
            for ((step = 0; step < 3000; ++step)); do
                [ -d large_out ] && break
                sleep 0.01
            done
            kill "-$signal" "$pid"
            wait "$pid"
            status=$?
            [ "$status" -gt 128 ] || fail "status $status after SIG$signal"
            no_temporary_files large_out
            for output in large_out/*; do [ ! -e "$output" ] || same_bytes "$output" references/large.txt; done
            message=$(cat interrupt.err)
            if [ -n "$quiet" ]; then
                [ -z "$message" ] || fail "a quiet run said [$message]"
            elif [ "$status" -gt 128 ]; then
                [[ "$message" =~ ^converter-batch:\ interrupted\ after\ [0-9]+\ of\ 100\ files\;\ nothing\ half-written\ is\ left\.$ ]] ||
                    fail "after SIG$signal: [$message]"
            fi
        done
    done
    [ "$signal" == TERM ] && [ "$status" == 143 ] || fail "status $status after SIGTERM"
    # An interrupted --stats keeps the rows measured, each whole, in input order.
    checks=$((checks + 1))
    "${batch_command[@]}" --stats -j 2 large > interrupted.csv 2> interrupt.err &
    pid=$!
    for ((step = 0; step < 3000; ++step)); do
        [ "$(wc -l < interrupted.csv)" -ge 3 ] && break
        sleep 0.01
    done
    kill "-${signals%% *}" "$pid"
    wait "$pid"
    status=$?
    rows=$(($(wc -l < interrupted.csv) - 1))
    [ "$status" -gt 128 ] && [ "$rows" -ge 2 ] && [ "$rows" -lt 100 ] || fail "status $status, $rows rows"
    [ "$(tail -n +2 interrupted.csv | cut -d, -f1)" == "$(printf '%s\n' large/*.txt | LC_ALL=C sort | head -n "$rows")" ] ||
        fail "rows out of order: [$(cut -d, -f1 interrupted.csv | head -c 300)]"
    [ "$(tail -n +2 interrupted.csv | cut -d, -f2- | sort -u | wc -l)" == 1 ] || fail "a row cut short"
    set +m

    current="a reader of standard error that goes away"
    mkdir piped_set
    printf '3 0\n7 2 2 x\n' > piped_set/0-bad.txt
    for ((i = 1; i <= 30; ++i)); do ln large/1.txt "piped_set/$i.txt"; done
    for attempt in 1 2 3; do
        rm -rf piped_out
        checks=$((checks + 1))
        exec 3> >(exit 0)
        sleep 0.2 # the pipe's reader is gone
        "${batch_command[@]}" -j 2 -o piped_out piped_set 2>&3
        status=$?
        exec 3>&-
        [ "$status" == 141 ] || fail "status $status when standard error has no reader"
        no_temporary_files piped_out
        for output in piped_out/*; do [ ! -e "$output" ] || same_bytes "$output" references/large.txt; done
    done
    for attempt in 1 2 3 4 5; do
        rm -rf piped_out
        checks=$((checks + 1))
        "${batch_command[@]}" -j 2 -o piped_out piped_set 2>&1 | head -n 1 > /dev/null
        no_temporary_files piped_out
    done

    current="a progress line on a terminal only"
    if command -v script > /dev/null; then
        checks=$((checks + 1))
        script -qec "'$batch' -o progress_out large" /dev/null > terminal.txt 2>&1 < /dev/null
        grep -q "of 100 files, 0 failed" terminal.txt || fail "no progress line on a terminal: [$(head -c 300 terminal.txt)]"
        last=$(tr -d '\n' < terminal.txt | tr '\r' '\n' | tail -n 1)
        [[ "$last" == "converter-batch: 100 converted, 0 failed, "* ]] || fail "progress not erased before [$last]"
        checks=$((checks + 1))
        "$batch" -o progress_out large 2> not_terminal.txt
        ! grep -q "of 100 files" not_terminal.txt || fail "a progress line where standard error is not a terminal"
        # Exact byte counts, and from a megabyte on readable ones beside them.
        grep -Eq "^converter-batch: 100 converted, 0 failed, [0-9]+ bytes in \([0-9]+\.[0-9] MB\), [0-9]+ bytes out \([0-9]+\.[0-9]{2} GB\), " not_terminal.txt ||
            fail "the summary was [$(cat not_terminal.txt)]"
        checks=$((checks + 1))
        script -qec "'$batch' --stats -j 1 -i '[1-5].txt' large" /dev/null > terminal.txt 2>&1 < /dev/null
        grep -q "of 5 files, 0 failed" terminal.txt || fail "no progress line for --stats: [$(head -c 300 terminal.txt)]"
        # After three seconds (a slow, sanitized build) the line also shows
        # its rate and the time left; a row must never follow either form.
        ! grep -Eaq "files, [0-9]* failed(, [0-9]+ files/s, [0-9]+ s left)?[^ ,$(printf '\r')]" terminal.txt ||
            fail "a row ran into the progress line: [$(grep -a "failed" terminal.txt | head -c 300)]"
        [ "$(tr '\r' '\n' < terminal.txt | grep -ac '^large/[1-5].txt,300000,1,')" == 5 ] || fail "rows were [$(head -c 600 terminal.txt)]"
    fi
fi

current="memory follows the longest line, not its count of fields"
# Sanitized builds reserve far more address space than any useful limit.
if [ "$windows" = 0 ] && [ "${MEMORY_LIMIT_TEST:-on}" = on ]; then
    # An sm row of 3,900,000 successors without a header (8 MB): the line and
    # its values, 8 MB and 16 MB, fit in a limit that a copy of every field of
    # the line, 96 MB, would pass.
    {
        printf 'PRECEDENCE RELATIONS:\njobnr. #modes #successors successors\n1 1 3900000'
        yes ' 2' | head -n 3900000 | tr -d '\n'
        printf '\n'
        for ((job = 2; job < 2000; job++)); do printf '%d 1 1 %d\n' $job $((job + 1)); done
        printf '2000 1 0\nREQUESTS/DURATIONS:\njobnr. mode duration\n'
        for ((job = 1; job <= 2000; job++)); do printf '%d 1 1\n' $job; done
        printf 'RESOURCEAVAILABILITIES:\n'
    } > long_row.sm
    checks=$((checks + 1))
    (ulimit -v 80000; "$batch" --to json - < long_row.sm > long_row.json 2> long_row.err) ||
        fail "status $?: [$(head -c 300 long_row.err)]"
    [ "$(grep -c '"successors"' long_row.json)" == 2000 ] || fail "the output was [$(head -c 300 long_row.json)]"
fi

echo "$checks converter-batch runs, $failures failures"
[ "$failures" -eq 0 ]
