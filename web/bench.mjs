// The playground's size and speed, measured (not asserted): the compressed size of the
// WebAssembly module and of the page's bundle, the time from page load to the first result in
// headless Chromium, and the scalar loop of the native benchmarks (W1) in the browser's worker,
// under Node.js and natively (qxrun), medians of five runs each (wall-clock time: the loop's
// three runs take turns). scripts/web.sh bench builds
// what it needs and runs this.
import { spawnSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { fileURLToPath } from 'node:url';
import { brotliCompressSync, constants, gzipSync } from 'node:zlib';

import { chromium } from 'playwright-core';

import { serve } from './serve.mjs';
import { loadQx } from './test/qx-module.mjs';

const root = fileURLToPath(new URL('..', import.meta.url));
const site = `${root}/build-web/site`;
const qxrun = `${root}/build/tools/qxrun/qxrun`;
const REPEAT = 5;

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const kib = (n) => `${(n / 1024).toFixed(1)} KiB`;

function sizes() {
    const files = { 'module (qx.wasm)': ['qx.wasm'], 'module loader (qx.js)': ['qx.js'],
                    'page bundle (main.js, worker.js, index.html, style.css)':
                        ['main.js', 'worker.js', 'index.html', 'style.css'] };
    console.log('size                                                      raw      gzip -9    brotli');
    for (const [label, names] of Object.entries(files)) {
        const data = Buffer.concat(names.map((n) => readFileSync(`${site}/${n}`)));
        const gz = gzipSync(data, { level: 9 }).length;
        const br = brotliCompressSync(data, { params: { [constants.BROTLI_PARAM_QUALITY]: 11 } }).length;
        console.log(`${label.padEnd(56)}${kib(data.length).padStart(10)} ${kib(gz).padStart(10)} ${kib(br).padStart(10)}`);
    }
}

// W1 of bench/: ten instructions and three sub-block entries per iteration.
const loop = (n) => `double i, s;\ns = 0;\nfor (i = 0; i < ${n}; i++;) { if (i % 3 == 0) { s = s + i / 2; } else { s = s + i * 2; } }\nprint(s);`;
const N = 1000000;

async function loadTimes(browser, base) {
    const loads = [];
    for (let k = 0; k < REPEAT; ++k) {
        const context = await browser.newContext();  // an empty cache each time
        const page = await context.newPage();
        await page.goto(`${base}#code=${Buffer.from('print(1);').toString('base64url')}`);
        await page.click('#run');  // waits in the page until the module is ready
        await page.waitForSelector('body[data-first-result-ms]');
        loads.push(Number(await page.getAttribute('body', 'data-first-result-ms')));
        await context.close();
    }
    return median(loads);
}

// One run of the loop in a fresh worker of the page, timed inside the worker.
const browserLoop = (page) => page.evaluate((text) => new Promise((resolve) => {
    const worker = new Worker('worker.js');
    worker.onmessage = (e) => {
        if (e.data.type === 'ready') return worker.postMessage({ type: 'run', id: 1, text });
        worker.terminate();
        resolve(e.data.ms);
    };
}), loop(N));

function nodeLoop(qx) {
    const s = new qx.Session(true);
    const began = performance.now();
    s.compile(loop(N));
    s.run();
    const ms = performance.now() - began;
    s.delete();
    return ms;
}

// qxrun's whole run of the loop less its run of one iteration: start-up and compile drop out.
function nativeLoop() {
    const time = (n) => {
        const file = `${tmpdir()}/qx-web-bench-${n}.qx`;
        writeFileSync(file, loop(n));
        const began = process.hrtime.bigint();
        spawnSync(qxrun, ['--quiet', file]);
        return Number(process.hrtime.bigint() - began) / 1e6;
    };
    return time(N) - time(1);
}

// The three take turns, so that a machine busy with other work slows all of them alike.
async function loopTimes(page) {
    const qx = await loadQx();
    const times = { browser: [], node: [], native: [] };
    for (let k = 0; k < REPEAT; ++k) {
        times.browser.push(await browserLoop(page));
        times.node.push(nodeLoop(qx));
        times.native.push(nativeLoop());
    }
    return Object.fromEntries(Object.entries(times).map(([k, v]) => [k, median(v)]));
}

sizes();
const server = await serve(site);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const base = `http://127.0.0.1:${server.address().port}/`;
const load = await loadTimes(browser, base);
const page = await browser.newPage();
await page.goto(base);
const t = await loopTimes(page);
await browser.close();
server.close();
console.log(`\npage load to first result (headless Chromium, empty cache): ${load} ms`);
console.log(`scalar loop W1, ${N} iterations (ms): browser ${t.browser.toFixed(1)}, ` +
            `Node.js ${t.node.toFixed(1)}, native ${t.native.toFixed(1)}`);
console.log(`ratio to native: browser ${(t.browser / t.native).toFixed(2)}x, ` +
            `Node.js ${(t.node / t.native).toFixed(2)}x`);
