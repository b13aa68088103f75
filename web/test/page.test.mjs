// The playground in a real browser: headless Chromium driven by playwright-core against the static
// files served on 127.0.0.1. Skipped, saying so, where Chromium or the built site is missing.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync } from 'node:fs';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { serve } from '../serve.mjs';

const site = process.env.QX_SITE_DIR ?? fileURLToPath(new URL('../../build-web/site', import.meta.url));
const artifacts = fileURLToPath(new URL('../../build-web/test-artifacts/', import.meta.url));
const chromiumPath = process.env.QX_CHROMIUM ?? '/usr/bin/chromium';
const missing = !existsSync(chromiumPath) ? `no browser at ${chromiumPath}`
              : !existsSync(`${site}/index.html`) ? `no site built in ${site}` : null;

let server, browser, page, base;

before(async () => {
    if (missing) return;
    const { chromium } = await import('playwright-core');
    server = await serve(site);
    base = `http://127.0.0.1:${server.address().port}/`;
    // As root, Chromium runs only without its sandbox.
    browser = await chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
    page = await browser.newPage({ viewport: { width: 1200, height: 700 } });
    await open(base);
});

after(async () => {
    await browser?.close();
    server?.close();
});

async function open(url) {
    await page.goto(url);
    await page.waitForSelector('body[data-ready="true"]', { timeout: 15000 });
}

// Replaces the script by typing it, as a visitor does.
async function typeScript(text) {
    await page.click('.cm-content');
    await page.keyboard.press('Control+A');
    await page.keyboard.press('Delete');
    for (const [i, line] of text.split('\n').entries()) {
        if (i > 0) {
            await page.keyboard.press('Enter');
            await page.keyboard.press('Home');  // leaves out the indentation Enter may add
        }
        await page.keyboard.type(line);
    }
}

const editorText = () => page.evaluate(() =>
    [...document.querySelectorAll('.cm-line')].map((l) => l.textContent).join('\n'));

// Runs the script and waits for its result; the status tells what came of it.
async function run(how = 'key') {
    if (how === 'key') await page.keyboard.press('Control+Enter');
    else await page.click('#run');
    await page.waitForFunction(() => /^(Done|Compile error|Run-time error)/.test(
        document.getElementById('status').textContent), null, { timeout: 15000 });
    return page.textContent('#status');
}

test('a typed script runs: output and variables', { skip: missing ?? false }, async () => {
    await typeScript('double a, m[2][3];\na = 6 * 7;\nm = [1, 2, 3; 4, 5, 6];\nprint(a); puts("ok");');
    assert.match(await run('key'), /^Done/);
    assert.equal(await page.textContent('#output'), '42\nok\n');
    await page.click('[data-tab="variables"]');
    const rows = await page.$$eval('#variables tbody tr',
                                   (trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
    assert.deepEqual(rows, [['a', 'double', '1×1', '42'], ['m', 'double', '2×3', '[1, 2, 3; 4, 5, 6]']]);
    await page.click('#variables tbody tr:nth-child(2)');
    await page.waitForSelector('#value:not([hidden])');
    assert.equal(await page.textContent('#value-text'), '[1, 2, 3;\n 4, 5, 6]');
    mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: `${artifacts}/playground.png` });
});

test('a large matrix is summarised in the table and too large to show whole', { skip: missing ?? false }, async () => {
    await open(`${base}#code=${Buffer.from('double big[];\nbig = zeros(600, 500) + 7;').toString('base64url')}`);
    assert.match(await run('button'), /^Done/);
    await page.click('[data-tab="variables"]');
    assert.equal(await page.textContent('#variables tbody td:nth-child(4)'),
                 '[7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, …]');
    await page.click('#variables tbody tr');
    await page.waitForSelector('#value:not([hidden])');
    assert.match(await page.textContent('#value-text'), /^300000 elements: too many to show/);
});

test('a compile error is marked at its line and column', { skip: missing ?? false }, async () => {
    await typeScript('double x;\n// a comment\nx = 1 + y;');
    assert.match(await run('button'), /^Compile error/);
    assert.match(await page.textContent('#error'), /^Unknown Identifier on line 3, position 8/);
    const mark = await page.$eval('.cm-lintRange-error', (el) => ({
        text: el.textContent,
        line: [...document.querySelectorAll('.cm-line')].indexOf(el.closest('.cm-line')) + 1,
    }));
    assert.deepEqual(mark, { text: 'y', line: 3 });
});

test('Stop ends a runaway loop within a second and the next run works', { skip: missing ?? false }, async () => {
    await typeScript('double i;\nwhile (1) { i++; }');
    await page.click('#run');
    await page.waitForTimeout(300);
    assert.equal(await page.isEnabled('#stop'), true);
    const stopped = Date.now();
    await page.click('#stop');
    await page.waitForSelector('#run:not([disabled])', { timeout: 1000 });
    assert.ok(Date.now() - stopped < 1000);
    assert.match(await page.textContent('#status'), /^Stopped/);
    await typeScript('double b;\nb = 2;\nprint(b + 1);');
    assert.match(await run('button'), /^Done/);
    assert.equal(await page.textContent('#output'), '3\n');
});

test("a call chain deeper than the browser's stack is reported and the page goes on", { skip: missing ?? false }, async () => {
    // The worker's stack holds fewer nested calls than a native thread's (1000 levels).
    let script = 'func f0(a) { return a + 1; }\n';
    for (let i = 1; i < 400; ++i) script += `func f${i}(a) { return f${i - 1}(a) + 1; }\n`;
    script += 'double x;\nx = f399(0);';
    await open(`${base}#code=${Buffer.from(script).toString('base64url')}`);
    assert.match(await run('button'), /^Run-time error/);
    assert.match(await page.textContent('#error'), /^The browser stopped the script: .*restarted/);
    await typeScript('double c;\nc = f0(1);');
    assert.match(await run('button'), /^Compile error/);  // the restarted module forgot f0
    await typeScript('print(5);');
    assert.match(await run('button'), /^Done/);
    assert.equal(await page.textContent('#output'), '5\n');
});

test('a share link restores the script', { skip: missing ?? false }, async () => {
    const script = 'double s;\ns = 1; // naïve "text" & more\nprint(s);';
    await typeScript(script);
    await page.click('#share');
    const url = await page.inputValue('#share-link');
    assert.match(url, /#code=[A-Za-z0-9_-]+$/);
    await open(base);
    await open(url);
    assert.equal(await editorText(), script);
});

test('an example from the menu runs', { skip: missing ?? false }, async () => {
    const options = await page.$$eval('#examples option', (os) => os.map((o) => o.value));
    assert.ok(options.length > 1);
    await page.selectOption('#examples', options[1]);
    assert.match(await run('button'), /^Done/);
    assert.notEqual(await page.textContent('#output'), '');
    assert.equal(await page.isHidden('#error'), true);
});

if (missing) test(`browser tests skipped: ${missing}`, { skip: missing ?? false }, () => {});
