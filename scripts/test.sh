#!/bin/sh
# The test command: installs what is missing, builds, and runs every test in a
# loopback-only network namespace; then runs the transmitter library's tests,
# the chessboard collector's and the capture writer thread's again under
# ThreadSanitizer and runs every fuzzer briefly, side by side.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
netns="$root/scripts/in-loopback-netns.sh"
jobs=$(nproc)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
(cd "$build" && "$netns" ctest --output-on-failure -j"$jobs" --timeout 300)

echo "== Transmitter, chessboard-collector and capture-writer tests under ThreadSanitizer"
tsan="$build-tsan"
cmake -S "$root" -B "$tsan" -DKESSANE_TSAN=ON >/dev/null
tsan_tests='^(tst_transmitter|tst_BoardCollector$|tst_CaptureQueue$)'
tests=$(cd "$tsan" && ctest -N -R "$tsan_tests" | awk '/Test +#/ {print $3}')
cmake --build "$tsan" -j"$jobs" --target $tests
(cd "$tsan" && "$netns" ctest --output-on-failure -j"$jobs" --timeout 300 -R "$tsan_tests")

if command -v clang++ >/dev/null; then
    fuzz="$build-fuzz"
    cmake -S "$root" -B "$fuzz" -DKESSANE_FUZZ=ON -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$fuzz" -j"$jobs" --target fuzzers
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    fuzzers=$(find "$fuzz" -type f -name 'fuzz_*' -perm -u+x | sort)
    echo "== Fuzzing" $(for f in $fuzzers; do basename "$f"; done) "side by side for ${FUZZ_SECONDS:-20} s"
    for fuzzer in $fuzzers; do
        name=$(basename "$fuzzer")
        mkdir -p "$scratch/$name/corpus"
        (cd "$scratch/$name" && "$fuzzer" -max_total_time="${FUZZ_SECONDS:-20}" corpus >log 2>&1; echo $? >status) &
    done
    wait
    failed=0
    for fuzzer in $fuzzers; do
        name=$(basename "$fuzzer")
        if [ "$(cat "$scratch/$name/status")" != 0 ]; then
            cat "$scratch/$name/log"
            failed=1
        else
            echo "$name: $(tail -n 1 "$scratch/$name/log")"
        fi
    done
    [ "$failed" = 0 ]
fi
