// A small static HTTPS server for the demo page, on Node's built-ins only.
//   node web/serve.mjs --root DIR --cert server_cert.pem --key server_key.pem [--port 8444] [--host localhost]
// Prints "serving https://HOST:PORT/" once it listens (a port of 0 takes a free one).
import fs from 'node:fs';
import https from 'node:https';
import path from 'node:path';
import { parseArgs } from 'node:util';

const { values: options } = parseArgs({
  options: {
    root: { type: 'string' },
    cert: { type: 'string' },
    key: { type: 'string' },
    port: { type: 'string', default: '8444' },
    host: { type: 'string', default: 'localhost' },
  },
});
for (const required of ['root', 'cert', 'key']) {
  if (!options[required]) {
    console.error(`serve: --${required} is required`);
    process.exit(2);
  }
}

// ES modules are only run when served as JavaScript.
const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.ico': 'image/x-icon',
  '.txt': 'text/plain; charset=utf-8',
};

const root = fs.realpathSync(path.resolve(options.root));

// The file a request path names inside the root, or null (outside it, or no such file).
function fileFor(urlPath) {
  let relative;
  try {
    relative = decodeURIComponent(urlPath);
  } catch {
    return null;
  }
  if (relative.includes('\0')) return null;
  let file = path.join(root, relative);
  if (relative.endsWith('/')) file = path.join(file, 'index.html');
  let real;
  try {
    real = fs.realpathSync(file);
  } catch {
    return null;
  }
  if (real !== root && !real.startsWith(root + path.sep)) return null;
  return fs.statSync(real).isFile() ? real : null;
}

function answer(response, status, text) {
  response.writeHead(status, { 'content-type': 'text/plain; charset=utf-8' });
  response.end(text);
}

const server = https.createServer(
  { cert: fs.readFileSync(options.cert), key: fs.readFileSync(options.key) },
  (request, response) => {
    if (request.method !== 'GET' && request.method !== 'HEAD') return answer(response, 405, 'method not allowed\n');
    const file = fileFor(new URL(request.url, 'https://localhost').pathname);
    if (!file) return answer(response, 404, 'not found\n');
    response.writeHead(200, {
      'content-type': TYPES[path.extname(file)] ?? 'application/octet-stream',
      'content-length': fs.statSync(file).size,
      'cache-control': 'no-store',
      'x-content-type-options': 'nosniff',
    });
    if (request.method === 'HEAD') return response.end();
    fs.createReadStream(file).pipe(response);
  },
);

server.listen(Number(options.port), options.host, () => {
  console.log(`serving https://${options.host}:${server.address().port}/`);
});
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.on(signal, () => {
    server.close(() => process.exit(0));
    server.closeAllConnections();
  });
}
