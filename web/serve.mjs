// A static file server for the playground on 127.0.0.1, for a local try and for the browser
// tests. Any static server works for hosting; this one only needs Node.js.
//   node web/serve.mjs [--port N] [--root DIR]
import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
};

// The file a request names under root, or null for a path that is malformed or leads out of it.
function fileOf(root, url) {
    try {
        const path = normalize(decodeURIComponent(new URL(url, 'http://127.0.0.1').pathname));
        const file = join(root, path.replace(/^([/\\])+/, '') || 'index.html');
        return file.startsWith(root + sep) ? file : null;
    } catch {
        return null;
    }
}

// The size of a regular file; -1 for anything else.
function sizeOf(file) {
    try {
        const stat = statSync(file);
        return stat.isFile() ? stat.size : -1;
    } catch {
        return -1;
    }
}

// Serves the files under root; resolves with the server once it listens (port 0: any free one).
export function serve(folder, port = 0) {
    const root = resolve(folder);
    const server = createServer((request, response) => {
        const file = fileOf(root, request.url);
        const size = file === null ? -1 : sizeOf(file);
        if (size < 0) {
            response.writeHead(404, { 'content-type': 'text/plain' }).end('not found\n');
            return;
        }
        const type = TYPES[extname(file)] ?? 'application/octet-stream';
        response.writeHead(200, { 'content-type': type, 'content-length': size });
        createReadStream(file).pipe(response);
    });
    return new Promise((done) => server.listen(port, '127.0.0.1', () => done(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
    const { values } = parseArgs({
        options: {
            port: { type: 'string', default: '8023' },
            root: { type: 'string', default: fileURLToPath(new URL('../build-web/site', import.meta.url)) },
        },
    });
    const server = await serve(values.root, Number(values.port));
    console.log(`qx playground: http://127.0.0.1:${server.address().port}/  (Ctrl-C ends it)`);
}
