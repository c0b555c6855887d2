#!/bin/sh
# Builds the benchmarks (-DKESSANE_BENCH=ON) into build-bench/ (or $BUILD_DIR),
# runs them in a loopback-only network namespace and prints one table:
# measurement, project figure, anchor figure, ratio, goal. Every anchor (raw
# Aravis, memcpy, write(), a raw sendmmsg loop, the rate asked for, the
# console with its status list closed) is measured side by side with the
# project in the same run; the ratio is arranged so that higher is better
# (for the console's share of a core: anchor over project). Receive figures
# count frames: delivered (ok), incomplete (inc) and never delivered of those
# the camera sent. The runs take about five minutes; the TIFF series are
# written to $BENCH_DIR (default: the build folder). Not run by CI.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESSANE_BENCH=ON >/dev/null
cmake --build "$build" -j4 --target bench_transmitter bench_frames bench_receive bench_console >/dev/null

rows=$(mktemp)
log=$build/bench.log
: >"$log"
trap 'rm -f "$rows"' EXIT
for bench in bench_transmitter bench_frames bench_receive bench_console; do
    if ! BENCH_DIR=${BENCH_DIR:-$build} "$root/scripts/in-loopback-netns.sh" "$build/bench/$bench" >>"$rows" 2>>"$log"; then
        echo "$bench failed (see $log)" >&2
    fi
done

{
    printf 'ROW\tmeasurement\tproject\tanchor\tratio\tgoal\n'
    grep '^ROW' "$rows"
} | awk -F '\t' '
    { for (i = 2; i <= NF; ++i) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } n = NR }
    END {
        for (r = 1; r <= n; ++r) {
            line = ""
            for (i = 2; i < 6; ++i)
                line = line sprintf("%-*s  ", width[i], cell[r, i])
            print line cell[r, 6]
            if (r == 1) {
                rule = ""
                for (i = 2; i <= 6; ++i) { s = sprintf("%*s", width[i], ""); gsub(/ /, "-", s); rule = rule s (i < 6 ? "  " : "") }
                print rule
            }
        }
    }'
