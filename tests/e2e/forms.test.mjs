// Making forms through the dialogs alone, by keyboard and by mouse, and a group of forms through
// the group dialog. The cases run in order on one console, in a world without the Office survey
// and without groups: each goes on from what the one before left. The keyboard cases use the
// menubar (F10, arrows, Alt+letter, Escape), a dialog's mnemonics, its Tab order, and Enter on
// the default button or the focused one; they make the form "Keys".
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  closeBy, dialog, expectText, expectTexts, FORMS, launchBrowser, expectNames, session, until, pressTool,
} from './console.mjs';

const here = path.dirname(new URL(import.meta.url).pathname);

let browser;
let s;
let page;
let world;
before(async () => {
  browser = await launchBrowser();
  s = await session(browser, { without: ['Office survey'], groups: false });
  ({ page, world } = s);
});
after(async () => {
  await s?.close();
  await browser?.close();
});

const editor = () => dialog(page, 'Create a Custom Data Form');
const question = () => dialog(page, 'Add Question');
const lines = () => editor().getByRole('listbox').getByRole('option');
const openTitle = () => page.locator('.menubar-entry.open .menubar-title');
const FORMS_NOW = ['Add new form', 'Asset tag', 'Contact details', 'Keys'];

// One question through the question dialog, and its items through the item list dialog.
async function addQuestion({ text, inventory, note = '', required = false, type = 'Edit box', items = [] }) {
  await editor().getByRole('button', { name: 'Add...' }).click();
  await question().getByLabel('Question text:').fill(text);
  await question().getByLabel('Inventory name:').fill(inventory);
  if (note) await question().getByLabel('Description:').fill(note);
  // 98.css draws a check box or radio button on its label: the label is what is clicked.
  if (type !== 'Edit box') {
    await question().locator('label', { hasText: type }).click();
    await until(() => question().getByRole('radio', { name: type }).isChecked(), (v) => v, `${type} chosen`);
  }
  if (required) {
    const label = 'Make the control a required field to fill out';
    await question().locator('label', { hasText: label }).click();
    await until(() => question().getByRole('checkbox', { name: label }).isChecked(), (v) => v, 'required');
  }
  let last = question();
  if (items.length) {
    await question().getByRole('button', { name: 'Next >' }).click();
    const list = last = dialog(page, 'Add Items');
    for (const [i, item] of items.entries()) {
      await list.getByLabel('Item name:').fill(item);
      // Enter in the name box inserts (the default button); the button does the same.
      if (i % 2 === 0) await list.getByLabel('Item name:').press('Enter');
      else await list.getByRole('button', { name: 'Insert' }).click();
      await until(() => list.getByRole('option').count(), (n) => n === i + 1, `item ${item} is listed`);
    }
  }
  await closeBy(page, question(), last.getByRole('button', { name: 'Finish' }));
}

// The focused control by its name: its label, or its own text.
function expectFocus(name, what) {
  return until(() => page.evaluate(() => {
    const n = document.activeElement;
    if (!n || n === document.body) return null;
    const label = n.labels?.[0] || document.getElementById(n.getAttribute('aria-labelledby') || '');
    return (n.getAttribute('aria-label') || (label || n).textContent).trim();
  }), (v) => v === name, what);
}

async function tabs(key, names) {
  for (const name of names) {
    await page.keyboard.press(key);
    await expectFocus(name, `${key} onto ${name}`);
  }
}

