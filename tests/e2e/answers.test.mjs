// Answers come back: PC-ANNA's user answers a delivered form in the viewer, the console's
// Answers window shows the answers and Export downloads the CSV that qvccfg prints.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { BUILD, closeBy, dialog, expectText, newTab, row, sessionTest, taskPane, until } from './console.mjs';

// Values that a careless writer or reader would change: blanks, commas, quotes, braces.
const ROOM = ' 2,"14" {x}';

sessionTest("PC-ANNA's user answers, the console shows the answers and exports them", async ({ world }, page) => {
  const pane = taskPane(page);
  await row(page, 'Office survey').click({ button: 'right' });
  await page.getByRole('menu', { name: 'Context menu' }).getByRole('menuitem', { name: 'Schedule a Form' }).click();
  const task = pane.getByRole('group', { name: 'Office survey', exact: true });
  await task.getByRole('button', { name: 'Run now' }).click();
  const anna = pane.getByRole('group', { name: 'PC-ANNA', exact: true });
  await anna.getByRole('button', { name: 'FRM1A.FRM' }).waitFor({ timeout: 30000 });

  // The viewer as Anna sees the form: Finish refuses until the required question is answered.
  const viewer = await newTab(page, () => anna.getByRole('button', { name: 'FRM1A.FRM' }).click());
  await viewer.getByLabel('Which floor?').selectOption('First');
  // The browser's own check of a required box is not the one under test.
  await viewer.locator('form').evaluate((f) => { f.noValidate = true; });
  await viewer.getByRole('button', { name: 'Finish' }).click();
  await expectText(viewer.getByRole('alert'), 'Please answer the question "Room number" on page 1.',
    'the first unanswered required question, on its page');
  assert.equal(await viewer.getByLabel('Which floor?').inputValue(), 'First', 'the answer given is kept');
  assert.ok(!fs.existsSync(path.join(world, 'PC-ANNA/C/QVCLIENT/CUSTDATA.INI')), 'nothing recorded yet');

  await viewer.getByLabel(/Room number/).fill(ROOM);
  await viewer.getByLabel('Color, if any').fill('Blue, dark');
  await viewer.getByRole('button', { name: 'Finish' }).click();
  await expectText(viewer.getByRole('status'), 'Thank you. Your answers have been recorded.', 'recorded');
  assert.equal(await viewer.getByLabel(/Room number/).inputValue(), ROOM, 'the page shows what was recorded');

  // Answers... on the form's context menu opens the window of its answers.
  await row(page, 'Office survey').click({ button: 'right' });
  await page.getByRole('menu', { name: 'Context menu' }).getByRole('menuitem', { name: 'Answers...' }).click();
  const win = dialog(page, 'Answers to Office survey');
  const table = win.locator('.dialog-report table');
  await until(() => table.locator('th').allTextContents(), (v) => v.join('|') === 'Client|Answered|Room|Floor|Color',
    'one column per question');
  const cells = await table.locator('tbody tr').first().locator('td').allTextContents();
  assert.equal(cells.length, 5);
  assert.equal(cells[0], 'PC-ANNA');
  assert.match(cells[1], /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/);
  assert.deepEqual(cells.slice(2), [ROOM, 'First', 'Blue, dark']);
  await expectText(win.locator('.ctl-static').first(),
    'Clients that hold the form but have not answered: 1', "Ben's machine holds it unanswered");

  // Export downloads the same CSV as `qvccfg answers --csv`.
  const download = page.waitForEvent('download');
  await win.getByRole('button', { name: 'Export' }).click();
  const file = await (await download).path();
  const csv = fs.readFileSync(file, 'utf8');
  const printed = execFileSync(path.join(BUILD, 'qvccfg'),
    ['--world', world, 'answers', 'Office survey', '--csv'], { encoding: 'utf8' });
  assert.equal(csv, printed);
  assert.match(csv, /^Client,Answered,Room,Floor,Color\r\nPC-ANNA,[^,]+," 2,""14"" \{x\}",First,"Blue, dark"\r\n$/);
  await closeBy(page, win, win.locator('.dialog-body').getByRole('button', { name: 'Close' }));

  // The Forms menu has the command as well.
  await page.getByRole('menubar').getByRole('menuitem', { name: 'Forms' }).click();
  await page.getByRole('menuitem', { name: 'Answers...' }).click();
  await dialog(page, 'Answers to Office survey').waitFor();
});
