// The playground's editor: CodeMirror with qx highlighting from the shared token classes
// (editors/qx-syntax.mjs) and word list, Ctrl-Enter to run, and the error marker.
import { defaultKeymap, history, historyKeymap } from '@codemirror/commands';
import { bracketMatching, HighlightStyle, StreamLanguage, syntaxHighlighting } from '@codemirror/language';
import { lintGutter, setDiagnostics } from '@codemirror/lint';
import { EditorState } from '@codemirror/state';
import { EditorView, highlightActiveLine, keymap, lineNumbers } from '@codemirror/view';
import { tags } from '@lezer/highlight';

import { CLASSES, makeTokenizer, startState } from '../../editors/qx-syntax.mjs';
import words from '../../editors/qx-words.json';

const TAGS = {
    lineComment: tags.lineComment,
    blockComment: tags.blockComment,
    string: tags.string,
    number: tags.number,
    controlKeyword: tags.controlKeyword,
    definitionKeyword: tags.definitionKeyword,
    typeName: tags.typeName,
    functionDefinition: tags.function(tags.definition(tags.variableName)),
    standardFunction: tags.standard(tags.function(tags.variableName)),
    functionCall: tags.function(tags.variableName),
    constant: tags.constant(tags.variableName),
    variableName: tags.variableName,
    method: tags.function(tags.propertyName),
    operator: tags.operator,
    punctuation: tags.punctuation,
    bracket: tags.bracket,
    invalid: tags.invalid,
};

const qxLanguage = StreamLanguage.define({
    name: 'qx',
    startState,
    token: makeTokenizer(words),
    tokenTable: Object.fromEntries(Object.entries(CLASSES).map(([cls, v]) => [cls, TAGS[v.tag]])),
    languageData: { commentTokens: { line: '//', block: { open: '/*', close: '*/' } } },
});

const highlightStyle = HighlightStyle.define([
    { tag: [tags.lineComment, tags.blockComment], color: '#6a737d', fontStyle: 'italic' },
    { tag: tags.string, color: '#032f62' },
    { tag: tags.number, color: '#005cc5' },
    { tag: [tags.controlKeyword, tags.definitionKeyword], color: '#d73a49', fontWeight: 'bold' },
    { tag: tags.typeName, color: '#6f42c1' },
    { tag: tags.function(tags.definition(tags.variableName)), color: '#6f42c1', fontWeight: 'bold' },
    { tag: [tags.standard(tags.function(tags.variableName)), tags.function(tags.propertyName)],
      color: '#e36209' },
    { tag: tags.function(tags.variableName), color: '#6f42c1' },
    { tag: tags.constant(tags.variableName), color: '#005cc5', fontStyle: 'italic' },
    { tag: tags.operator, color: '#d73a49' },
    { tag: tags.invalid, color: '#b31d28', textDecoration: 'underline wavy' },
]);

export function createEditor(parent, text, onRun) {
    const runKey = { key: 'Mod-Enter', run: () => (onRun(), true), preventDefault: true };
    return new EditorView({
        parent,
        state: EditorState.create({
            doc: text,
            extensions: [
                lineNumbers(), history(), highlightActiveLine(), bracketMatching(), lintGutter(),
                keymap.of([runKey, ...defaultKeymap, ...historyKeymap]),
                qxLanguage, syntaxHighlighting(highlightStyle),
            ],
        }),
    });
}

export const getText = (view) => view.state.doc.toString();

export function setText(view, text) {
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text } });
    clearError(view);
}

// The token that starts at the column: a name or number, or one other character.
function tokenLength(lineText, column) {
    const m = /^(?:[A-Za-z_0-9](?:[A-Za-z0-9_.]|:(?!:))*|\S)/.exec(lineText.slice(column));
    return m ? m[0].length : 0;
}

// Marks the token at line (from 1) and column (from 0) with the message; an error without a
// place in the text marks nothing.
export function showError(view, error) {
    const doc = view.state.doc;
    if (error.line < 1 || error.line > doc.lines || error.column < 0) return clearError(view);
    const line = doc.line(error.line);
    const from = Math.min(line.from + error.column, line.to);
    const to = Math.min(from + Math.max(1, tokenLength(line.text, from - line.from)), doc.length);
    const diagnostic = { from, to, severity: 'error', message: error.message };
    view.dispatch(setDiagnostics(view.state, [diagnostic]));
}

export function clearError(view) {
    view.dispatch(setDiagnostics(view.state, []));
}
