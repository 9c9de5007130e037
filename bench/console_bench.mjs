// The console in a browser over a forms share of 5,000 forms, timed as a user waits for it,
// side by side in one run with a static page that draws the same rows:
//
//   first list      from spawning qvconsole to its page showing the list of all rows: its
//                   first row laid out and painted, and the list holding every row (each row
//                   drawn, or, where only the rows in sight are drawn, the count the list
//                   tells assistive technology: aria-rowcount, aria-setsize);
//   static page     from navigating to bench/static_list.html, served with the same rows as
//                   JSON by a node server, to its last row shown (every row drawn);
//   round trips     in the page, from the input event to the frame that shows its result:
//                   select a row (mouse down on it), switch presentation (toolbar: large
//                   icons, report, list, small icons), open a menu and pick New Form (the
//                   dialog shown), Escape (the dialog gone), Refresh (F5 at the list; a form
//                   file is added before each so that the refresh has a new row to show).
//
// The machine is shared: each side reports its fastest and its median round.
//
// usage: node bench/console_bench.mjs [BUILD] [ROUNDS] [FORMS]   (BUILD holds qvconsole and
// qvccfg; FORMS, 5,000 by default, is the share's size, the test suite's round runs on a few;
// Debian's chromium runs headless)
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, unlinkSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { startConsole, stopConsole } from './qvconsole.mjs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
const build = resolve(process.argv[2] || 'build');
const rounds = Number(process.argv[3] || 5);
const forms = Number(process.argv[4] || 5000);
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
const viewport = { width: 1200, height: 800 };

// ---- The world, the console, the static server

function serveStatic(rows) {
  const page = readFileSync(join(here, 'static_list.html'));
  const json = JSON.stringify(rows);
  const server = createServer((req, res) => {
    const path = new URL(req.url, 'http://127.0.0.1').pathname;
    if (path === '/') res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' }).end(page);
    else if (path === '/rows.json') res.writeHead(200, { 'Content-Type': 'application/json' }).end(json);
    else res.writeHead(404).end();
  });
  return new Promise((ok) => server.listen(0, '127.0.0.1', () => ok(server)));
}

// ---- In the page: an input, then the frame that shows its result

// The rows the list view holds: those drawn, or the count it tells assistive technology when
// it draws only the rows in sight. Runs in the page.
function listedRows(list) {
  if (!list) return 0;
  const rowCount = Number(list.getAttribute('aria-rowcount'));
  if (rowCount) return rowCount - 1;
  const setSize = Number(list.querySelector('[data-row]')?.getAttribute('aria-setsize'));
  if (setSize) return setSize;
  return list.querySelectorAll('[data-row]').length;
}

// Resolves once the console's page shows its list with all `count` rows.
// A function the page is given, not a text to evaluate: the console's page allows no eval,
// so the row count is worked out here as listedRows does.
function listShown(page, count) {
  return page.waitForFunction((n) => {
    const list = document.querySelector('.cls-SysListView32');
    if (!list?.querySelector('[data-row="0"]')) return false;
    const rowCount = Number(list.getAttribute('aria-rowcount'));
    const setSize = Number(list.querySelector('[data-row]')?.getAttribute('aria-setsize'));
    return (rowCount ? rowCount - 1 : setSize || list.querySelectorAll('[data-row]').length) >= n;
  }, count, { polling: 'raf', timeout: 60000 });
}

