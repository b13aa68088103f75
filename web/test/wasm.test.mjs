// The WebAssembly build under Node.js. Every golden script of the C++ suite (tests/scripts) runs
// through the JavaScript API and must give what its comments expect, as the native build does:
// the same compile and run-time error texts, values, listings. Together the scripts reach every
// opcode and every standard function. Then what the API adds: error columns, output, variable
// summaries, limits, and sizes that do not fit the module's 32-bit memory.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { test } from 'node:test';

import { loadQx } from './qx-module.mjs';

const qx = await loadQx();
const root = new URL('../../', import.meta.url);
const read = (path) => readFileSync(new URL(path, root), 'utf8');

// ---- The golden scripts, read as tests/compiler/script_test.cpp reads them ----

const isCaseTitle = (line) => line.startsWith('// ====');

// Each case as a script of its own: the shared lines before the first case and the case's own
// lines, every other line left empty so that lines and positions stay those of the file.
function scriptCases(file) {
    const lines = read(`tests/scripts/${file}`).split('\n');
    if (lines.at(-1) === '') lines.pop();
    const count = lines.filter(isCaseTitle).length;
    if (count === 0) return [{ name: file, text: lines.join('\n') }];
    const cases = [];
    for (let which = 1; which <= count; ++which) {
        const kept = [];
        let current = 0;
        for (const line of lines) {
            current += isCaseTitle(line) ? 1 : 0;
            if (current > which) break;
            kept.push(current === 0 || current === which ? line : '');
        }
        cases.push({ name: `${file}#${which}`, text: kept.join('\n') });
    }
    return cases;
}

function directives(text, kind) {
    const pattern = new RegExp(`//\\s*${kind}: ?(.*)$`);
    return text.split('\n').flatMap((line) => {
        const m = pattern.exec(line);
        return m ? [m[1]] : [];
    });
}

const errorText = (text) => text.replaceAll('\\n', '\n').replace(/ +$/, '');

function expectedRuns(text) {
    const compile = directives(text, 'expect compile error');
    if (compile.length) return `compile: ${errorText(compile[0])}\n`;
    const error = directives(text, 'expect run-time error');
    const runs = Number(directives(text, 'runs')[0] ?? 1);
    return `run: ${error.length ? errorText(error[0]) : 'ok'}\n`.repeat(runs);
}

function describeRuns(session, text) {
    if (!session.compile(text)) return `compile: ${errorText(session.compileError().message)}\n`;
    const runs = Number(directives(text, 'runs')[0] ?? 1);
    let out = '';
    for (let run = 0; run < runs; ++run)
        out += `run: ${session.run() ? 'ok' : errorText(session.runError().message)}\n`;
    return out;
}

// strtod's reading of the texts the expectations use: numbers, nan and inf.
function cNumber(text) {
    const t = text.trim();
    if (/^[+-]?nan/i.test(t)) return NaN;
    if (/^[+-]?inf/i.test(t)) return t.startsWith('-') ? -Infinity : Infinity;
    return Number(t);
}

// "NAME = VALUE" (exact) or "NAME ~ VALUE" (within a relative 1e-9), VALUE a number or "[1, 2; 3, 4]".
function checkExpectation(vars, expectation, where) {
    const op = expectation.search(/[=~]/);
    const name = expectation.slice(0, op).trim();
    const approximate = expectation[op] === '~';
    const rows = expectation.slice(op + 1).replace(/[[\]]/g, ' ').split(';');
    const v = vars.get(name);
    assert.ok(v, `${where}: ${name} exists`);
    assert.equal(v.rows, rows.length, `${where}: rows of ${name}`);
    rows.forEach((row, r) => {
        const cells = row.split(',');
        assert.equal(v.cols, cells.length, `${where}: columns of ${name}`);
        cells.forEach((cell, c) => {
            const expected = cNumber(cell), actual = v.values[r * v.cols + c];
            const tolerance = approximate ? 1e-9 * Math.max(1, Math.abs(expected)) : 0;
            const same = Number.isNaN(expected) ? Number.isNaN(actual)
                                                : actual === expected ||
                                                  Math.abs(actual - expected) <= tolerance;
            assert.ok(same, `${where}: ${expectation} (${name}[${r}][${c}] is ${actual})`);
        });
    });
}

const scriptFiles = readdirSync(new URL('tests/scripts/', root)).filter((f) => f.endsWith('.qx'));
const seen = { opcodes: new Set(), functions: new Set() };