describe('the keyboard', () => {
  test('the menubar: F10, arrows, Escape, Alt+letter and an item letter', async () => {
    // F10 opens the first menu; left from the first is the last.
    for (const [key, title] of [['F10', 'File'], ['ArrowLeft', 'Help'], ['ArrowRight', 'File'], ['ArrowRight', 'View'],
      ['ArrowRight', 'Forms']]) {
      await page.keyboard.press(key);
      await expectText(openTitle(), title, `${key} onto ${title}`);
    }
    await page.keyboard.press('ArrowDown');
    await expectTexts(page.locator('.menubar-entry.open .menu-item.active .menu-text'), ['New Form...'], 'down');
    await expectText(page.getByRole('status'), 'New Form', "the item's prompt");
    await page.keyboard.press('Escape');
    await until(() => openTitle().count(), (n) => n === 0, 'Escape closes the menu');
    await expectText(page.getByRole('status'), 'Ready', 'ready again');

    await page.keyboard.press('Alt+R');
    await expectText(openTitle(), 'Forms', 'Alt+R opens Fo&rms');
    await page.keyboard.press('n');
    await editor().waitFor();
    assert.equal(await openTitle().count(), 0, 'the pick closed the menu');
  });

  test("a dialog's mnemonics: labels focus their box, buttons are pressed", async () => {
    await page.keyboard.press('Alt+F');
    await expectFocus('Form name:', 'Alt+F');
    await page.keyboard.type('Keys');
    await page.keyboard.press('Alt+D');
    await expectFocus('Description:', 'Alt+D');
    await page.keyboard.press('Alt+A');
    await question().waitFor();
    await expectFocus('Question text:', 'the new window focuses its first box');
    for (const [key, box] of [['Alt+O', 'Combo box - (fixed list)'], ['Alt+E', 'Edit box']]) {
      await page.keyboard.press(key);
      await until(() => question().getByRole('radio', { name: box }).isChecked(), (v) => v, `${key} chooses ${box}`);
    }
    await page.keyboard.press('Alt+M');
    await until(() => question().getByRole('checkbox').isChecked(), (v) => v, 'Alt+M checks the box');
  });

  test('Tab and Shift+Tab go round the tab stops in template order', async () => {
    await page.keyboard.press('Alt+Q');
    await expectFocus('Question text:', 'Alt+Q');
    await tabs('Tab', ['Inventory name:', 'Description:', 'Edit box', 'Make the control a required field to fill out',
      'Finish', 'Cancel', 'Help', 'Question text:']);
    await tabs('Shift+Tab', ['Help', 'Cancel', 'Finish']);
  });

  test('Enter presses the default button, or the push button that has the focus', async () => {
    await page.keyboard.press('Alt+Q');
    await page.keyboard.type('Room number');
    await page.keyboard.press('Alt+I');
    await page.keyboard.type('Room');
    await closeBy(page, question(), 'Enter');
    await expectTexts(lines(), ['Room number'], 'Finish added the question');

    await page.keyboard.press('Alt+A');
    await question().waitFor();
    await page.keyboard.type('Not kept');
    await tabs('Shift+Tab', ['Help', 'Cancel']);
    await closeBy(page, question(), 'Enter');
    await expectTexts(lines(), ['Room number'], 'Cancel added nothing');

    await page.keyboard.press('Alt+F');
    await expectFocus('Form name:', 'back in the name');
    await closeBy(page, editor(), 'Enter');
    await expectNames(page, FORMS_NOW, 'Close saved the form');
  });
});

describe('forms and groups', () => {
  test('the Office survey made through the dialogs is saved as its file', async () => {
    const before = fs.readdirSync(path.join(world, FORMS));
    await page.getByRole('menubar').getByRole('menuitem', { name: 'Forms' }).click();
    await page.getByRole('menu', { name: 'Forms' }).getByRole('menuitem', { name: 'New Form...' }).click();
    await editor().getByLabel('Form name:').fill('Office survey');
    await editor().getByLabel('Description:').fill('Where and how you work');

    await addQuestion({ text: 'Room number', inventory: 'Room', note: 'As printed on the door', required: true });
    await lines().filter({ hasText: 'Room number' }).click();
    await addQuestion({
      text: 'Which floor?', inventory: 'Floor', type: 'Combo box - (fixed list)', items: ['Ground', 'First', 'Second'],
    });
    await lines().filter({ hasText: 'Which floor?' }).click();
    await editor().getByRole('button', { name: 'Page Break' }).click();
    await lines().filter({ hasText: 'Page Break' }).click();
    await addQuestion({
      text: 'Color, if any', inventory: 'Color', note: 'Pick or type one', type: 'Combo box - (edit list)',
      items: ['Red', 'Blue, dark', 'Green'],
    });
    await expectTexts(lines(), ['Room number', 'Which floor?', '-----Page Break-----', 'Color, if any'], 'all entries');

    await closeBy(page, editor(), editor().locator('.dialog-body').getByRole('button', { name: 'Close' }));
    await expectNames(page, [...FORMS_NOW, 'Office survey'], 'the new form is listed');

    const made = fs.readdirSync(path.join(world, FORMS)).filter((f) => !before.includes(f));
    assert.equal(made.length, 1, `one new file: ${made}`);
    const saved = fs.readFileSync(path.join(world, FORMS, made[0]), 'latin1');
    const expected = fs.readFileSync(path.join(here, 'data', 'office-survey.FRM'), 'latin1');
    const dates = (text) => text.replace(/^(CreationDate|LastModifiedDate)=\d+\r$/gm, '$1=*\r');
    assert.equal(dates(saved), dates(expected));
  });

  test('Multiple forms makes a group that the list shows', async () => {
    await pressTool(page, 'Multiple forms');
    const group = dialog(page, 'Select Multiple Forms to Distribute');
    await group.getByLabel('Name of new group:').fill('Front desk');
    const forms = group.getByRole('listbox').getByRole('option');
    for (const name of ['Office survey', 'Contact details']) {
      const line = forms.filter({ hasText: name });
      // The box drawn before the line checks it.
      await line.locator('.lb-check').click();
      await until(() => line.getAttribute('aria-checked'), (v) => v === 'true', `${name} checked`);
    }
    await closeBy(page, group, group.getByRole('button', { name: 'OK' }));
    await expectNames(page, [...FORMS_NOW, 'Office survey', 'Front desk'], 'the group is listed');
  });
});
