// The playground's Web Worker: it holds the qx module (qx.js and qx.wasm beside this file) and
// runs scripts for the page, so that a long run never blocks the page. A run cannot be
// interrupted from the page (the worker is busy inside it); the page stops a runaway script by
// ending this worker and starting a new one.
/* global importScripts, createQxModule */
importScripts('qx.js');

// The values of each variable the result carries; the page asks for the rest by name.
const SHOWN_VALUES = 64;
// What all variables of one run may hold at once: the module's memory is at most 2 GiB.
const TOTAL_STORAGE_LIMIT = 1024 * 1024 * 1024;
// The most elements a whole value is shown with: beyond, its text would take the page seconds.
const WHOLE_VALUE_LIMIT = 250000;

let qx = null;
let session = null;

function newSession() {
    session = new qx.Session(true);
    session.setTotalStorageLimit(TOTAL_STORAGE_LIMIT);
}

async function start() {
    const began = performance.now();
    qx = await createQxModule();
    newSession();
    postMessage({ type: 'ready', ms: performance.now() - began });
}

// Each run compiles the text as a new script: the previous script's globals and functions go.
function run(text) {
    session.clearScript();
    if (!session.compile(text))
        return { ok: false, stage: 'compile', error: session.compileError(), output: '' };
    const ok = session.run();
    return {
        ok,
        stage: 'run',
        error: ok ? null : session.runError(),
        output: session.takeOutput(),
        variables: session.variables(SHOWN_VALUES).filter((v) => !v.constant),
        listing: session.listing(),
    };
}

// A run that exhausts the browser's own stack (a very long chain of calls) leaves the module in
// an unknown state: it is replaced by a fresh one.
async function runGuarded(text) {
    try {
        return run(text);
    } catch (e) {
        qx = await createQxModule();
        newSession();
        const message = `The browser stopped the script: ${e.message}. The module was restarted.`;
        return { ok: false, stage: 'run', error: { message, line: -1, column: -1, traceText: '' },
                 output: '' };
    }
}

function valueText(name) {
    const v = session.variables(0).find((item) => item.name === name);
    if (v && v.rows * v.cols > WHOLE_VALUE_LIMIT)
        return `${v.rows * v.cols} elements: too many to show here (at most ${WHOLE_VALUE_LIMIT}).`;
    return session.valueText(name);
}

onmessage = async (event) => {
    const request = event.data;
    if (request.type === 'run') {
        const began = performance.now();
        const result = await runGuarded(request.text);
        postMessage({ type: 'result', id: request.id, ms: performance.now() - began, ...result });
    } else if (request.type === 'value') {
        postMessage({ type: 'value', id: request.id, name: request.name,
                      text: valueText(request.name) });
    }
};

start();
