// What the browser tests share: a fresh world in a temporary folder, the console on its
// default port or a free one, Debian's chromium on its page, and waits that poll the page.
//
// QV_BUILD_DIR names the build folder holding qvconsole and qvccfg (default: build).
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, test } from 'node:test';
import { chromium } from 'playwright-core';

export const BUILD = path.resolve(process.env.QV_BUILD_DIR || 'build');
export const FORMS = 'CORE1/D/Apps/Main/QVLOGON';
const SAMPLES = { 'Office survey': 'FRM1A.FRM', 'Asset tag': 'FRM2B7.FRM', 'Contact details': 'FRM3C.FRM' };

// Starts qvconsole on the world, on its default port or a free one; resolves once it printed
// the address to open.
async function startConsole(world, env = {}) {
  const child = spawn(path.join(BUILD, 'qvconsole'), ['--world', world], {
    env: { ...process.env, QVCCFG_PORT: '', ...env },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let out = '';
  let err = '';
  child.stderr.on('data', (d) => { err += d; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no address from qvconsole: ${out}${err}`)), 30000);
    child.stdout.on('data', (d) => {
      out += d;
      const line = out.split('\n').find((l) => /^http:\/\/127\.0\.0\.1:\d+\/\?s=\S+$/.test(l.trim()));
      if (line) {
        clearTimeout(timer);
        resolve(line.trim());
      }
    });
    exited.then(({ code }) => reject(new Error(`qvconsole ended (${code}): ${out}${err}`)));
  });
  return {
    url,
    // Ctrl-C: the console must stop by itself with status 0.
    async stop() {
      child.kill('SIGINT');
      const { code, signal } = await exited;
      assert.equal(signal, null, `qvconsole died of ${signal}: ${out}${err}`);
      assert.equal(code, 0, `qvconsole exit status: ${out}${err}`);
    },
    kill() {
      if (child.exitCode === null) child.kill('SIGKILL');
    },
  };
}

export function launchBrowser() {
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
}

// A new world made by `qvccfg init`, less the sample forms named in `without` (and the group
// file when `groups` is false); its console, and a page of its own context on it once the
// control is drawn. `restart()` starts the console and the page anew, `close()` stops it all.
export async function session(browser, { without = [], groups = true } = {}, { env } = {}) {
  const world = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-e2e-'));
  execFileSync(path.join(BUILD, 'qvccfg'), ['--world', world, 'init'], { stdio: 'pipe' });
  for (const name of without) fs.rmSync(path.join(world, FORMS, SAMPLES[name]));
  if (!groups) fs.rmSync(path.join(world, FORMS, 'FDGRPLST.GPS'));
  const s = {
    world,
    async start() {
      this.con = await startConsole(world, env);
      try {
        const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
        this.page = await context.newPage();
        this.page.on('pageerror', (e) => console.error(`[pageerror] ${e.message}`));
        await this.page.goto(this.con.url);
        await this.page.locator('.cls-SysListView32').waitFor();
      } catch (e) {
        this.con.kill();
        throw e;
      }
    },
    async restart() {
      await this.page.context().close();
      await this.con.stop();
      await this.start();
    },
    async close() {
      try {
        await this.page?.context().close();
        await this.con.stop();
      } finally {
        this.con.kill();
        fs.rmSync(world, { recursive: true, force: true });
      }
    },
  };
  await s.start();
  return s;
}

let browser;

// A test on a session of its own, in the one browser of the test file: `body(s, s.page)`.
export function sessionTest(name, body, ...options) {
  if (!browser) {
    browser = launchBrowser();
    after(async () => (await browser).close());
  }
  test(name, async () => {
    const s = await session(await browser, ...options);
    try {
      await body(s, s.page);
    } finally {
      await s.close();
    }
  });
}

// Polls `read` until `check` accepts its value; fails with the last value after `ms`.
export async function until(read, check, what, ms = 10000) {
  const end = Date.now() + ms;
  let value;
  for (;;) {
    value = await read();
    if (check(value)) return value;
    if (Date.now() > end) assert.fail(`${what}: last saw ${JSON.stringify(value)}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

// The texts of the locator's elements, once they equal `expected`.
export function expectTexts(locator, expected, what) {
  return until(async () => (await locator.allTextContents()).map((t) => t.trim()), (v) => same(v, expected), what);
}

export function expectText(locator, expected, what, ms) {
  return until(async () => ((await locator.count()) ? (await locator.first().textContent()).trim() : null),
    (v) => (expected instanceof RegExp ? expected.test(v ?? '') : v === expected), what, ms);
}

export function row(page, name) {
  return page.locator('.cls-SysListView32 [data-row]').filter({ has: page.getByText(name, { exact: true }) });
}

export function dialog(page, title) {
  return page.getByRole('dialog', { name: title, exact: true });
}

export function taskPane(page) {
  return page.getByRole('complementary', { name: 'Tasks' });
}

// The names the list shows (column 0), in any order (the catalogue lists the share's files as
// it finds them); `last`, when given, must be the last row.
export function expectNames(page, expected, what, last) {
  const names = page.locator('.cls-SysListView32 .lv-items .lv-text, .cls-SysListView32 tr[data-row] > td:first-child .lv-text');
  return until(async () => (await names.allTextContents()).map((t) => t.trim()),
    (v) => same([...v].sort(), [...expected].sort()) && (last === undefined || v[v.length - 1] === last), what);
}

// The page that `action` makes the console open in a new tab, once loaded.
export async function newTab(page, action) {
  const opened = page.context().waitForEvent('page', { timeout: 15000 });
  await action();
  const tab = await opened;
  await tab.waitForLoadState();
  return tab;
}

// A toolbar button as a person presses it: the mouse comes to rest on it (its tip shows and
// its prompt reaches the status bar), then clicks. A click at once can fall between two
// renderings of the page.
const PICTURES = { 'Schedule a form': 'schedule', 'Formular einplanen': 'schedule', 'Mehrere Formulare': 'multiple forms',
  'L\u00f6schen': 'delete', 'Details': 'details', 'Gro\u00dfe Symbole': 'large icons', 'Kleine Symbole': 'small icons',
  Liste: 'list' };

export async function pressTool(page, name) {
  // Until the framework was asked for a button's tip, the page names it by its picture.
  const bar = page.getByRole('toolbar');
  const picture = PICTURES[name] || name.toLowerCase();
  const button = bar.getByRole('button', { name, exact: true }).or(bar.getByRole('button', { name: picture, exact: true }));
  await button.hover();
  await until(() => bar.getByRole('tooltip').filter({ visible: true }).count(), (n) => n === 1, `the tip of ${name}`);
  await until(() => page.getByRole('status').textContent(), (v) => v.trim() !== 'Ready' && v.trim() !== 'Bereit',
    `the prompt of ${name}`);
  await button.click();
}

// Redraws the page from the state it holds, as an answer that comes in the middle of a
// gesture does; `full` draws the list view anew as well.
export function redraw(page, { full = false } = {}) {
  return page.evaluate((all) => window.dispatchEvent(new CustomEvent('qv-redraw', { detail: { full: all } })), full);
}

// A press on `target`, a redraw of the page while the button is down (the element pressed is
// gone from the page afterwards), and the release over `release` (by default the target);
// `during` runs with the mouse over `release` before the button comes up.
export async function pressAcrossRedraw(page, target, { release = target, full = false, steps = 1, during } = {}) {
  const centre = async (locator) => {
    const b = await until(() => locator.boundingBox(), (v) => v !== null, 'the element is drawn');
    return [b.x + b.width / 2, b.y + b.height / 2];
  };
  const [x, y] = await centre(target);
  await page.mouse.move(x, y);
  const pressed = await page.evaluateHandle(([px, py]) => document.elementFromPoint(px, py), [x, y]);
  await page.mouse.down();
  await redraw(page, { full });
  assert.ok(await pressed.evaluate((n) => !n.isConnected), `the element pressed is drawn anew: ${await pressed.evaluate((n) => n.outerHTML.slice(0, 200))}`);
  const [rx, ry] = await centre(release);
  await page.mouse.move(rx, ry, { steps });
  if (during) await during();
  await page.mouse.up();
}
