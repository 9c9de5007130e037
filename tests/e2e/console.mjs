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

export function launchBrowser() {
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
}

// A new world made by `qvccfg init`, less the sample forms named in `without` (and the group
// file when `groups` is false); its console on its default port or a free one, and a page of
// its own context on it once the control is drawn. `start()` starts the console and the page
// anew after `con.stop()` (Ctrl-C, which it must end with status 0); `close()` stops it all.
export async function session(browser, { without = [], groups = true } = {}, { env } = {}) {
  const world = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-e2e-'));
  execFileSync(path.join(BUILD, 'qvccfg'), ['--world', world, 'init'], { stdio: 'pipe' });
  for (const name of without) fs.rmSync(path.join(world, FORMS, SAMPLES[name]));
  if (!groups) fs.rmSync(path.join(world, FORMS, 'FDGRPLST.GPS'));
  let child, exited, output;
  const s = {
    world,
    async start() {
      child = spawn(path.join(BUILD, 'qvconsole'), ['--world', world], {
        env: { ...process.env, QVCCFG_PORT: '', ...env }, stdio: ['ignore', 'pipe', 'pipe'],
      });
      output = '';
      child.stderr.on('data', (d) => { output += d; });
      exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
      try {
        this.con = {
          url: await new Promise((resolve, reject) => {
            setTimeout(() => reject(new Error(`no address from qvconsole: ${output}`)), 30000).unref();
            child.stdout.on('data', (d) => {
              output += d;
              const line = output.split('\n').find((l) => /^http:\/\/127\.0\.0\.1:\d+\/\?s=\S+$/.test(l.trim()));
              if (line) resolve(line.trim());
            });
            exited.then(({ code }) => reject(new Error(`qvconsole ended (${code}): ${output}`)));
          }),
          async stop() {
            child.kill('SIGINT');
            assert.deepEqual(await exited, { code: 0, signal: null }, `qvconsole stopped: ${output}`);
          },
        };
        const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
        this.page = await context.newPage();
        this.page.on('pageerror', (e) => console.error(`[pageerror] ${e.message}`));
        await this.page.goto(this.con.url);
        await this.page.locator('.cls-SysListView32').waitFor();
      } catch (e) {
        child.kill('SIGKILL');
        throw e;
      }
    },
    async close() {
      try {
        await this.page?.context().close();
        await this.con.stop();
      } finally {
        if (child.exitCode === null) child.kill('SIGKILL');
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

// Closes `gone` by a key (`how` a key's name) or a click (`how` a locator), and waits until
// it has left the page.
export async function closeBy(page, gone, how) {
  await (typeof how === 'string' ? page.keyboard.press(how) : how.click());
  await gone.waitFor({ state: 'detached' });
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
// it finds them).
export function expectNames(page, expected, what) {
  const names = page.locator('.cls-SysListView32 .lv-items .lv-text, .cls-SysListView32 tr[data-row] > td:first-child .lv-text');
  return until(async () => (await names.allTextContents()).map((t) => t.trim()).sort(), (v) => same(v, [...expected].sort()), what);
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
export async function pressTool(page, name) {
  const bar = page.getByRole('toolbar');
  const button = bar.getByRole('button', { name, exact: true });
  await button.hover();
  await expectTexts(bar.getByRole('tooltip').filter({ visible: true }), [name], `the tip of ${name}`);
  await until(() => page.getByRole('status').textContent(), (v) => !['Ready', 'Bereit'].includes(v.trim()),
    `the prompt of ${name}`);
  await button.click();
}
