// The editor grammar (editors/qx.tmLanguage.json) tokenised as editors tokenise it, with
// vscode-textmate and the Oniguruma engine: each token class and the cases where qx reads text
// differently from its neighbours; the playground's tokenizer gives the same classes; and the
// committed grammar is the one the word list makes.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { test } from 'node:test';

import { StringStream } from '@codemirror/language';
import oniguruma from 'vscode-oniguruma';
import textmate from 'vscode-textmate';

import { grammarText } from '../../editors/build-grammar.mjs';
import { CLASSES, makeTokenizer, startState } from '../../editors/qx-syntax.mjs';

const require = createRequire(import.meta.url);
const editors = new URL('../../editors/', import.meta.url);
const words = JSON.parse(readFileSync(new URL('qx-words.json', editors), 'utf8'));
const classOfScope = Object.fromEntries(Object.entries(CLASSES).map(([c, v]) => [v.scope, c]));

async function loadGrammar() {
    const wasm = readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
    await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.length));
    const registry = new textmate.Registry({
        onigLib: Promise.resolve({
            createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
            createOnigString: (text) => new oniguruma.OnigString(text),
        }),
        loadGrammar: async () =>
            textmate.parseRawGrammar(readFileSync(new URL('qx.tmLanguage.json', editors), 'utf8'),
                                     'qx.tmLanguage.json'),
    });
    return registry.loadGrammar('source.qx');
}
const grammar = await loadGrammar();

// The tokens of a text as [text, class] pairs, white space left out, for each highlighter. The
// grammar gives a comment's or a string's delimiters tokens of their own: they are joined again.
const SPANS = new Set(['lineComment', 'blockComment', 'string']);

function grammarTokens(text) {
    const out = [];
    let stack = textmate.INITIAL;
    for (const line of text.split('\n')) {
        const result = grammar.tokenizeLine(line, stack);
        let last = null;
        for (const t of result.tokens) {
            const piece = line.slice(t.startIndex, t.endIndex);
            const scope = t.scopes[t.scopes.length - 1];
            const cls = classOfScope[scope] ?? scope;
            if (last && SPANS.has(cls) && last.cls === cls && last.end === t.startIndex) {
                last.text += piece;
            } else if (piece.trim() !== '') {
                last = { text: piece, cls };
                out.push(last);
            } else {
                last = null;
                continue;
            }
            last.end = t.endIndex;
        }
        stack = result.ruleStack;
    }
    return out.map((t) => [t.text.trim(), t.cls]);
}

function playgroundTokens(text) {
    const token = makeTokenizer(words);
    const state = startState();
    const out = [];
    for (const line of text.split('\n')) {
        const stream = new StringStream(line, 4, 4);
        while (!stream.eol()) {
            const cls = token(stream, state);
            const piece = line.slice(stream.start, stream.pos);
            if (cls !== null && piece.trim() !== '') out.push([piece.trim(), cls]);
            stream.start = stream.pos;
        }
    }
    return out;
}

// The class of each listed token, looked up in order among the text's tokens.
function expectClasses(tokens, expected) {
    let at = 0;
    for (const [text, cls] of expected) {
        const found = tokens.findIndex((t, i) => i >= at && t[0] === text);
        assert.notEqual(found, -1, `token ${text} not found after position ${at}`);
        assert.equal(tokens[found][1], cls, `class of ${text}`);
        at = found + 1;
    }
}

const SAMPLES = {
    comments: '// a line "with a string"\nx = 1; /* a block\nover two lines // not a line */ y',
    strings: 's = "a // b /* c"; t = "a\\"; u = "one\ntwo"; v = "x" "y";',
    numbers: 'a = 1e-3 + 2.5E+10 + 3. + 0x1F + 0X1F + 0X1.8p3 + 42 + .5 + 0xg;',
    dots: 'c = a.*b; d = a./b; e = a . sum; f = m.rows; g = 3.*a; h = a./*b*/c; m.resize(2, 2); q = a.foo;',
    operators: 'x += 1; y -= 2; z *= 3; w /= 4; i++; j--; k = a &&. b ||. c != d !=. e;\nl = !a && b || c <= d >= e < f > g == h % 2 ^ 3;',
    words: 'func norm(v[1][3], &r) { double s; if (s) return sqrt(s); else { while (1) break; } }\nfor (i = 0; i < n; i++;) continue;\nformat = For + pi + dtBYTE + a:b + my_fn(2) + sin;',
    unknown: 'a # b $ c | d :: e ~',
};

