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

// Serves the files under root; resolves with the server once it listens (port 0: any free one).
export function serve(folder, port = 0) {
    const root = resolve(folder);
    const server = createServer((request, response) => {
        const url = new URL(request.url, 'http://127.0.0.1');
        const rel = normalize(decodeURIComponent(url.pathname)).replace(/^([/\\])+/, '');
        const file = join(root, rel === '' ? 'index.html' : rel);
        let size = -1;
        try {
            if (file.startsWith(root + sep) || file === root) size = statSync(file).isFile() ? statSync(file).size : -1;
        } catch {
            size = -1;
        }
        if (size < 0) {
            response.writeHead(404, { 'content-type': 'text/plain' }).end('not found\n');
            return;
        }
        const type = TYPES[extname(file)] ?? 'application/octet-stream';
        response.writeHead(200, { 'content-type': type, 'content-length': size });
        createReadStream(file).pipe(response);
    });
    return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
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
