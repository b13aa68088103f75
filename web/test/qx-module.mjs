// Loads the WebAssembly build of qx under Node.js for the tests and the benchmark: from
// QX_WASM_DIR, or from build-web/wasm where scripts/web.sh builds it.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);

export const wasmDir =
    process.env.QX_WASM_DIR ?? fileURLToPath(new URL('../../build-web/wasm/', import.meta.url));

// The module's wasm bytes are handed over directly: the loader would otherwise try to fetch them.
export async function loadQx() {
    const create = require(`${wasmDir}/qx.js`);
    return create({ wasmBinary: readFileSync(`${wasmDir}/qx.wasm`) });
}
