#!/usr/bin/env bash
# Builds qx and its runner and runs the demo script. From a fresh clone on a fresh Debian machine
# this installs what is missing, configures build/ the way scripts/test.sh does (so the two share
# the build), builds the qxrun target and runs build/tools/qxrun/qxrun examples/demo.qx.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh cmake make g++ libgtest-dev libeigen3-dev pkg-config locales libedit-dev

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs" --target qxrun
build/tools/qxrun/qxrun examples/demo.qx