test('every token class has its scope', () => {
    expectClasses(grammarTokens(SAMPLES.words), [
        ['func', 'funcKeyword'], ['norm', 'functionName'], ['v', 'variable'], ['[', 'bracket'],
        ['1', 'number'], ['&', 'reference'], ['r', 'variable'], ['{', 'bracket'],
        ['double', 'type'], ['s', 'variable'], [';', 'terminator'], ['if', 'keyword'],
        ['return', 'keyword'], ['sqrt', 'standardFunction'], ['else', 'keyword'],
        ['while', 'keyword'], ['break', 'keyword'], ['for', 'keyword'], ['continue', 'keyword'],
        ['format', 'variable'], ['For', 'variable'], ['pi', 'constant'], ['dtBYTE', 'constant'],
        ['a:b', 'variable'], ['my_fn', 'call'], ['sin', 'standardFunction'],
    ]);
    expectClasses(grammarTokens(SAMPLES.operators), [
        ['+=', 'assignment'], ['-=', 'assignment'], ['*=', 'assignment'], ['/=', 'assignment'],
        ['++', 'increment'], ['--', 'increment'], ['=', 'assignment'], ['&&.', 'elementwise'],
        ['||.', 'elementwise'], ['!=', 'comparison'], ['!=.', 'elementwise'], ['!', 'logical'],
        ['&&', 'logical'], ['||', 'logical'], ['<=', 'comparison'], ['>=', 'comparison'],
        ['<', 'comparison'], ['>', 'comparison'], ['==', 'comparison'], ['%', 'arithmetic'],
        ['^', 'arithmetic'],
    ]);
    expectClasses(grammarTokens(SAMPLES.unknown), [
        ['#', 'invalid'], ['$', 'invalid'], ['|', 'invalid'], [':', 'invalid'], ['~', 'invalid'],
    ]);
});

test('comments and strings end where the lexer ends them', () => {
    const comments = grammarTokens(SAMPLES.comments);
    assert.deepEqual(comments[0], ['// a line "with a string"', 'lineComment']);
    expectClasses(comments, [
        ['x', 'variable'], ['/* a block', 'blockComment'],
        ['over two lines // not a line */', 'blockComment'], ['y', 'variable'],
    ]);
    // No escape sequences: a backslash is a character and the next quote ends the string.
    expectClasses(grammarTokens(SAMPLES.strings), [
        ['"a // b /* c"', 'string'], ['t', 'variable'], ['"a\\"', 'string'], ['u', 'variable'],
        ['"one', 'string'], ['two"', 'string'], [';', 'terminator'], ['"x"', 'string'],
        ['"y"', 'string'],
    ]);
});

test('numbers in every form the lexer reads, and a dot before a digit starts none', () => {
    expectClasses(grammarTokens(SAMPLES.numbers), [
        ['1e-3', 'number'], ['2.5E+10', 'number'], ['3.', 'number'], ['0x1F', 'hexNumber'],
        ['0X1F', 'hexNumber'], ['0X1.8p3', 'hexNumber'], ['42', 'number'], ['.5', 'invalid'],
        ['0', 'number'], ['xg', 'variable'],
    ]);
});

test('element-wise operators against methods after a dot', () => {
    expectClasses(grammarTokens(SAMPLES.dots), [
        ['a', 'variable'], ['.*', 'elementwise'], ['b', 'variable'], ['./', 'elementwise'],
        ['.', 'accessor'], ['sum', 'method'], ['.', 'accessor'], ['rows', 'method'],
        ['3.', 'number'], ['*', 'arithmetic'], ['./', 'elementwise'], ['*', 'arithmetic'],
        ['b', 'variable'], ['*', 'arithmetic'], ['/', 'arithmetic'], ['c', 'variable'],
        ['resize', 'method'], ['foo', 'invalid'],
    ]);
});

test('the playground tokenizer agrees with the grammar', () => {
    for (const [name, text] of Object.entries(SAMPLES))
        assert.deepEqual(playgroundTokens(text), grammarTokens(text), name);
});

test('the committed grammar is the one the word list makes', () => {
    assert.equal(readFileSync(new URL('qx.tmLanguage.json', editors), 'utf8'), grammarText());
});
