// Sending forms: scheduling (toolbar, context menu), the question before a deletion, and a task
// run that puts the form on the clients.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import {
  BUILD, closeBy, dialog, expectText, expectTexts, FORMS, newTab, row, sessionTest, taskPane, until, pressTool,
} from './console.mjs';

const taskNames = (page) => taskPane(page).locator('fieldset.task > legend');
const task = (page, name) => taskPane(page).getByRole('group', { name, exact: true });
const qvccfg = (world, ...args) => spawnSync(path.join(BUILD, 'qvccfg'), ['--world', world, ...args]);

sessionTest('schedule by toolbar and menu, the Delete key\'s question, run a task; a task that cannot run', async ({ world }, page) => {
  await expectText(taskPane(page).locator('p.empty').first(), 'No tasks are scheduled.', 'no tasks at first');

  // The toolbar's Schedule on the selected form.
  await row(page, 'Asset tag').click();
  await pressTool(page, 'Schedule a form');
  await expectTexts(taskNames(page), ['Asset tag'], 'the form is a task');

  // A group by the context menu. The list's Delete key asks first, in a box whose close box is
  // greyed.
  await row(page, 'New starters').click({ button: 'right' });
  await page.getByRole('menu', { name: 'Context menu' }).getByRole('menuitem', { name: 'Schedule a Form' }).click();
  await expectTexts(taskNames(page), ['Asset tag', 'New starters'], 'the group is a task');
  await row(page, 'Office survey').click();
  await page.keyboard.press('Delete');
  const box = dialog(page, 'Custom Data Forms');
  await expectText(box.locator('.ctl-static'), "Delete 'Office survey'?", 'the question');
  assert.ok(await box.locator('.title-bar').getByRole('button', { name: 'Close' }).isDisabled(),
    "a Yes/No box's close box is greyed");
  await closeBy(page, box, box.getByRole('button', { name: 'No' }));

  // Running the group's task now puts its forms on each client.
  const anna = task(page, 'PC-ANNA');
  await expectText(anna.locator('p.empty'), 'No forms.', 'no forms on the client before the run');
  await task(page, 'New starters').getByRole('button', { name: 'Run now' }).click();
  const runs = task(page, 'New starters').locator('details.run > summary');
  await until(async () => (await runs.allTextContents()).sort(), (v) => v.length === 2 &&
    /^PC-ANNA \u2014 \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \u2014 ok$/.test(v[0]) &&
    /^PC-BEN \u2014 \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \u2014 ok$/.test(v[1]),
  'a run on each client', 30000);
  await expectTexts(anna.getByRole('button'), ['FRM2B7.FRM', 'FRM3C.FRM'], "the forms on Anna's machine");

  // The viewer shows the form as the client's user sees it, in a page of its own.
  const viewer = await newTab(page, () => anna.getByRole('button', { name: 'FRM2B7.FRM' }).click());
  for (const words of [/Asset number/, /Who owns the machine\?/])
    await expectText(viewer.locator('body'), words, `the viewer shows ${words}`);
  await viewer.close();

  // A form whose name can have no script: the box says its task cannot run, and the pane too.
  fs.writeFileSync(path.join(world, FORMS, 'FRM9.FRM'), '[Form]\r\nFormName=What?\r\n');
  await pressTool(page, 'Refresh');
  await row(page, 'What?').click();
  await pressTool(page, 'Schedule a form');
  await expectText(box.locator('.ctl-static'),
    "The task 'What?' cannot run: its name holds a character that a file name cannot hold " +
    '(\\ / : * ? " < > |), so it has no distribution script.', 'the reason');
  await closeBy(page, box, box.getByRole('button', { name: 'OK' }));
  await expectTexts(taskNames(page), ['Asset tag', 'New starters', 'What?'], 'the task is there');
  await expectText(task(page, 'What?').locator('p.not-runnable'), 'Cannot run: its script is missing.',
    'marked as not runnable');
  assert.equal(await task(page, 'What?').locator('p.empty').count(), 0, 'not "Not run yet."');
  assert.ok(await task(page, 'What?').getByRole('button', { name: 'Run now' }).isDisabled(), 'no run');
});

