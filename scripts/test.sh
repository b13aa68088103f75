#!/usr/bin/env bash
# Builds qx and runs every test. From a fresh clone on a fresh Debian machine this installs what
# is missing, configures, builds and runs the suite with CTest (including the package smoke
# test: install into a temporary prefix and build a host project with find_package(qx)), then the
# web tests that the installed tools allow (scripts/web.sh check).
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --tsan      ThreadSanitizer build in build-tsan/ (thread tests)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=normal
case "${1:-}" in
    --sanitize) mode=asan ;;
    --tsan) mode=tsan ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--sanitize|--tsan]" >&2; exit 64 ;;
esac

scripts/deps.sh cmake make g++ libgtest-dev libeigen3-dev pkg-config locales libedit-dev python3 \
    clang-format-14 python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest

# The Python module is built for Debian's interpreter, which has the python3-* packages (the
# python3 first on PATH may be another one).
python=(-DQX_BUILD_PYTHON=ON -DPython3_EXECUTABLE=/usr/bin/python3)

jobs=$(nproc 2>/dev/null || echo 2)
case $mode in
    normal)
        dir=build
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${python[@]}"
        ;;
    asan)
        dir=build-asan
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DQX_SANITIZE=ON "${python[@]}"
        export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        ;;
    tsan)
        dir=build-tsan
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_TSAN=ON -DQX_BUILD_TOOLS=OFF \
            -DQX_BUILD_PYTHON=OFF
        export TSAN_OPTIONS=halt_on_error=1
        ;;
esac
if [ "$mode" = tsan ]; then
    # The thread tests are what ThreadSanitizer is for; the rest of the suite runs in the
    # normal and the sanitized builds.
    echo "Python module: not built under ThreadSanitizer (the interpreter and numpy are not" \
        "instrumented); its tests, threads included, run in the normal and ASan builds."
    cmake --build "$dir" -j "$jobs" --target qx_tests
    ctest --test-dir "$dir" --output-on-failure -R '^Thread'
else
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
fi
# The WebAssembly module, the playground in a browser and the editor grammar, in the normal mode
# only: those whose tools are installed run, the others are named as skipped.
if [ "$mode" = normal ]; then
    scripts/web.sh check
fi
