// What the page shows of a run: the output, the error with its trace, the table of variables
// (large matrices summarised, the whole value on a click) and the listing.
const $ = (id) => document.getElementById(id);

// Values shown in a table cell; a click on the row shows them all.
const CELL_VALUES = 12;

function formatNumber(x) {
    if (Number.isNaN(x)) return 'nan';
    if (!Number.isFinite(x)) return x < 0 ? '-inf' : 'inf';
    return String(x);
}

// A matrix summarised for its table cell: up to CELL_VALUES values, rows split by ";".
function summary(v) {
    if (v.rows * v.cols === 0) return '[]';
    if (v.rows * v.cols === 1) return formatNumber(v.values[0]);
    const shown = Math.min(CELL_VALUES, v.values.length);
    let text = '[';
    for (let k = 0; k < shown; ++k) {
        if (k > 0) text += k % v.cols === 0 ? '; ' : ', ';
        text += formatNumber(v.values[k]);
    }
    return text + (shown < v.rows * v.cols ? ', …]' : ']');
}

export function showOutput(text) {
    $('output').textContent = text;
}

export function showErrorPanel(error) {
    const panel = $('error');
    panel.hidden = !error;
    if (!error) return;
    panel.textContent = error.message + (error.traceText ? `\n${error.traceText}` : '');
    panel.dataset.line = error.line;
    panel.dataset.column = error.column;
}

export function showListing(text) {
    $('listing').textContent = text ?? '';
}

// One row a variable; clicking it asks for the whole value (fetchValue returns a promise).
export function showVariables(variables, fetchValue) {
    const body = $('variables').querySelector('tbody');
    body.replaceChildren();
    $('value').hidden = true;
    for (const v of variables ?? []) {
        const row = document.createElement('tr');
        const cells = [v.name, v.type + (v.resizable ? ' []' : ''), `${v.rows}×${v.cols}`, summary(v)];
        for (const text of cells) {
            const cell = document.createElement('td');
            cell.textContent = text;
            row.append(cell);
        }
        row.addEventListener('click', async () => {
            const text = await fetchValue(v.name);
            if (text === null) return;
            $('value-name').textContent = `${v.name} (${v.type}, ${v.rows}×${v.cols})`;
            $('value-text').textContent = text;
            $('value').hidden = false;
        });
        body.append(row);
    }
}

export function showTab(name) {
    for (const tab of document.querySelectorAll('[data-tab]')) {
        const selected = tab.dataset.tab === name;
        tab.setAttribute('aria-selected', String(selected));
        $(`pane-${tab.dataset.tab}`).hidden = !selected;
    }
}

export function setStatus(text) {
    $('status').textContent = text;
}
