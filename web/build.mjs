// Builds the playground's static files into a folder (default build-web/site): index.html and
// style.css as they are, the page and the worker bundled with esbuild, the example scripts of
// examples/ read at build time, and the WebAssembly module from its build folder.
//   node web/build.mjs [--wasm DIR] [--out DIR]
import { copyFileSync, mkdirSync, readdirSync, readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

import { build } from 'esbuild';

const path = (rel) => fileURLToPath(new URL(rel, import.meta.url));
const { values } = parseArgs({
    options: {
        wasm: { type: 'string', default: path('../build-web/wasm') },
        out: { type: 'string', default: path('../build-web/site') },
    },
});

// The examples as a module: [{ name, text }], the file names without ".qx", in name order.
function examplesPlugin() {
    const dir = path('../examples/');
    return {
        name: 'qx-examples',
        setup(b) {
            b.onResolve({ filter: /^qx-examples$/ }, () => ({ path: dir, namespace: 'qx-examples' }));
            b.onLoad({ filter: /.*/, namespace: 'qx-examples' }, () => {
                const files = readdirSync(dir).filter((f) => f.endsWith('.qx')).sort();
                const list = files.map((f) => ({ name: f.slice(0, -3), text: readFileSync(dir + f, 'utf8') }));
                return { contents: JSON.stringify(list), loader: 'json', watchFiles: files.map((f) => dir + f) };
            });
        },
    };
}

mkdirSync(values.out, { recursive: true });
await build({
    entryPoints: { main: path('src/main.js'), worker: path('src/worker.js') },
    bundle: true,
    minify: true,
    format: 'iife',
    target: 'es2020',
    outdir: values.out,
    plugins: [examplesPlugin()],
    logLevel: 'warning',
});
for (const file of ['index.html', 'style.css']) copyFileSync(path(file), `${values.out}/${file}`);
for (const file of ['qx.js', 'qx.wasm']) copyFileSync(`${values.wasm}/${file}`, `${values.out}/${file}`);
