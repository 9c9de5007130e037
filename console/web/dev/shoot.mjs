// Screenshots of the page's development mode, one per recorded snapshot, with Debian's
// chromium: `node console/web/dev/shoot.mjs OUTDIR [port]` while serve.mjs runs.
import { chromium } from 'playwright-core';

const [out = '.', port = '8765'] = process.argv.slice(2);
const base = `http://127.0.0.1:${port}`;
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const page = await browser.newPage({ viewport: { width: 1200, height: 800 } });
page.on('console', (m) => console.log(`[${m.type()}] ${m.text()}`));
page.on('pageerror', (e) => console.log(`[pageerror] ${e.message}`));
const names = await (await fetch(`${base}/web/dev/fixture.json`)).json();
for (const name of Object.keys(names)) {
  await page.goto(`${base}/?fixture=${name}`);
  await page.waitForSelector('.console-frame');
  await page.waitForTimeout(300);
  await page.screenshot({ path: `${out}/${name}.png` });
  console.log(`${out}/${name}.png`);
}
await browser.close();
