// Opens the console's address in headless chromium, then pages of another server on another
// loopback port: in a new tab, and in the console's own tab as a link the user follows would
// go. What that server receives is for tests/console/security_test.py to judge.
//
// usage: node other_port.mjs CONSOLE_URL OTHER_URL
import { launchBrowser } from '../e2e/console.mjs';

const [consoleUrl, otherUrl] = process.argv.slice(2);
const browser = await launchBrowser();
try {
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(consoleUrl);
  await page.locator('.cls-SysListView32').waitFor({ timeout: 20000 });
  await (await context.newPage()).goto(otherUrl);
  await page.goto(`${otherUrl}from-console`);
} finally {
  await browser.close();
}
