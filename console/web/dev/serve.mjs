// A static server for looking at the page without the console: the page from console/web,
// 98.css from node_modules and the pictures from resources/images, at the paths the console
// serves them (the page at /, its files under /web/). `node console/web/dev/serve.mjs [port]`, then open /?fixture=editor.
import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const web = resolve(fileURLToPath(import.meta.url), '../..');
const repo = resolve(web, '../..');
const roots = [
  ['/98.css/', join(repo, 'node_modules/98.css/dist')],
  ['/images/', join(repo, 'resources/images')],
  ['/web/', web],
  ['/', web],  // only the page itself: "/" is index.html
];
const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json',
  '.svg': 'image/svg+xml', '.woff': 'font/woff', '.woff2': 'font/woff2', '.png': 'image/png',
};

const port = Number(process.argv[2] || 8765);
createServer((request, response) => {
  const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  const [prefix, root] = roots.find(([p]) => path.startsWith(p));
  const file = normalize(join(root, path.slice(prefix.length) || 'index.html'));
  let ok = file.startsWith(root);
  try {
    ok = ok && statSync(file).isFile();
  } catch {
    ok = false;
  }
  if (!ok) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
  createReadStream(file).pipe(response);
}).listen(port, '127.0.0.1', () => console.log(`http://127.0.0.1:${port}/?fixture=editor`));
