#!/usr/bin/env bash
# Measures the converter against the plain C baseline, in one run:
#   (a) a large generated instance: median wall time of each over alternating
#       runs, their ratio, and the converter's peak resident memory;
#   (b) a real 302-activity instance: median ratio over many alternating
#       whole-process runs;
#   (c) the converter's instructions per byte of input plus output on the large
#       instance, counted by callgrind;
#   (d) a whole set of instance files (SET_DIR, by default ../shared/instances
#       beside the clone; skipped when missing): one converter-batch run against
#       the README's shell loop over converter and against cp -r of the same
#       tree (medians over alternating runs), its peak resident memory, and its
#       outputs compared byte for byte with the loop's;
#   (e) converter-batch --stats on the large instance: wall time and peak memory;
#   (f) every layout's reader and writer on the large instance, in memory, in
#       megabytes per second beside today's (the rcp reader, the sch writer),
#       and on an instance a quarter of its size, to show each is linear; the
#       same network with general time lags through sch, and with three modes
#       an activity through mm, json and MiniZinc's mrcpsp data, beside the
#       single-mode rates of the same layouts;
#   (g) converter-batch --verify of a schedule of the large instance beside
#       --check of the instance alone: wall time and peak memory;
#   (h) --verify --draw of schedules of 30, 1,000 and the large instance's
#       activities: wall time with and without the picture, its size;
#   (i) --check of random RCPSP/max networks (bench/rcpsp_max_networks.py)
#       beside their conversion, instructions on one job (callgrind);
#   (j) peak memory of reading the large instance in each layout (the
#       three-mode network of part f in mm, json and dzn), converted to json.
# Every output of the converter is compared byte for byte with the baseline's.
#
# Usage: bench/run.sh [WORK_DIR]
# Environment: LARGE_ACTIVITIES (1000000), LARGE_RUNS (7), SMALL_RUNS (60),
#              CALLGRIND (1; 0 skips part c), SET_DIR, SET_RUNS (5).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
large_activities=${LARGE_ACTIVITIES:-1000000}
large_runs=${LARGE_RUNS:-7}
small_runs=${SMALL_RUNS:-60}

cmake -S "$root" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCONVERTER_TESTS=OFF -DCONVERTER_BENCHMARKS=ON > /dev/null
cmake --build "$work/build" --parallel 2 > /dev/null
converter=$work/build/converter
baseline=$work/build/bench/baseline_converter

counts=$("$work/build/bench/generate_instance" "$large_activities" 4 8 1 2>&1 > "$work/large.txt")
read -r activities resources successors <<< "$counts"
cp "$root/tests/data/c001.txt" "$work/small.txt"

# run PROGRAM INPUT OUTPUT: one whole conversion from a fresh output file;
# prints the wall time in seconds.
run() {
    rm -f "$3"
    local start=$EPOCHREALTIME
    printf '%s %s\n' "$2" "$3" | "$1" > /dev/null
    local end=$EPOCHREALTIME
    echo "$end - $start" | bc -l
}

median() { sort -g | awk '{ value[NR] = $1 } END { print (NR % 2) ? value[(NR + 1) / 2] : (value[NR / 2] + value[NR / 2 + 1]) / 2 }'; }

same_output() {
    cmp -s "$1" "$2" || { echo "FAIL: $1 differs from $2"; exit 1; }
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -sr)"
echo "large instance: $activities activities, $resources resources, $successors successors"

# (a) the large case
: > "$work/large.converter"
: > "$work/large.baseline"
for ((i = 0; i < large_runs; ++i)); do
    run "$converter" "$work/large.txt" "$work/large.out" >> "$work/large.converter"
    run "$baseline" "$work/large.txt" "$work/large.base" >> "$work/large.baseline"
done
same_output "$work/large.out" "$work/large.base"
large_converter=$(median < "$work/large.converter")
large_baseline=$(median < "$work/large.baseline")
rm -f "$work/large.out"
peak_kib=$( { printf '%s %s\n' "$work/large.txt" "$work/large.out" | /usr/bin/time -f '%M' "$converter" > /dev/null; } 2>&1)
stores_kib=$(( (2 * activities + activities * resources + successors + resources) * 4 / 1024 ))
input_bytes=$(stat -c %s "$work/large.txt")
output_bytes=$(stat -c %s "$work/large.out")
printf 'large: input %d bytes, output %d bytes\n' "$input_bytes" "$output_bytes"
printf 'large: median of %d runs: converter %.3f s, baseline %.3f s, %.1f times faster\n' \
    "$large_runs" "$large_converter" "$large_baseline" "$(echo "$large_baseline / $large_converter" | bc -l)"