// A task run on many clients: a summary of each client's last record, the failed first, page by
// page, and a filter that finds a client by name; the clients' list pages the same way.
sessionTest('sixty clients: the run summed up, failed first, page by page, found by name', async (s, page) => {
  const ini = path.join(s.world, 'world.ini');
  const clients = Array.from({ length: 60 }, (_, i) => `PC-${String(i).padStart(3, '0')}`);
  let text = fs.readFileSync(ini, 'latin1').replace('Clients=PC-ANNA,PC-BEN', `Clients=${clients.join(',')}`);
  for (const c of clients) {
    text += `\r\n[Computer ${c}]\r\nDrive C=${c}/C\r\nShare C$=C:\\\r\n`;
    fs.mkdirSync(path.join(s.world, c, 'C'), { recursive: true });
  }
  fs.writeFileSync(ini, text, 'latin1');
  fs.writeFileSync(path.join(s.world, 'PC-042/C/QVCLIENT'), 'not a folder');
  qvccfg(s.world, 'schedule', 'Office survey');
  assert.equal(qvccfg(s.world, 'run', 'Office survey').status, 1, 'one client fails');
  await s.page.context().close();
  await s.con.stop();
  await s.start();
  page = s.page;

  const survey = task(page, 'Office survey');
  await expectText(survey.locator('.run-summary'), 'Last run on each client: 59 done, 1 failed, 0 not reached', 'the summary');
  const runs = survey.locator('details.run > summary');
  await until(() => runs.allTextContents(), (v) => v.length === 50 && /^PC-042 .* failed$/.test(v[0]) &&
    /^PC-000 .* ok$/.test(v[1]), 'the failed client first, then fifty in all');
  const pager = survey.locator('.pager');
  await expectText(pager.locator('.pager-text'), '1-50 of 60', 'the first page');
  await pager.getByRole('button', { name: 'Next' }).click();
  await expectText(pager.locator('.pager-text'), '51-60 of 60', 'the second page');
  assert.ok(await pager.getByRole('button', { name: 'Next' }).isDisabled(), 'no page after the last');
  await pager.getByRole('searchbox').fill('pc-05');
  await pager.getByRole('searchbox').press('Enter');
  await until(() => runs.allTextContents(), (v) => v.length === 10 && v.every((t) => t.startsWith('PC-05')),
    'the clients whose name holds the text, from the first page');

  const clientsPager = taskPane(page).locator('.pager[data-part="clients"]');
  await expectText(clientsPager.locator('.pager-text'), '1-50 of 60', "the clients' first page");
  assert.equal(await taskPane(page).locator('fieldset.client').count(), 50, 'fifty clients shown');
});

// Changes other programs make to the share, the console database and the runs reach the page
// within a second, with nothing pressed: a form file, a task scheduled and run by qvccfg.
sessionTest('a form added, a task scheduled and run by another program are shown within a second', async (s, page) => {
  // The form is listed without Refresh, and the selected row stays selected.
  await row(page, 'Asset tag').click();
  await expectText(page.locator('.cls-SysListView32 [aria-selected="true"]'), 'Asset tag', 'selected');
  fs.writeFileSync(path.join(s.world, FORMS, 'LATE.FRM'), '[Form]\r\nFormName=Late form\r\n');
  await until(() => row(page, 'Late form').count(), (n) => n === 1, 'the new form', 1000);
  await expectText(page.locator('.cls-SysListView32 [aria-selected="true"]'), 'Asset tag', 'still selected');
  // Not while a modal window is open: the list changes when it closes.
  await page.keyboard.press('Delete');
  const box = dialog(page, 'Custom Data Forms');
  await box.waitFor();
  fs.writeFileSync(path.join(s.world, FORMS, 'LATER.FRM'), '[Form]\r\nFormName=Later form\r\n');
  await new Promise((r) => setTimeout(r, 900));
  assert.equal(await row(page, 'Later form').count(), 0, 'not listed under the question');
  await closeBy(page, box, box.getByRole('button', { name: 'No' }));
  await until(() => row(page, 'Later form').count(), (n) => n === 1, 'listed after it', 1000);
  assert.equal(qvccfg(s.world, 'schedule', 'Office survey').status, 0);
  await until(() => taskNames(page).allTextContents(), (v) => v.includes('Office survey'), 'the task', 1000);
  assert.equal(qvccfg(s.world, 'run', 'Office survey').status, 0);
  await until(() => task(page, 'Office survey').locator('details.run').count(), (n) => n === 2,
    'the run recorded', 1000);
});
