// The qx playground: an editor, Run (button or Ctrl-Enter) and Stop, the example scripts of the
// repository's examples/ folder, share links, and the panes of view.js. Scripts run in a Web
// Worker (worker.js) through the Runner.
import examples from 'qx-examples';

import { clearError, createEditor, getText, setText, showError } from './editor.js';
import { Runner } from './runner.js';
import { sharedText, shareUrl } from './share.js';
import * as view from './view.js';

const $ = (id) => document.getElementById(id);

let stopped = false;  // the worker was ended by Stop: its successor's readiness says so
const runner = new Runner({
    onReady: (ms) => {
        view.setStatus(stopped ? 'Stopped; ready again' : `Ready (module loaded in ${Math.round(ms)} ms)`);
        stopped = false;
        document.body.dataset.ready = 'true';
        updateButtons();
    },
    onResult: (result) => {
        showResult(result);
        updateButtons();
    },
});

const editor = createEditor($('editor'), sharedText() ?? examples[0]?.text ?? '', () => run());

function updateButtons() {
    $('run').disabled = runner.busy;
    $('stop').disabled = !runner.busy;
}

function run() {
    if (runner.busy) return;
    clearError(editor);
    view.setStatus('Running…');
    runner.run(getText(editor));
    updateButtons();
}

function showResult(result) {
    view.showOutput(result.output);
    view.showErrorPanel(result.error);
    view.showVariables(result.variables, (name) => runner.valueText(name));
    view.showListing(result.listing);
    if (result.error) showError(editor, result.error);
    const what = result.ok ? 'Done' : result.stage === 'compile' ? 'Compile error' : 'Run-time error';
    view.setStatus(`${what} in ${Math.round(result.ms)} ms`);
    // From the page's start: what a visitor waits for the first answer (the benchmark reads it).
    document.body.dataset.firstResultMs ??= String(Math.round(performance.now()));
}

function stop() {
    stopped = true;
    runner.stop();
    view.setStatus('Stopped');
    view.showErrorPanel(null);
    updateButtons();
}

async function share() {
    const url = shareUrl(getText(editor));
    history.replaceState(null, '', url);
    $('share-link').value = url;
    $('share-link').hidden = false;
    try {
        await navigator.clipboard.writeText(url);
        view.setStatus('Link copied');
    } catch {
        view.setStatus('Link below');
    }
}

for (const [index, example] of examples.entries()) $('examples').add(new Option(example.name, index));
$('examples').addEventListener('change', (event) => {
    const example = examples[Number(event.target.value)];
    if (example) setText(editor, example.text);
    event.target.value = '';
});
$('run').addEventListener('click', run);
$('stop').addEventListener('click', stop);
$('share').addEventListener('click', share);
for (const tab of document.querySelectorAll('[data-tab]'))
    tab.addEventListener('click', () => view.showTab(tab.dataset.tab));
window.addEventListener('hashchange', () => {
    const text = sharedText();
    if (text !== null && text !== getText(editor)) setText(editor, text);
});
view.showTab('output');
updateButtons();