test('the golden scripts give what their comments expect', () => {
    let cases = 0;
    for (const file of scriptFiles.sort()) {
        for (const { name, text } of scriptCases(file)) {
            const session = new qx.Session(false);
            const options = directives(text, 'option').join(' ');
            session.setClipping(!options.includes('no-clipping'));
            session.setSmartError(!options.includes('no-smart-error'));
            const runs = describeRuns(session, text);
            assert.equal(runs, expectedRuns(text), name);
            if (!runs.startsWith('compile:')) {
                const listing = session.listing();
                for (const m of listing.matchAll(/\b(ot[A-Z]+)\b/g)) seen.opcodes.add(m[1]);
                for (const m of listing.matchAll(/F=([A-Za-z_][A-Za-z0-9_]*)\(/g))
                    seen.functions.add(m[1]);
                const expected = directives(text, 'listing');
                if (expected.length) assert.equal(listing, expected.join('\n') + '\n', name);
                const vars = new Map(session.variables(1e7).map((v) => [v.name, v]));
                for (const e of directives(text, 'expect')) checkExpectation(vars, e, name);
            }
            session.delete();
            ++cases;
        }
    }
    assert.ok(cases > 100, `only ${cases} cases`);
});

test('the golden scripts reach every opcode and every standard function', () => {
    const opcodes = [...read('qx/vm/bytecode.h').matchAll(/X\(\d+, (ot[A-Z]+),/g)].map((m) => m[1]);
    const words = JSON.parse(read('editors/qx-words.json'));
    assert.ok(opcodes.length > 40);
    assert.deepEqual(opcodes.filter((o) => !seen.opcodes.has(o)), []);
    assert.deepEqual(words.functions.filter((f) => !seen.functions.has(f)), []);
});

// ---- What the JavaScript API adds ----

const session = () => new qx.Session(true);

test('errors carry the line and the column of the token they point at', () => {
    const s = session();
    // Line 1 counts positions from its first character, later lines from the line feed.
    assert.equal(s.compile('double a;\na = b + 1;'), false);
    assert.deepEqual(pick(s.compileError(), 'type', 'line', 'column'), { type: 15, line: 2, column: 4 });
    assert.equal(s.compile('double a a;'), false);
    assert.deepEqual(pick(s.compileError(), 'line', 'column'), { line: 1, column: 9 });
    // A run-time error on a variable points at its mention; the trace names the calls.
    s.clearScript();
    assert.ok(s.compile('func f(m[2][2]) {\n  return m[5][0];\n}\ndouble x;\nx = f([1, 2; 3, 4]);'));
    assert.equal(s.run(), false);
    const e = s.runError();
    assert.match(e.message, /^Interpreter Error: {2}on line 2, .*Row-Index out of Range accessing Variable m$/);
    assert.deepEqual(pick(e, 'line', 'column'), { line: 2, column: 9 });
    assert.deepEqual(e.trace.map((t) => [t.function, t.line]), [['', 2], ['f', 5]]);
    assert.equal(e.traceText, '  in f, called at line 5\n');
    s.delete();
});

function pick(object, ...keys) {
    return Object.fromEntries(keys.map((k) => [k, object[k]]));
}

test('print and puts write to the output; variables come whole or summarised', () => {
    const s = session();
    assert.ok(s.compile('double m[3][400], t[];\nm = ones(3, 400) * 2; t = [1.5, -2];\nprint(t); puts("done");'));
    assert.ok(s.run());
    assert.equal(s.takeOutput(), '[1.5, -2]\ndone\n');
    assert.equal(s.takeOutput(), '');
    const vars = new Map(s.variables(100).map((v) => [v.name, v]));
    assert.deepEqual(pick(vars.get('m'), 'type', 'rows', 'cols', 'resizable', 'constant'),
                     { type: 'double', rows: 3, cols: 400, resizable: false, constant: false });
    assert.equal(vars.get('m').values.length, 100);
    assert.deepEqual(Array.from(vars.get('t').values), [1.5, -2]);
    assert.equal(vars.get('t').resizable, true);
    assert.equal(vars.get('pi').constant, true);
    assert.equal(s.valueText('t'), '[1.5, -2]');
    assert.equal(s.valueText('m').split('\n').length, 3);
    assert.equal(s.valueText('nothing'), '');
    // A new script replaces the old one's globals and functions.
    s.clearScript();
    assert.ok(s.compile('func f() { return 1; } double t;'));
    assert.equal(s.hasVariable('m'), false);
    s.delete();
});

test('sizes beyond the 32-bit memory fail as errors and the session goes on', () => {
    const s = session();
    const scripts = [
        'byte m[];\nm.resize(65536, 65537);',  // 2^32 + 2^16 bytes: would wrap to 64 KiB
        'double m[];\nm = zeros(65536, 65537);',
        'double a[], b[], c[];\na = ones(65536, 1); b = ones(1, 65537);\nc = a * b;',
    ];
    for (const text of scripts) {
        s.clearScript();
        assert.ok(s.compile(text), text);
        assert.equal(s.run(), false, text);
        assert.match(s.runError().message, /Unknown Exception/, text);
    }
    s.setStorageLimit(1 << 20);
    s.clearScript();
    assert.ok(s.compile('double m[];\nm = zeros(1000, 1000);'));
    assert.equal(s.run(), false);
    assert.match(s.runError().message, /Storage limit exceeded/);
    s.clearScript();
    assert.ok(s.compile('double m[];\nm = zeros(100, 100); print(m.sum + 1);'));
    assert.ok(s.run());
    assert.equal(s.takeOutput(), '1\n');
    s.delete();
});

test('the instruction limit stops a runaway loop', () => {
    const s = session();
    assert.ok(s.compile('double i;\nwhile (1) { i++; }'));
    s.setInstructionLimit(10000);
    assert.equal(s.getInstructionLimit(), 10000);
    assert.equal(s.run(), false);
    assert.match(s.runError().message, /Instruction limit exceeded/);
    s.delete();
});

test('the example scripts run', () => {
    const examples = readdirSync(new URL('examples/', root)).filter((f) => f.endsWith('.qx'));
    assert.ok(examples.length >= 1);
    for (const file of examples) {
        const s = session();
        assert.ok(s.compile(read(`examples/${file}`)), `${file}: ${s.compileError().message}`);
        assert.ok(s.run(), `${file}: ${s.runError().message}`);
        assert.notEqual(s.takeOutput(), '', file);
        s.delete();
    }
});
