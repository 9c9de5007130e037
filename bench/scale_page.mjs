// The page's side of bench/scale_bench.py: on a world it is given, the console with its page in
// Chromium, and a static page of the same rows served by node, side by side:
//
//   navigation   from page.goto to the list's first row shown (the static page: its last row);
//   page cpu     the console's share of one core over 45 s while the page is open and idle;
//   idle bytes   the most the page receives in any 10 s of those 45 s (responses as sent);
//   select bytes what the page receives for one row selection (the click to the row shown
//                selected, and 1 s after for anything that follows);
//   add bytes    what the page receives when another program puts a form in the share (the
//                write to the list one row longer, and 1 s after), and how long that took.
//
// Prints one JSON object on stdout. usage: node bench/scale_page.mjs BUILD WORLD
import { readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startConsole, stopConsole } from './qvconsole.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const build = resolve(process.argv[2] || 'build');
const world = resolve(process.argv[3]);
const ticksPerSecond = 100;

function cpuTicks(pid) {
  const fields = readFileSync(`/proc/${pid}/stat`, 'utf8').split(')').pop().trim().split(' ');
  return Number(fields[11]) + Number(fields[12]);  // utime + stime
}

// The responses the page takes while `during` runs: [milliseconds since the start, bytes].
async function responsesDuring(page, during) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Network.enable');
  const started = performance.now();
  const taken = [];
  cdp.on('Network.loadingFinished', (e) => taken.push([performance.now() - started, e.encodedDataLength]));
  await during();
  await cdp.detach();
  return taken;
}

const sum = (taken) => taken.reduce((total, [, bytes]) => total + bytes, 0);

// The most bytes any 10 s of `taken` holds: the long poll answers every 20 s when nothing
// changes, so one window of 10 s could miss it.
function worstTenSeconds(taken) {
  return Math.max(0, ...taken.map(([at]) => sum(taken.filter(([t]) => t >= at && t < at + 10000))));
}

async function staticNavigation(browser, rows) {
  const html = readFileSync(join(here, 'static_list.html'));
  const json = JSON.stringify(rows);
  const server = createServer((req, res) => {
    const path = new URL(req.url, 'http://127.0.0.1').pathname;
    if (path === '/') res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' }).end(html);
    else res.writeHead(200, { 'Content-Type': 'application/json' }).end(json);
  });
  await new Promise((ok) => server.listen(0, '127.0.0.1', ok));
  const page = await browser.newPage();
  const started = performance.now();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.locator(`li[data-row="${rows.length - 1}"]`).waitFor();
  const ms = performance.now() - started;
  await page.close();
  server.close();
  return ms;
}

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const con = await startConsole(build, world);
const result = {};
try {
  const page = await browser.newPage({ viewport: { width: 1200, height: 800 } });
  const started = performance.now();
  await page.goto(con.url);
  await page.locator('.cls-SysListView32 [data-row="0"]').waitFor();
  result.navigationMs = performance.now() - started;
  await page.waitForTimeout(3000);  // the first list settles

  const before = cpuTicks(con.child.pid);
  result.idleBytes = worstTenSeconds(await responsesDuring(page, () => page.waitForTimeout(45000)));
  result.pageCpu = (cpuTicks(con.child.pid) - before) / ticksPerSecond / 45;

  const row = page.locator('.cls-SysListView32 [data-row="5"]');
  result.selectBytes = sum(await responsesDuring(page, async () => {
    await row.click();
    await page.locator('.cls-SysListView32 [data-row="5"][aria-selected="true"]').waitFor();
    await page.waitForTimeout(1000);
  }));
  const share = join(world, 'CORE1/D/Apps/Main/QVLOGON');
  const rows = readdirSync(share).filter((n) => /\.frm$/i.test(n)).map((n) => [n, '']);
  const length = () => page.evaluate(() => {
    const table = document.querySelector('.cls-SysListView32 [aria-rowcount]');
    const item = document.querySelector('.cls-SysListView32 [aria-setsize]');
    return table ? table.getAttribute('aria-rowcount') - 1 : Number(item?.getAttribute('aria-setsize'));
  });
  const longer = (await length()) + 1;
  result.addBytes = sum(await responsesDuring(page, async () => {
    const written = performance.now();
    writeFileSync(join(share, 'LATE.FRM'), '[Form]\r\nFormName=Added by another program\r\n');
    for (let tries = 0; tries < 500 && (await length()) !== longer; tries++) await page.waitForTimeout(20);
    result.addShownMs = (await length()) === longer ? performance.now() - written : null;
    await page.waitForTimeout(1000);
  }));
  result.staticNavigationMs = await staticNavigation(browser, rows);
} finally {
  await stopConsole(con);
  await browser.close();
}
process.stdout.write(`${JSON.stringify(result)}\n`);
