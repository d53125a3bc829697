#!/usr/bin/env bash
# End-to-end checks of the converter program: answers piped in, standard output,
# exit status and the files on disk.
# Usage: end_to_end.sh CONVERTER DATA_DIR
# With RUNNER set (for example RUNNER=/usr/lib/wine/wine64 for converter.exe), the
# program runs through it and is checked as a Windows program: CR LF line ends in
# its output and prompts, and the checks that need POSIX file system features
# (named pipes, links, /dev/full) are left out. MEMORY_LIMIT_TEST=off leaves out
# the run under a memory limit.
set -u
converter=$(realpath "$1")
data=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

if [ -n "${RUNNER:-}" ]; then
    command=("$RUNNER" "$converter")
    windows=1
    line_end=$'\r\n'
    # The golden files in CR LF, as a text-mode stream on Windows writes them.
    mkdir expected
    for file in "$data"/*.expected; do
        sed 's/$/\r/' "$file" | head -c "$(($(stat -c %s "$file") + $(tr -cd '\n' < "$file" | wc -c)))" \
            > "expected/$(basename "$file")"
    done
    expected=$work/expected
else
    command=("$converter")
    windows=0
    line_end=$'\n'
    expected=$data
fi
prompts="Enter input path${line_end}Enter output path${line_end}"
failures=0
checks=0

fail() {
    echo "FAIL: $current: $*"
    failures=$((failures + 1))
}

# run_expect ANSWERS STDOUT STATUS
run_expect() {
    checks=$((checks + 1))
    stdout=$(printf '%s' "$1" | "${command[@]}"; echo "x$?")
    status=${stdout##*x}
    stdout=${stdout%x*}
    [ "$stdout" == "$2" ] || fail "standard output was [$stdout], expected [$2]"
    [ "$status" == "$3" ] || fail "status was $status, expected $3"
}

same_bytes() { # FILE EXPECTED_FILE
    cmp -s "$1" "$2" || fail "$1 differs from $2"
}

untouched() { # FILE CONTENT
    [ -f "$1" ] && [ "$(cat "$1")" == "$2" ] || fail "$1 was changed"
}

absent() { # FILE
    [ ! -e "$1" ] || fail "$1 was created"
}

empty_file() { # FILE
    [ -f "$1" ] && [ ! -s "$1" ] || fail "$1 should exist and be empty"
}

invalid_input() { # INPUT_TEXT MESSAGE
    printf '%s' "$1" > bad.txt
    echo "old" > bad.out
    run_expect $'bad.txt\nbad.out\n' "$prompts$2" 1
    empty_file bad.out
}

current="golden files"
for name in reference_1 reference_2 a001 b0001 c001; do
    rm -f out.txt
    run_expect "$data/$name.txt"$'\n'"out.txt"$'\n' "$prompts" 0
    same_bytes out.txt "$expected/$name.expected"
done

current="LF and CR LF input give the same output"
tr -d '\r' < "$data/b0001.txt" > lf.txt
sed 's/$/\r/' "$data/reference_1.txt" > crlf.txt
run_expect $'lf.txt lf.out\n' "$prompts" 0
same_bytes lf.out "$expected/b0001.expected"
run_expect $'crlf.txt crlf.out\n' "$prompts" 0
same_bytes crlf.out "$expected/reference_1.expected"

current="both paths on one line, existing output replaced"
echo "previous content that is longer than the result" > out.txt
run_expect "$data/reference_2.txt out.txt"$'\n' "$prompts" 0
same_bytes out.txt "$expected/reference_2.expected"

if [ "$windows" = 0 ]; then
current="prompts reach a pipe before the answers are read"
mkfifo answers.fifo prompts.fifo
"$converter" < answers.fifo > prompts.fifo &
exec 3> answers.fifo 4< prompts.fifo
IFS= read -r -t 10 line <&4
[ "$line" == "Enter input path" ] || fail "first prompt was [$line] before any answer"
echo "$data/reference_1.txt" >&3
IFS= read -r -t 10 line <&4
[ "$line" == "Enter output path" ] || fail "second prompt was [$line] before the second answer"
echo "fifo.out" >&3
exec 3>&- 4<&-
wait $! || fail "status $? after answering at each prompt"
same_bytes fifo.out "$expected/reference_1.expected"
checks=$((checks + 1))
fi

current="missing input"
echo "keep" > keep.txt
run_expect $'missing.txt\nkeep.txt\n' "${prompts}Couldn't read input file. Check path." 1
untouched keep.txt keep
run_expect $'missing.txt\nnew.txt\n' "${prompts}Couldn't read input file. Check path." 1
absent new.txt

current="input is a directory"
mkdir -p folder
run_expect $'folder\nnew.txt\n' "${prompts}Couldn't read input file. Check path." 1
absent new.txt

current="output in a missing directory"
run_expect "$data/reference_1.txt"$'\nno/such/dir/out.txt\n' "${prompts}Couln't write output file. Check path." 1

current="output is a directory"
run_expect "$data/reference_1.txt"$'\nfolder\n' "${prompts}Couln't write output file. Check path." 1

current="path length limit"
long=$(printf 'p%.0s' $(seq 200))
run_expect "$long"$'\nnew.txt\n' "Enter input path${line_end}Path too long: a path can have at most 199 characters." 1
absent new.txt
cp "$data/reference_1.txt" input.txt
run_expect $'input.txt\n'"$long"$'\n' "${prompts}Path too long: a path can have at most 199 characters." 1
absent "${long:0:199}"
limit=$(printf 'q%.0s' $(seq 199))
run_expect $'input.txt\n'"$limit"$'\n' "$prompts" 0
same_bytes "$limit" "$expected/reference_1.expected"

current="standard input ends before an answer"
run_expect "" "Enter input path${line_end}No path given: standard input ended." 1
run_expect $'  input.txt\n' "${prompts}No path given: standard input ended." 1
untouched input.txt "$(cat "$data/reference_1.txt")"

current="a NUL in a path"
printf 'input.txt\nout\0put.txt\n' > nul_answers
stdout=$("${command[@]}" < nul_answers; echo "x$?")
checks=$((checks + 1))
[ "$stdout" == "${prompts}A path can't contain a NUL character.x1" ] || fail "standard output was [$stdout]"
absent out

current="input and output are the same file"
cp "$data/reference_1.txt" same.txt
others=(same.txt ./same.txt "$work/same.txt" ./folder/../same.txt)
if [ "$windows" = 0 ]; then
    ln -s same.txt link.txt
    ln same.txt hard.txt
    others+=(link.txt hard.txt)
fi
for output in "${others[@]}"; do
    run_expect $'same.txt\n'"$output"$'\n' \
        "${prompts}The input and output paths name the same file. Choose another output path." 1
    same_bytes same.txt "$data/reference_1.txt"
done

current="invalid instances leave an empty output"
invalid_input "" "Invalid input at line 1, column 1: expected the activity count, found the end of the file."
invalid_input $'5 2\r\n10 8\r\n0 0 0 3 2 3 4\r\n3 4 2 1' \
    "Invalid input at line 4, column 8: expected successor 1 of activity 2, found the end of the file."
invalid_input $'3 0\n7 2 2 3.5\n' \
    "Invalid input at line 2, column 7: expected successor 2 of activity 1, found \"3.5\", which is not an integer."
invalid_input $'1 0\n4 1 -2147483648\n' \
    "Invalid input at line 2, column 5: expected successor 1 of activity 1, found \"-2147483648\", whose 0-based number is outside the signed 32-bit range."
invalid_input '2000000000 3 1 1 1' \
    "Invalid input at line 1, column 19: expected the duration of activity 1, found the end of the file."

if [ "$windows" = 0 ]; then
current="input that can't be rewound is placed right, and nothing after the failure is read"
mkfifo in.fifo
printf '3 0\n7 2 2 3\n5 1 x\n6 0\n' > in.fifo &
run_expect $'in.fifo out.txt\n' \
    "${prompts}Invalid input at line 3, column 5: expected successor 1 of activity 2, found \"x\", which is not an integer." 1
wait
# 200 KB of line ends before the token, then a writer that keeps the pipe open:
# the failure is known at once and must not wait for the writer.
{ printf '3 0\n'; head -c 200000 /dev/zero | tr '\0' '\n'; printf '7 2 2 3\n5 1 x\n'; head -c 100000 /dev/zero; exec sleep 20; } > in.fifo 2> /dev/null &
writer=$!
checks=$((checks + 1))
stdout=$(printf 'in.fifo out.txt\n' | timeout 10 "${command[@]}"; echo "x$?")
[ "$stdout" == "${prompts}Invalid input at line 200003, column 5: expected successor 1 of activity 2, found \"x\", which is not an integer.x1" ] ||
    fail "standard output was [$stdout]"
kill "$writer" 2> /dev/null
wait "$writer" 2> /dev/null
rm in.fifo

current="an endless token ends the run"
checks=$((checks + 1))
stdout=$(printf '/dev/zero out.txt\n' | timeout 10 "${command[@]}"; echo "x$?")
nuls=$(printf '\\x00%.0s' $(seq 40))
[ "$stdout" == "${prompts}Invalid input at line 1, column 1: expected the activity count, found \"$nuls...\", which is not an integer.x1" ] ||
    fail "standard output was [$stdout]"
ones=$(printf '1%.0s' $(seq 40))
checks=$((checks + 1))
stdout=$(echo /dev/fd/5 out.txt | timeout 10 "${command[@]}" 5< <(printf '1 0 '; yes 1 | tr -d '\n'); echo "x$?")
[ "$stdout" == "${prompts}Invalid input at line 1, column 5: expected the duration of activity 1, found \"$ones...\", which is outside the signed 32-bit range.x1" ] ||
    fail "standard output was [$stdout]"

current="output to a named pipe waits for its reader and loses nothing"
mkfifo out.fifo
# 200 activities of 200 successors each: an output of 280 KB, more than a pipe holds.
successors=$(printf ' 3%.0s' $(seq 200))
{ echo "200 0"; for ((i = 0; i < 200; ++i)); do echo "7 200$successors"; done; } > wide.txt
"$converter" > /dev/null <<< "wide.txt out.fifo" &
producer=$!
checks=$((checks + 1))
timeout 10 cat out.fifo > from_fifo.txt || fail "reading the pipe failed"
wait "$producer" || fail "status $? writing into a named pipe"
"$converter" > /dev/null <<< "wide.txt wide.out"
same_bytes from_fifo.txt wide.out
"$converter" > /dev/null <<< "$data/reference_1.txt out.fifo" &
producer=$!
checks=$((checks + 1))
timeout 10 cat out.fifo > from_fifo.txt || fail "reading the pipe failed"
wait "$producer" || fail "status $? writing into a named pipe"
same_bytes from_fifo.txt "$expected/reference_1.expected"
fi

current="memory runs out"
# Sanitized builds reserve far more address space than any useful limit.
if [ "$windows" = 0 ] && [ "${MEMORY_LIMIT_TEST:-on}" = on ]; then
    # The stores hold 40 MB of values: more than the limit allows.
    { echo "5000000 0"; yes '1 0' | head -n 5000000; } > big.txt
    checks=$((checks + 1))
    stdout=$( (ulimit -v 40000; printf 'big.txt big.out\n' | "${command[@]}"); echo "x$?")
    [ "$stdout" == "${prompts}Not enough memory for the instance.x1" ] || fail "standard output was [$stdout]"
    empty_file big.out

    # Memory follows what the file holds, not what its header claims.
    { echo "2000000000 0"; head -c 30000000 /dev/zero | tr '\0' ' '; } > blanks.txt
    checks=$((checks + 1))
    stdout=$( (ulimit -v 20000; printf 'blanks.txt blanks.out\n' | "${command[@]}"); echo "x$?")
    [ "$stdout" == "${prompts}Invalid input at line 2, column 30000001: expected the duration of activity 1, found the end of the file.x1" ] ||
        fail "standard output was [$stdout]"

    # Wherever memory runs out, the run ends with the message and status 1, never
    # an abort. Below some limit the C runtime can't start the program at all;
    # such a run prints no prompt.
    for input in "$data/reference_1.txt" "$data/c001.txt"; do
        cp "$input" walk.txt
        for ((limit = 1000; limit <= 2400; limit += 8)); do
            checks=$((checks + 1))
            rm -f walk.out
            stdout=$( (ulimit -v $limit; printf 'walk.txt walk.out\n' | "${command[@]}" 2> walk.err) 2> /dev/null; echo "x$?")
            case $stdout in
            "${prompts}x0") same_bytes walk.out "$expected/$(basename "$input" .txt).expected" ;;
            "${prompts}Not enough memory for the instance.x1") empty_file walk.out ;;
            x1[0-9][0-9]) [[ $stdout != x134 ]] || fail "aborted under a limit of $limit KiB" ;;
            *) fail "under a limit of $limit KiB, standard output was [$stdout]" ;;
            esac
            ! grep -q terminate walk.err || fail "under a limit of $limit KiB: $(cat walk.err)"
        done
    done
fi

current="a full device"
if [ "$windows" = 0 ] && [ -w /dev/full ]; then
    run_expect $'input.txt\n/dev/full\n' "${prompts}Writing the output file failed: No space left on device." 1
fi

current="paths as arguments, --help and --version"
# The dialogue is kept without arguments; with both paths there is no prompt.
cp "$data/c001.txt" argument.txt
rm -f argument.out
checks=$((checks + 1))
stdout=$("${command[@]}" argument.txt argument.out < /dev/null; echo "x$?")
[ "$stdout" == "x0" ] || fail "converter IN OUT said [$stdout]"
same_bytes argument.out "$expected/c001.expected"
checks=$((checks + 1))
stdout=$("${command[@]}" --version; echo "x$?")
[[ "$stdout" =~ ^converter\ [0-9]+\.[0-9]+\.[0-9]+${line_end}x0$ ]] || fail "--version said [$stdout]"
checks=$((checks + 1))
stdout=$("${command[@]}" --help; echo "x$?")
[[ "$stdout" == "Usage: converter [INPUT OUTPUT]"* ]] && [[ "$stdout" == *x0 ]] || fail "--help said [$stdout]"
checks=$((checks + 1))
stdout=$("${command[@]}" argument.txt 2> usage.err; echo "x$?")
[ "$stdout" == "x2" ] && grep -q "give both paths" usage.err || fail "one argument: [$stdout] [$(cat usage.err)]"
# An input in another layout: the message says which, and what reads it.
printf '%s\n' '************' 'file with basedata : x.bas' > other.sm
checks=$((checks + 1))
stdout=$("${command[@]}" other.sm other.out; echo "x$?")
[[ "$stdout" == *"It looks like PSPLIB's single-mode layout (sm): converter reads Patterson's layout; converter-batch --from sm reads this one.x1" ]] ||
    fail "an sm input said [$stdout]"

echo "$checks end-to-end runs, $failures failures"
[ "$failures" -eq 0 ]