// Installed in every page of the console before its scripts run, beside listedRows.
function pageHelpers() {
  const list = () => document.querySelector('.cls-SysListView32');
  const row = (i) => list()?.querySelector(`[data-row="${i}"]`);
  // Resolves after the next frame's rendering (style, layout, paint) has been done.
  const afterPaint = () => new Promise((ok) => requestAnimationFrame(() => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => ok();
    channel.port2.postMessage(0);
  }));
  const until = (done, limit, what) => new Promise((ok, fail) => {
    let timer = 0;
    const observer = new MutationObserver(() => {
      if (!done()) return;
      observer.disconnect();
      clearTimeout(timer);
      afterPaint().then(ok);
    });
    observer.observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
    timer = setTimeout(() => {
      observer.disconnect();
      fail(new Error(`${what}: the page did not show the result in time`));
    }, limit);
  });
  const mouse = (node, type) => {
    const r = node.getBoundingClientRect();
    node.dispatchEvent(new MouseEvent(type, {
      bubbles: true, cancelable: true, button: 0, buttons: type === 'mouseup' ? 0 : 1,
      clientX: r.left + 4, clientY: r.top + 4,
    }));
  };
  // A button pressed and released as the mouse does it (the page acts on the press and the
  // release, not on a click).
  const press = (node) => {
    mouse(node, 'mousedown');
    mouse(node, 'mouseup');
  };
  const key = (node, name) => node.dispatchEvent(new KeyboardEvent('keydown', {
    key: name, code: name, bubbles: true, cancelable: true,
  }));
  // Toolbar buttons are named by their tips ("Large icons", "Details").
  const tool = (label) => [...document.querySelectorAll('.cls-ToolbarWindow32 [aria-label]')]
    .find((b) => b.getAttribute('aria-label').toLowerCase() === label);
  const kinds = { 'large icons': 'lv-icon', details: 'lv-report', list: 'lv-list', 'small icons': 'lv-small' };

  // Each action: [what the user does, what shows that it is done].
  const actions = {
    select: (wanted) => {
      const i = row(wanted)?.classList.contains('selected') ? wanted + 1 : wanted;
      return [() => {
        mouse(row(i), 'mousedown');
        mouse(row(i), 'mouseup');
      }, () => row(i)?.classList.contains('selected')];
    },
    view: (label) => [() => press(tool(label)), () => list()?.classList.contains(kinds[label])],
    menu: (index) => [() => press(document.querySelector(`[data-menu="${index}"]`)),
      () => document.querySelector('.menubar-entry.open .menu')],
    pick: (item) => [() => press(document.querySelector(`.menubar-entry.open [data-item="${item}"]`)),
      () => document.querySelector('.dialog')],
    escape: () => [() => key(document.activeElement || document.body, 'Escape'),
      () => !document.querySelector('.dialog') && list()],
    refresh: (count) => [() => key(list(), 'F5'), () => listedRows(list()) > count],
  };
  window.benchRound = async (name, arg, limit = 30000) => {
    const [act, done] = actions[name](arg);
    if (done()) throw new Error(`${name} ${arg}: the result is shown before the input`);
    const start = performance.now();
    const shown = until(done, limit, `${name} ${arg ?? ''}`.trim());
    act();
    await shown;
    return performance.now() - start;
  };
}

// ---- Figures

function summary(times) {
  const sorted = [...times].sort((a, b) => a - b);
  const mid = sorted.length >> 1;
  const median = sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
  return { fastest: sorted[0], median };
}

function line(label, times, note = '') {
  const { fastest, median } = summary(times);
  return `  ${label.padEnd(44)} ${fastest.toFixed(1).padStart(8)} ${median.toFixed(1).padStart(8)}${note}`;
}

// ---- The run