printf 'large: peak resident memory %d KiB; the stores hold %d KiB, %+d KiB beyond them\n' \
    "$peak_kib" "$stores_kib" "$((peak_kib - stores_kib))"

# (b) the small case
: > "$work/small.ratios"
for ((i = 0; i < small_runs; ++i)); do
    converter_time=$(run "$converter" "$work/small.txt" "$work/small.out")
    baseline_time=$(run "$baseline" "$work/small.txt" "$work/small.base")
    echo "$converter_time / $baseline_time" | bc -l >> "$work/small.ratios"
done
same_output "$work/small.out" "$work/small.base"
printf 'small: median ratio converter/baseline over %d alternating runs: %.2f\n' \
    "$small_runs" "$(median < "$work/small.ratios")"

# (c) instructions per byte
if [ "${CALLGRIND:-1}" != 0 ]; then
    rm -f "$work/large.out"
    instructions=$(printf '%s %s\n' "$work/large.txt" "$work/large.out" |
        valgrind --tool=callgrind --callgrind-out-file=/dev/null "$converter" 2>&1 >/dev/null |
        sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
    same_output "$work/large.out" "$work/large.base"
    printf 'large: %d instructions, %.2f per byte of input plus output\n' \
        "$instructions" "$(echo "$instructions / ($input_bytes + $output_bytes)" | bc -l)"
fi

# (d) a whole set
set_dir=${SET_DIR:-$root/../shared/instances}
if [ -d "$set_dir" ]; then
    set_dir=$(cd "$set_dir" && pwd)
    batch=$work/build/converter-batch
    set_runs=${SET_RUNS:-5}
    files=$(find "$set_dir" -type f ! -name '.*' | wc -l)
    set_bytes=$(find "$set_dir" -type f ! -name '.*' -printf '%s\n' | awk '{ total += $1 } END { print total }')
    # The README's loop, once: it takes tens of seconds.
    rm -rf "$work/set.loop"
    start=$EPOCHREALTIME
    (cd "$set_dir" && find . -type f ! -name '.*' | sort | while read -r input; do
        mkdir -p "$work/set.loop/$(dirname "$input")"
        printf '%s %s\n' "$input" "$work/set.loop/$input" | "$converter" > /dev/null || echo "failed: $input"
    done)
    loop_time=$(echo "$EPOCHREALTIME - $start" | bc -l)
    : > "$work/set.batch"
    : > "$work/set.cp"
    # Each run starts from a synced file system, and the two take turns going
    # first, so that neither pays for the other's write-back.
    timed_batch() {
        rm -rf "$work/set.out"
        sync
        local start=$EPOCHREALTIME
        "$batch" -q -r -o "$work/set.out" "$set_dir"
        echo "$EPOCHREALTIME - $start" | bc -l >> "$work/set.batch"
    }
    timed_cp() {
        rm -rf "$work/set.cp.out"
        sync
        local start=$EPOCHREALTIME
        cp -r "$set_dir" "$work/set.cp.out"
        echo "$EPOCHREALTIME - $start" | bc -l >> "$work/set.cp"
    }
    for ((i = 0; i < set_runs; ++i)); do
        if ((i % 2 == 0)); then timed_batch; timed_cp; else timed_cp; timed_batch; fi
    done
    diff -r "$work/set.out" "$work/set.loop" > /dev/null || { echo "FAIL: converter-batch's outputs differ from the loop's"; exit 1; }
    batch_time=$(median < "$work/set.batch")
    cp_time=$(median < "$work/set.cp")
    rm -rf "$work/set.out"
    set_peak_kib=$( { /usr/bin/time -f '%M' "$batch" -q -r -o "$work/set.out" "$set_dir"; } 2>&1)
    printf 'set: %d files, %d bytes; outputs equal to the loop'"'"'s\n' "$files" "$set_bytes"
    printf 'set: shell loop over converter %.2f s; converter-batch median of %d %.3f s, %.1f times faster\n' \
        "$loop_time" "$set_runs" "$batch_time" "$(echo "$loop_time / $batch_time" | bc -l)"
    printf 'set: cp -r median of %d %.3f s; converter-batch takes %.2f times as long\n' \
        "$set_runs" "$cp_time" "$(echo "$batch_time / $cp_time" | bc -l)"
    printf 'set: converter-batch peak resident memory %d KiB\n' "$set_peak_kib"
    rm -rf "$work/set.out" "$work/set.cp.out" "$work/set.loop"
fi

# (e) the measures of the large instance
stats_line=$( { /usr/bin/time -f '%e %M' "$work/build/converter-batch" -q --stats "$work/large.txt" > /dev/null; } 2>&1)
read -r stats_seconds stats_kib <<< "$stats_line"
printf 'stats: converter-batch --stats on the large instance %.2f s, peak resident memory %d KiB\n' \
    "$stats_seconds" "$stats_kib"

# (f) every layout, both ways
quarter=$((large_activities / 4))
"$work/build/bench/generate_instance" "$quarter" 4 8 1 > "$work/quarter.txt" 2> /dev/null
LAYOUT_MODES_DIR=$work "$work/build/bench/layout_throughput" "$work/large.txt" "$work/quarter.txt" > "$work/layouts.txt"
rcp_read=$(awk -v f="$work/large.txt" '$1 == f && $2 == "rcp" { print $4 }' "$work/layouts.txt")
sch_write=$(awk -v f="$work/large.txt" '$1 == f && $2 == "sch" { print $5 }' "$work/layouts.txt")
while read -r file layout bytes read_rate write_rate; do
    [ "$file" == "$work/large.txt" ] || continue
    read -r _ _ _ quarter_read quarter_write < <(awk -v f="$work/quarter.txt" -v l="$layout" '$1 == f && $2 == l' "$work/layouts.txt")
    if [ "$read_rate" == 0 ]; then # a layout that is only written
        printf 'layouts: %-8s %4d MB: written only, write %4d MB/s (%.2f of the sch writer); a quarter of it: write %d MB/s\n' \
            "$layout" "$((bytes / 1000000))" "$write_rate" "$(echo "$write_rate / $sch_write" | bc -l)" "$quarter_write"
        continue
    fi
    printf 'layouts: %-8s %4d MB: read %4d MB/s (%.2f of the rcp reader), write %4d MB/s (%.2f of the sch writer); a quarter of it: read %d, write %d MB/s\n' \
        "$layout" "$((bytes / 1000000))" "$read_rate" "$(echo "$read_rate / $rcp_read" | bc -l)" \
        "$write_rate" "$(echo "$write_rate / $sch_write" | bc -l)" "$quarter_read" "$quarter_write"
    if [[ "$layout" == *+modes ]]; then # beside the same layout's single-mode rates (mm's: sm's)
        single=${layout%+modes}
        [ "$single" == mm ] && single=sm
        read -r _ _ _ single_read single_write < <(awk -v f="$work/large.txt" -v l="$single" '$1 == f && $2 == l' "$work/layouts.txt")
        printf 'layouts: %-8s beside %s with one mode: read %.2f, write %.2f of its rates\n' "$layout" "$single" \
            "$(echo "$read_rate / $single_read" | bc -l)" "$(echo "$write_rate / $single_write" | bc -l)"
    fi
done < "$work/layouts.txt"

# (g) --verify: a schedule of the large instance (each activity after the one
# before, so every capacity is kept) against --check of the instance alone;
# time within 2x, memory within 2x.
# serial_schedule INSTANCE: each activity after the one before, as plain JSON.
serial_schedule() {
    awk 'NR == 1 { n = $1; r = $2; next } { for (i = 1; i <= NF; ++i) v[++k] = $i }
         END { at = r + 0; printf "{\"starts\": ["; t = 0
               for (a = 1; a <= n; ++a) { d = v[++at]; at += r; c = v[++at]; at += c
                   printf "%s%d", (a > 1 ? ", " : ""), t; t += d }
               print "]}" }' "$1"
}
serial_schedule "$work/large.txt" > "$work/large.schedule.json"
# The generated network has activities the start does not reach, which
# --check finds (status 1): the time is what counts here.
check_line=$( { /usr/bin/time -f '%e %M' "$work/build/converter-batch" -q --check "$work/large.txt" > /dev/null ||
    true; } 2>&1 | tail -n 1)
verify_line=$( { /usr/bin/time -f '%e %M' "$work/build/converter-batch" -q --verify "$work/large.txt" \
    "$work/large.schedule.json" > "$work/verify.csv"; } 2>&1)
read -r check_seconds check_kib <<< "$check_line"
read -r verify_seconds verify_kib <<< "$verify_line"
grep -q ',1,true,' "$work/verify.csv" || { echo "FAIL: the large schedule was not found feasible"; exit 1; }
printf 'verify: the large schedule %.2f s, %d KiB; --check of the instance %.2f s, %d KiB (%.2f and %.2f times)\n' \
    "$verify_seconds" "$verify_kib" "$check_seconds" "$check_kib" \
    "$(echo "$verify_seconds / $check_seconds" | bc -l)" "$(echo "$verify_kib / $check_kib" | bc -l)"

# (g) continued: a set of j30-sized pairs (SET_PAIRS, 10,000) verified beside
# --check of its instances, medians of alternating runs.
set_pairs=${SET_PAIRS:-10000}
mkdir -p "$work/pairs/instances" "$work/pairs/schedules"
for ((pair = 1; pair <= set_pairs; pair++)); do
    "$work/build/bench/generate_instance" 30 4 3 "$pair" > "$work/pairs/instances/g$pair.rcp" 2> /dev/null
    serial_schedule "$work/pairs/instances/g$pair.rcp" > "$work/pairs/schedules/g$pair.json"
done
verify_times=() check_times=()
for ((run = 0; run < 5; run++)); do
    begin=$EPOCHREALTIME
    "$work/build/converter-batch" -q --verify "$work/pairs/instances" "$work/pairs/schedules" > /dev/null
    verify_times+=("$(echo "$EPOCHREALTIME - $begin" | bc -l)")
    begin=$EPOCHREALTIME
    "$work/build/converter-batch" -q --check "$work/pairs/instances" > /dev/null 2>&1 || true
    check_times+=("$(echo "$EPOCHREALTIME - $begin" | bc -l)")
done
verify_median=$(printf '%s\n' "${verify_times[@]}" | sort -g | sed -n 3p)
check_median=$(printf '%s\n' "${check_times[@]}" | sort -g | sed -n 3p)
printf 'verify: %d j30-sized pairs %.3f s, --check of their instances %.3f s (%.2f times), medians of 5\n' \
    "$set_pairs" "$verify_median" "$check_median" "$(echo "$verify_median / $check_median" | bc -l)"

# (h) --draw: the picture of a schedule of 30, 1,000 and the large instance's
# activities; its size, and the wall time beside --verify alone.
for size in 30 1000 "$large_activities"; do
    if [ "$size" = "$large_activities" ]; then
        instance=$work/large.txt
    else
        instance=$work/draw$size.txt
        "$work/build/bench/generate_instance" "$size" 4 8 1 > "$instance" 2> /dev/null
        serial_schedule "$instance" > "$work/draw$size.schedule.json"
    fi
    schedule=${instance%.txt}.schedule.json
    rm -rf "$work/pictures"
    plain_line=$( { /usr/bin/time -f '%e' "$work/build/converter-batch" -q --verify "$instance" "$schedule" \
        > /dev/null; } 2>&1)
    draw_line=$( { /usr/bin/time -f '%e %M' "$work/build/converter-batch" -q --verify "$instance" "$schedule" \
        --draw "$work/pictures" > /dev/null; } 2>&1)
    read -r draw_seconds draw_kib <<< "$draw_line"
    picture=$(ls "$work/pictures"/*.svg)
    printf 'draw: %d activities, a picture of %d bytes in %.2f s, %d KiB (--verify alone %.2f s)\n' \
        "$size" "$(wc -c < "$picture")" "$draw_seconds" "$draw_kib" "$plain_line"
done

# (i) --check of RCPSP/max networks beside their conversion, on one job.
if [ "${CALLGRIND:-1}" != 0 ] && command -v python3 > /dev/null; then
    python3 "$root/bench/rcpsp_max_networks.py" "$work/rcpsp_max" "${MAX_NETWORKS:-40}"
    instructions() {
        valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.max" "$@" > /dev/null 2>&1 || true
        callgrind_annotate "$work/callgrind.max" 2> /dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
    }
    check_instructions=$(instructions "$work/build/converter-batch" -q -j 1 --check "$work/rcpsp_max")
    rm -rf "$work/rcpsp_max.json"
    convert_instructions=$(instructions "$work/build/converter-batch" -q -j 1 --to json -o "$work/rcpsp_max.json" \
        "$work/rcpsp_max")
    printf 'rcpsp_max: %d networks, --check %d instructions, conversion %d (%.2f times)\n' "${MAX_NETWORKS:-40}" \
        "$check_instructions" "$convert_instructions" "$(echo "$check_instructions / $convert_instructions" | bc -l)"
fi

# (j) peak memory of each reader on the large instance (and on part f's
# three-mode network), converted to json; the instance's own stores are the
# same whatever layout it comes from.
for layout in sm dzn json; do
    "$work/build/converter-batch" -q --to "$layout" -o "$work/memory" "$work/large.txt"
done
for input in "$work/large.txt" "$work/memory/large.sm" "$work/memory/large.dzn" "$work/memory/large.json" \
    "$work/modes.mm" "$work/modes.dzn" "$work/modes.json"; do
    rm -rf "$work/memory.out"
    memory_line=$( { /usr/bin/time -f '%e %M' "$work/build/converter-batch" -q --to json -o "$work/memory.out" \
        "$input" > /dev/null; } 2>&1)
    read -r memory_seconds memory_kib <<< "$memory_line"
    printf 'memory: %-12s %4d MB read and converted to json in %.2f s, peak resident memory %d KiB\n' \
        "$(basename "$input")" "$(($(wc -c < "$input") / 1000000))" "$memory_seconds" "$memory_kib"
done
rm -rf "$work/memory" "$work/memory.out"
