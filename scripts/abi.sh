#!/usr/bin/env bash
# The public ABI of libqx.so against the stored baseline abi/qx.abi (taken at the version in
# abi/VERSION). Needs a build with debug information in BUILD_DIR (scripts/test.sh makes build/).
#   scripts/abi.sh check [BUILD_DIR]   fail when the ABI changed and the version does not say so
#   scripts/abi.sh update [BUILD_DIR]  store the ABI of the build as the new baseline
# The rule (CONTRIBUTING.md, "Versions and the ABI"): an incompatible change needs a higher major
# version (the SOVERSION), an addition a higher version.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-check}
build=${2:-build}
case $mode in check | update) ;; *) echo "usage: scripts/abi.sh [check|update] [BUILD_DIR]" >&2; exit 64 ;; esac
scripts/deps.sh abigail-tools cmake

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
library=$(find "$work/prefix" -name 'libqx.so.*.*.*' | head -n 1)
[ -n "$library" ] || { echo "abi: no libqx.so in $build (build it first: scripts/test.sh)" >&2; exit 1; }
abidw --headers-dir "$work/prefix/include" --drop-private-types --suppressions abi/suppressions \
    --type-id-style hash --no-corpus-path --no-show-locs --out-file "$work/current.abi" "$library"
version=$(sed -n 's/^#define QX_VERSION "\(.*\)"$/\1/p' qx/version.h)

if [ "$mode" = update ]; then
    cp "$work/current.abi" abi/qx.abi
    echo "$version" >abi/VERSION
    echo "abi: stored the ABI of $version as the baseline; commit abi/qx.abi and abi/VERSION"
    exit 0
fi

baseline=$(cat abi/VERSION)
set +e
abidiff --no-show-locs abi/qx.abi "$work/current.abi" >"$work/diff.txt" 2>&1
status=$?
set -e
if [ $((status & 1)) -ne 0 ]; then
    cat "$work/diff.txt" >&2
    echo "abi: abidiff could not compare the ABIs (status $status)" >&2
    exit 1
fi
# 4: the ABI changed; 8: the change is incompatible. Versions compare as numbers, part by part.
newer() { [ "$(printf '%s\n%s\n' "$1" "$2" | sort -t. -k1,1n -k2,2n -k3,3n | tail -n 1)" = "$1" ] && [ "$1" != "$2" ]; }
if [ $((status & 8)) -ne 0 ] && [ "${version%%.*}" -le "${baseline%%.*}" ]; then
    cat "$work/diff.txt" >&2
    echo "abi: the public ABI changed incompatibly since $baseline, but the major version is still" \
        "${version%%.*}. Raise QX_VERSION_MAJOR (and QX_VERSION) in qx/version.h, then run" \
        "'scripts/abi.sh update' and commit abi/ (CONTRIBUTING.md, \"Versions and the ABI\")." >&2
    exit 1
fi
if [ $((status & 4)) -ne 0 ] && ! newer "$version" "$baseline"; then
    cat "$work/diff.txt" >&2
    echo "abi: the public ABI grew since $baseline, but the version is still $version. Raise" \
        "QX_VERSION_MINOR (and QX_VERSION) in qx/version.h, then run 'scripts/abi.sh update' and" \
        "commit abi/ (CONTRIBUTING.md, \"Versions and the ABI\")." >&2
    exit 1
fi
if [ "$status" -ne 0 ]; then
    echo "abi: the ABI changed since $baseline and the version $version says so;" \
        "'scripts/abi.sh update' stores it as the new baseline"
else
    echo "abi: the public ABI is that of $baseline"
fi
