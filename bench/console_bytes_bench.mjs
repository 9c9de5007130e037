// What the console's page receives over a forms share of 5,000 forms in a world of 10,000
// clients, in bytes (bodies and headers of the console's /api/ answers, as the browser counts
// them):
//
//   idle        the most in any 10 s of 45 s with the list shown and nothing done (the long
//               poll, which the console answers after 20 s when nothing changed, and whatever
//               it publishes meanwhile);
//   select      one row selected with the mouse: from the press to a second after the row
//               shows as selected.
//
// Loopback only; one console, one page, a bounded run (a minute or so).
//
// usage: node bench/console_bytes_bench.mjs [BUILD] [FORMS] [CLIENTS]   (BUILD holds qvconsole
// and qvccfg; FORMS, 5,000 by default, is the share's size; CLIENTS, 10,000 by default, the
// world's clients; Debian's chromium runs headless)
import { execFileSync, spawn } from 'node:child_process';
import { once } from 'node:events';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
const build = resolve(process.argv[2] || 'build');
const forms = Number(process.argv[3] || 5000);
const clients = Number(process.argv[4] || 10000);
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
const IDLE_MS = 45000;
const WINDOW_MS = 10000;
const SETTLE_MS = 1000;

function freePort() {
  const server = createServer();
  return new Promise((ok) => server.listen(0, '127.0.0.1', () => {
    const { port } = server.address();
    server.close(() => ok(port));
  }));
}

async function startConsole(world) {
  const port = await freePort();
  const child = spawn(join(build, 'qvconsole'), ['--world', world, '--port', String(port)], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let errors = '';
  child.stderr.on('data', (d) => { errors += d; });
  const url = await new Promise((ok, fail) => {
    let text = '';
    child.stdout.on('data', (d) => {
      text += d;
      const line = text.split('\n').find((l) => /^http:\/\/127\.0\.0\.1:\d+\/\?s=\w+$/.test(l));
      if (line) ok(line);
    });
    child.on('exit', (code) => fail(new Error(`qvconsole stopped (${code}): ${errors}`)));
  });
  return { child, url };
}

async function stopConsole({ child }) {
  if (child.exitCode !== null) return;
  const exited = once(child, 'exit');
  child.kill('SIGINT');
  await exited;
}

const root = mkdtempSync(join(tmpdir(), 'console-bytes-'));
const world = join(root, 'w');
execFileSync('python3', [join(here, 'form_world.py'), join(build, 'qvccfg'), world, String(forms)]);
// The clients, each with its C: drive, as bench/answers_bench.py makes them.
const names = Array.from({ length: clients }, (_, n) => `PC-${String(n).padStart(5, '0')}`);
const ini = join(world, 'world.ini');
writeFileSync(ini, readFileSync(ini, 'latin1').replace('Clients=PC-ANNA,PC-BEN', `Clients=${names.join(',')}`) +
  names.map((name) => `\r\n[Computer ${name}]\r\nReachable=1\r\nDrive C=${name}/C\r\nShare C$=C:\\\r\n`).join(''),
'latin1');
for (const name of names) mkdirSync(join(world, name, 'C', 'QVCLIENT'), { recursive: true });
const browser = await chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
let con = null;
try {
  con = await startConsole(world);
  const page = await (await browser.newContext({ viewport: { width: 1200, height: 800 } })).newPage();
  page.on('pageerror', (e) => console.error(`[page] ${e.message}`));
  // Every answer of the console's API the page receives in full: its size and when it ended.
  let received = [];
  page.on('requestfinished', async (request) => {
    if (!new URL(request.url()).pathname.startsWith('/api/')) return;
    const sizes = await request.sizes();
    received.push({ at: Date.now(), path: new URL(request.url()).pathname,
      bytes: sizes.responseBodySize + sizes.responseHeadersSize });
  });
  const count = (from, to) => {
    const taken = received.filter((r) => r.at >= from && r.at <= to);
    return { bytes: taken.reduce((sum, r) => sum + r.bytes, 0), answers: taken.length };
  };

  await page.goto(con.url);
  await page.waitForFunction(() => document.querySelector('.cls-SysListView32 [data-row="3"]'),
    null, { timeout: 120000 });
  await page.waitForTimeout(2 * SETTLE_MS);
  const first = count(0, Date.now());

  received = [];
  let from = Date.now();
  await page.waitForTimeout(IDLE_MS);
  const idle = received.reduce((most, r) => {
    const window = count(Math.max(from, r.at - WINDOW_MS), r.at);
    return window.bytes > most.bytes ? window : most;
  }, { bytes: 0, answers: 0 });

  received = [];
  const row = page.locator('.cls-SysListView32 [data-row="3"]');
  from = Date.now();
  await row.dispatchEvent('mousedown', { button: 0, buttons: 1 });
  await row.dispatchEvent('mouseup', { button: 0, buttons: 0 });
  await page.waitForFunction(() => document.querySelector('.cls-SysListView32 [data-row="3"]')
    ?.classList.contains('selected'), null, { timeout: 30000 });
  await page.waitForTimeout(SETTLE_MS);
  const select = count(from, Date.now());

  const kb = ({ bytes, answers }) => `${(bytes / 1024).toFixed(1).padStart(9)} KB in ${answers} answers`;
  console.log(`console ${join(build, 'qvconsole')}, ${forms} forms, ${clients} clients`);
  console.log(`  first load (to the list and ${2 * SETTLE_MS} ms on) ${kb(first)}`);
  console.log(`  idle, the most in ${WINDOW_MS / 1000} s of ${IDLE_MS / 1000}           ${kb(idle)}`);
  console.log(`  one row selected                     ${kb(select)}`);
} finally {
  if (con) await stopConsole(con);
  await browser.close();
  rmSync(root, { recursive: true, force: true });
}
