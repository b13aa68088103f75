#!/usr/bin/env bash
# The WebAssembly build of qx, the playground and the editor grammar. From a fresh clone this
# installs what is missing (Debian's emscripten and chromium, the npm packages pinned in
# web/package-lock.json) and builds into build-web/.
#   scripts/web.sh build         the module (build-web/wasm) and the playground (build-web/site)
#   scripts/web.sh serve [PORT]  builds, then serves the playground on http://127.0.0.1:PORT/
#   scripts/web.sh test          installs and builds what they need, then runs the module,
#                                browser and grammar tests
#   scripts/web.sh check         runs those of the tests whose tools are installed and names the
#                                others as skipped (scripts/test.sh calls it)
#   scripts/web.sh deps          installs emscripten, chromium and the npm packages only
#   scripts/web.sh words         rewrites editors/qx-words.json and the grammar from the library
#   scripts/web.sh bench         builds, then measures sizes, load time and the scalar loop
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    echo "usage: scripts/web.sh build | serve [PORT] | test | check | deps | words | bench" >&2
    exit 64
}

# emscripten's tools run JavaScript that needs Debian's Node.js modules (acorn).
export NODE_PATH=/usr/share/nodejs
jobs=$(nproc 2>/dev/null || echo 2)

# Node.js and npm come with the machine (they are not taken from Debian, whose npm would
# replace the installed Node.js).
have_node() {
    command -v node > /dev/null && command -v npm > /dev/null
}
need_node() {
    have_node && return 0
    echo "scripts/web.sh needs Node.js (20 or later) and npm on the PATH" >&2
    exit 1
}

npm_packages() {
    need_node
    # npm ci empties node_modules first: skipped while the installed tree matches the lock file.
    if ! cmp -s web/package-lock.json web/node_modules/.qx-lock; then
        (cd web && npm ci --ignore-scripts --no-audit --no-fund)
        cp web/package-lock.json web/node_modules/.qx-lock
    fi
}

build_all() {
    scripts/deps.sh cmake make libeigen3-dev emscripten
    npm_packages
    emcmake cmake -S web/wasm -B build-web/wasm -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build build-web/wasm -j "$jobs"
    node web/build.mjs --wasm build-web/wasm --out build-web/site
}

native_tool() {
    scripts/deps.sh cmake make g++ libeigen3-dev pkg-config
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
    cmake --build build -j "$jobs" --target "$1"
}

# The tests that the installed tools allow; each one left out is named.
check() {
    if ! have_node; then
        echo "web tests SKIPPED (module, browser, grammar): Node.js and npm are not installed"
        return 0
    fi
    npm_packages
    local tests=(web/test/grammar.test.mjs)
    if command -v emcc > /dev/null; then
        build_all
        tests+=(web/test/wasm.test.mjs)
        if [ -x /usr/bin/chromium ]; then
            tests+=(web/test/page.test.mjs)
        else
            echo "browser tests SKIPPED: chromium is not installed (scripts/web.sh deps installs it)"
        fi
    else
        echo "WebAssembly and browser tests SKIPPED: emscripten is not installed" \
            "(scripts/web.sh deps installs it)"
    fi
    node --test "${tests[@]}"
}

case "${1:-}" in
    build)
        build_all
        echo "playground: build-web/site (scripts/web.sh serve to try it)"
        ;;
    serve)
        build_all
        exec node web/serve.mjs --root build-web/site --port "${2:-8023}"
        ;;
    deps)
        scripts/deps.sh emscripten chromium
        npm_packages
        ;;
    test)
        scripts/deps.sh chromium
        build_all
        node --test web/test/
        ;;
    check) check ;;
    words)
        native_tool qxwords
        need_node
        build/tools/qxwords/qxwords > editors/qx-words.json
        node editors/build-grammar.mjs
        echo "wrote editors/qx-words.json and editors/qx.tmLanguage.json"
        ;;
    bench)
        scripts/deps.sh chromium
        build_all
        native_tool qxrun
        node web/bench.mjs
        ;;
    *) usage ;;
esac
