#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, with ASan and UBSan) and runs each for
# SECONDS (default 60), one after the other, from a corpus seeded with the golden scripts, the
# examples and fuzz/seeds/ (scripts that use the run target's host functions). Exits non-zero
# when a target finds a crash, a leak, a timeout or a sanitizer report; the input that caused it
# is left in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
case $seconds in
    '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 64 ;;
esac

scripts/deps.sh cmake make clang libclang-rt-14-dev libeigen3-dev

dir=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S fuzz -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$dir" -j "$jobs"

# The seeds are copied at run time; the corpus grows across runs inside build-fuzz/.
mkdir -p "$dir/seeds" "$dir/artifacts"
cp tests/scripts/*.qx examples/*.qx fuzz/seeds/*.qx "$dir/seeds/"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for target in compile_fuzzer run_fuzzer tier_fuzzer; do
    corpus=$dir/corpus/$target
    mkdir -p "$corpus"
    echo "== $target: $seconds s"
    if ! "$dir/$target" "$corpus" "$dir/seeds" -dict=fuzz/qx.dict \
        -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/$target-"; then
        echo "== $target found a fault; see $dir/artifacts/" >&2
        status=1
    fi
done
exit $status
