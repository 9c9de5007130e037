// Sending forms: scheduling (toolbar, context menu), the question before a deletion, and a task
// run that puts the form on the clients.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  dialog, expectText, expectTexts, FORMS, newTab, row, sessionTest, taskPane, until, pressTool,
} from './console.mjs';

const taskNames = (page) => taskPane(page).locator('fieldset.task > legend');
const task = (page, name) => taskPane(page).getByRole('group', { name, exact: true });

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
  await box.getByRole('button', { name: 'No' }).click();
  await box.waitFor({ state: 'detached' });

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
  await box.getByRole('button', { name: 'OK' }).click();
  await box.waitFor({ state: 'detached' });
  await expectTexts(taskNames(page), ['Asset tag', 'New starters', 'What?'], 'the task is there');
  await expectText(task(page, 'What?').locator('p.not-runnable'), 'Cannot run: its script is missing.',
    'marked as not runnable');
  assert.equal(await task(page, 'What?').locator('p.empty').count(), 0, 'not "Not run yet."');
  assert.ok(await task(page, 'What?').getByRole('button', { name: 'Run now' }).isDisabled(), 'no run');
});
