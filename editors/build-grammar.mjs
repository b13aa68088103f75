// Writes the TextMate grammar qx.tmLanguage.json from the word list qx-words.json (which qxwords
// writes from the library's tables) and the token classes of qx-syntax.mjs.
//   node editors/build-grammar.mjs            writes the grammar
//   node editors/build-grammar.mjs --check    exits 1 when the committed grammar is stale
import { readFileSync, writeFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

import { buildGrammar } from './qx-syntax.mjs';

const here = (name) => fileURLToPath(new URL(name, import.meta.url));

export function grammarText() {
    const words = JSON.parse(readFileSync(here('qx-words.json'), 'utf8'));
    return JSON.stringify(buildGrammar(words), null, 2) + '\n';
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
    const target = here('qx.tmLanguage.json');
    if (process.argv.includes('--check')) {
        if (readFileSync(target, 'utf8') !== grammarText()) {
            console.error(`${target} is stale: regenerate it with scripts/web.sh words`);
            process.exit(1);
        }
    } else {
        writeFileSync(target, grammarText());
    }
}