const root = mkdtempSync(join(tmpdir(), 'console-bench-'));
const world = join(root, 'w');
execFileSync('python3', [join(here, 'form_world.py'), join(build, 'qvccfg'), world, String(forms)]);
const share = join(world, 'CORE1', 'D', 'Apps', 'Main', 'QVLOGON');
const browser = await chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
const times = {
  first: [], static: [], select: [], 'large icons': [], details: [], list: [], 'small icons': [],
  menu: [], pick: [], escape: [], refresh: [],
};
const added = [];
let staticServer = null;
try {
  // A first run untimed: the world settles (the module installed, the saved order written),
  // and the rows and the New Form command are read from the console's state.
  const warm = await startConsole(build, world);
  const secret = new URL(warm.url).searchParams.get('s');
  const state = await (await fetch(new URL('/api/state', warm.url),
    { headers: { 'X-Console-Secret': secret } })).json();
  await stopConsole(warm);
  const listView = (function find(ws) {
    for (const w of ws || []) {
      if (w.className === 'SysListView32') return w;
      const deeper = find(w.children);
      if (deeper) return deeper;
    }
    return null;
  })(state.snapshot.windows);
  const rows = listView?.rows || [];
  if (rows.length < forms) throw new Error(`the list holds ${rows.length} rows, not ${forms} forms`);
  let newForm = null;
  (state.console.menubar || []).forEach((menu, index) => (menu.items || []).forEach((item, at) => {
    if (!newForm && /new\s+form/i.test((item.text || '').replace(/&/g, ''))) newForm = { index, at };
  }));
  if (!newForm) throw new Error('no New Form command in the menubar');
  staticServer = await serveStatic(rows);
  const staticUrl = `http://127.0.0.1:${staticServer.address().port}/`;

  for (let r = 0; r < rounds; ++r) {
    // The console: a fresh process and a fresh browser context (nothing cached).
    let context = await browser.newContext({ viewport });
    let page = await context.newPage();
    const con = await startConsole(build, world);
    try {
      await page.goto(con.url, { waitUntil: 'commit' });
      await listShown(page, rows.length);
      times.first.push(performance.now() - con.started);
    } finally {
      await stopConsole(con);
      await context.close();
    }
    // The static page, the same way.
    context = await browser.newContext({ viewport });
    page = await context.newPage();
    const navigated = performance.now();
    await page.goto(staticUrl, { waitUntil: 'commit' });
    await page.waitForFunction((i) => document.querySelector(`#list [data-row="${i}"]`),
      rows.length - 1, { polling: 'raf', timeout: 60000 });
    times.static.push(performance.now() - navigated);
    await context.close();
  }

  // The round trips: one console, one page.
  const context = await browser.newContext({ viewport });
  await context.addInitScript({ content: `${listedRows}\n(${pageHelpers})();` });
  const page = await context.newPage();
  page.on('pageerror', (e) => console.error(`[page] ${e.message}`));
  const con = await startConsole(build, world);
  try {
    await page.goto(con.url);
    await listShown(page, rows.length);
    const round = (name, arg) => page.evaluate(([n, a]) => window.benchRound(n, a), [name, arg]);
    // Small icons first, so that every switch below changes the presentation.
    if (!(await page.evaluate(() => document.querySelector('.cls-SysListView32.lv-small'))))
      await round('view', 'small icons');
    let count = rows.length;
    for (let r = 0; r < rounds; ++r) {
      times.select.push(await round('select', 1 + (r % 8)));
      for (const view of ['large icons', 'details', 'list', 'small icons'])
        times[view].push(await round('view', view));
      times.menu.push(await round('menu', newForm.index));
      times.pick.push(await round('pick', newForm.at));
      await page.waitForTimeout(50);
      times.escape.push(await round('escape'));
      const file = join(share, `FRMB${r.toString(16).toUpperCase().padStart(3, '0')}.FRM`);
      writeFileSync(file, `[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n` +
        `[Form]\r\nFormName=Bench ${r}\r\nFormDescription=Added before refresh ${r}\r\n`);
      added.push(file);
      times.refresh.push(await round('refresh', count));
      count += 1;
    }
  } finally {
    await stopConsole(con);
    await context.close();
  }

  const first = summary(times.first), flat = summary(times.static);
  const rt = (label, name) => line(label, times[name], summary(times[name]).fastest < 100 ? '' : '  (over 100)');
  const views = ['large icons', 'details', 'list', 'small icons'];
  const allViews = views.flatMap((v) => times[v]);
  console.log(`${rows.length} rows (${forms.toLocaleString('en')} forms), ${rounds} rounds, milliseconds:` +
    `${' '.repeat(20)}fastest   median`);
  console.log(line('start -> first list shown (qvconsole)', times.first));
  console.log(line('static page -> list shown', times.static));
  console.log(`    = ${(first.fastest / flat.fastest).toFixed(2)}x (fastest), ` +
    `${(first.median / flat.median).toFixed(2)}x (median) the static page (target <= 2x)`);
  console.log('  round trips, input to the result shown (target < 100, Refresh excepted):');
  console.log(rt('select a row', 'select'));
  console.log(line('switch presentation (all four)', allViews));
  for (const v of views) console.log(rt(`  to ${v === 'details' ? 'report' : v}`, v));
  console.log(rt('open the menu with New Form', 'menu'));
  console.log(rt('New Form: the dialog shown', 'pick'));
  console.log(rt('Escape: the dialog closed', 'escape'));
  console.log(line('Refresh (F5, one new form)', times.refresh));
} finally {
  for (const file of added) {
    try { unlinkSync(file); } catch { /* already gone */ }
  }
  staticServer?.close();
  await browser.close();
  rmSync(root, { recursive: true, force: true });
}
