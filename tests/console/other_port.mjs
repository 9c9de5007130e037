// Opens the console's address in a fresh headless chromium, then pages of another server on
// another loopback port: in a new tab, and in the console's own tab. What that server receives
// is for the caller to judge (tests/console/security_test.py).
//
// usage: node other_port.mjs CONSOLE_URL OTHER_URL
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const [consoleUrl, otherUrl] = process.argv.slice(2);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await context.newPage();
  await page.goto(consoleUrl);
  await page.locator('.cls-SysListView32').waitFor({ timeout: 20000 });
  const other = await context.newPage();
  await other.goto(otherUrl);
  await other.waitForLoadState('load');
  // From the console's tab itself, as a link the user follows would go.
  await page.goto(otherUrl + 'from-console');
  await page.waitForLoadState('load');
} finally {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
