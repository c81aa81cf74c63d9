// A static file server on 127.0.0.1 for the galleries under one folder.
import { createServer } from 'node:http';
import { createReadStream, statSync } from 'node:fs';
import { extname, join, normalize, sep } from 'node:path';

const types = {
  '.html': 'text/html',
  '.htm': 'text/html',
  '.css': 'text/css',
  '.js': 'text/javascript',
  '.jpg': 'image/jpeg',
  '.jpeg': 'image/jpeg',
  '.gif': 'image/gif',
  '.bmp': 'image/bmp',
  '.png': 'image/png',
  '.csv': 'text/plain',
  '.mp4': 'video/mp4',
  '.webm': 'video/webm',
};

/** The bytes a URL path stands for: each %XX is one byte, every other character its UTF-8. */
function percentDecodedBytes(pathname) {
  const parts = [];
  for (let i = 0; i < pathname.length; i++) {
    const hex = pathname.slice(i + 1, i + 3);
    if (pathname[i] === '%' && /^[0-9A-Fa-f]{2}$/.test(hex)) {
      parts.push(Buffer.from([parseInt(hex, 16)]));
      i += 2;
    } else {
      parts.push(Buffer.from(pathname[i], 'utf8'));
    }
  }
  return Buffer.concat(parts);
}

/**
 * Serves the files under `root` on 127.0.0.1 at a free port. Resolves to
 * { url(path), close() }, where url() turns a path under root into its address.
 * HTML goes out without a charset so that the page's own meta element decides, as with a
 * plain web server.
 */
export function startServer(root) {
  // Paths are handled as one character per byte (latin1), so a name whose bytes are not
  // UTF-8 (a cp932 name from a Windows zip) is served from exactly those bytes.
  const rootBytes = Buffer.from(root).toString('latin1');
  const server = createServer((req, res) => {
    let path;
    try {
      path = percentDecodedBytes(new URL(req.url, 'http://127.0.0.1').pathname).toString('latin1');
    } catch {
      res.writeHead(400).end();
      return;
    }
    const file = normalize(join(rootBytes, path));
    if (file !== rootBytes && !file.startsWith(rootBytes + sep)) {
      res.writeHead(403).end();
      return;
    }
    const fsPath = Buffer.from(file, 'latin1');
    let stat;
    try {
      stat = statSync(fsPath);
    } catch {
      res.writeHead(404).end();
      return;
    }
    if (!stat.isFile()) {
      res.writeHead(404).end();
      return;
    }
    const type = types[extname(file).toLowerCase()] ?? 'application/octet-stream';
    res.writeHead(200, { 'Content-Type': type, 'Content-Length': stat.size, 'Cache-Control': 'no-store' });
    if (req.method === 'HEAD') {
      res.end();
      return;
    }
    createReadStream(fsPath).pipe(res);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      resolve({
        url(absolutePath) {
          const relative = absolutePath.slice(root.length).split(sep).map(encodeURIComponent).join('/');
          return `http://127.0.0.1:${port}${relative.startsWith('/') ? '' : '/'}${relative}`;
        },
        close() {
          server.closeAllConnections?.();
          return new Promise((done) => server.close(() => done()));
        },
      });
    });
  });
}
