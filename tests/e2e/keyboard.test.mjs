// The console by keyboard alone: the menubar (F10, arrows, Alt+letter, Escape), a dialog's
// mnemonics, its Tab order, and Enter on the default button or the focused one. The cases run
// in order on one console: each goes on from the window the one before left open.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { dialog, expectNames, expectText, expectTexts, launchBrowser, session, until } from './console.mjs';

let browser;
let s;
let page;
before(async () => {
  browser = await launchBrowser();
  s = await session(browser);
  page = s.page;
});
after(async () => {
  await s?.close();
  await browser?.close();
});

// The focused control by its name: its label, or its own text.
function focused() {
  return page.evaluate(() => {
    const n = document.activeElement;
    if (!n || n === document.body) return null;
    const label = n.labels?.[0] || document.getElementById(n.getAttribute('aria-labelledby') || '');
    return (n.getAttribute('aria-label') || (label || n).textContent).trim();
  });
}

function expectFocus(name, what) {
  return until(focused, (v) => v === name, what);
}

async function tabs(key, names) {
  for (const name of names) {
    await page.keyboard.press(key);
    await expectFocus(name, `${key} onto ${name}`);
  }
}

const openTitle = () => page.locator('.menubar-entry.open .menubar-title');
const editor = () => dialog(page, 'Create a Custom Data Form');
const question = () => dialog(page, 'Add Question');

describe('the keyboard', () => {
  test('the menubar: F10, arrows, Escape, Alt+letter and an item letter', async () => {
    await page.keyboard.press('F10');
    await expectText(openTitle(), 'File', 'F10 opens the first menu');
    await page.keyboard.press('ArrowLeft');
    await expectText(openTitle(), 'Help', 'left from the first is the last');
    for (const name of ['File', 'View', 'Forms']) {
      await page.keyboard.press('ArrowRight');
      await expectText(openTitle(), name, `right onto ${name}`);
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
    const radio = (name) => question().getByRole('radio', { name });
    await page.keyboard.press('Alt+O');
    await until(() => radio('Combo box - (fixed list)').isChecked(), (v) => v, 'Alt+O chooses the fixed list');
    await page.keyboard.press('Alt+E');
    await until(() => radio('Edit box').isChecked(), (v) => v, 'Alt+E the edit box again');
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
    await page.keyboard.press('Enter');
    await question().waitFor({ state: 'detached' });
    const lines = editor().getByRole('listbox').getByRole('option');
    await expectTexts(lines, ['Room number'], 'Finish added the question');

    await page.keyboard.press('Alt+A');
    await question().waitFor();
    await page.keyboard.type('Not kept');
    await tabs('Shift+Tab', ['Help', 'Cancel']);
    await page.keyboard.press('Enter');
    await question().waitFor({ state: 'detached' });
    await expectTexts(lines, ['Room number'], 'Cancel added nothing');

    await page.keyboard.press('Alt+F');
    await expectFocus('Form name:', 'back in the name');
    await page.keyboard.press('Enter');
    await editor().waitFor({ state: 'detached' });
    await expectNames(page, ['Add new form', 'Asset tag', 'Contact details', 'New starters', 'Office survey', 'Keys'],
      'Close saved the form');
  });
});
