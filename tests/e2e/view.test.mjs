// The list's four presentations and their persistence, its context menu by mouse and by
// keyboard, and a toolbar button's tooltip with its prompt in the status bar.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { expectText, expectTexts, launchBrowser, row, session, until, pressTool } from './console.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const PRESENTATIONS = {
  'Large icons': { role: 'listbox', picture: 32 },
  'Small icons': { role: 'listbox', picture: 16 },
  List: { role: 'listbox', picture: 16 },
  Details: { role: 'grid', picture: 16 },
};

// The presentation the page shows: the pressed toolbar button, the list's role and the size
// of its pictures; the details show the two column headers.
async function shown(page) {
  // A button is named by its picture until its tip was asked for: names are compared in
  // lower case.
  const pressed = await page.getByRole('toolbar').locator('button[aria-pressed="true"]').evaluateAll(
    (buttons) => buttons.map((b) => b.getAttribute('aria-label').toLowerCase()));
  const list = page.locator('.cls-SysListView32');
  const role = await list.getAttribute('role');
  const picture = await list.locator('[data-row] img').first().evaluate((img) => img.getBoundingClientRect().width);
  const headers = await list.getByRole('columnheader').allTextContents();
  const layout = await list.evaluate((node) => [...node.classList].find((c) => c.startsWith('lv-')));
  return { pressed, role, picture, headers, layout };
}

async function expectPresentation(page, name) {
  const want = PRESENTATIONS[name];
  return until(() => shown(page), (v) => v.pressed.length === 1 && v.pressed[0] === name.toLowerCase() && v.role === want.role &&
    v.picture === want.picture && (name === 'Details') === (v.headers.length === 2), `the ${name} presentation`);
}

describe('the list view', () => {
  test('four presentations, the last kept across a restart', async () => {
    const s = await session(browser);
    try {
      await expectPresentation(s.page, 'Large icons');
      const layouts = new Set();
      for (const name of ['Details', 'Small icons', 'Large icons', 'List']) {
        await pressTool(s.page, name);
        const v = await expectPresentation(s.page, name);
        layouts.add(v.layout);
        if (name === 'Details') assert.deepEqual(v.headers, ['Form Name', 'Form Description']);
      }
      assert.equal(layouts.size, 4, `each presentation its own layout: ${[...layouts]}`);
      await s.restart();
      await expectPresentation(s.page, 'List');
      await pressTool(s.page, 'Details');
      await expectPresentation(s.page, 'Details');
      await expectText(s.page.getByRole('row').filter({ hasText: 'Asset tag' }).getByRole('gridcell').nth(1),
        'The asset number on this machine', 'the description column');
      await s.restart();
      await expectPresentation(s.page, 'Details');
    } finally {
      await s.close();
    }
  });

  test('the context menu by mouse, Shift+F10 and the menu key', async () => {
    const s = await session(browser);
    try {
      const { page } = s;
      const menu = page.getByRole('menu', { name: 'Context menu' });
      const items = ['Schedule a Form', 'Delete', 'Modify...'];
      const names = () => menu.locator('.menu-text').allTextContents();

      // Nothing for the add-new row.
      await row(page, 'Add new form').click();
      await until(() => row(page, 'Add new form').getAttribute('aria-selected'), (v) => v === 'true', 'selected');
      await row(page, 'Add new form').click({ button: 'right' });
      await page.waitForTimeout(300);
      assert.equal(await menu.count(), 0, 'no menu on the add-new row');

      await row(page, 'Contact details').click({ button: 'right' });
      await until(names, (v) => JSON.stringify(v) === JSON.stringify(items), 'the menu by mouse');
      await expectTexts(menu.locator('.menu-accel'), ['', 'Del', ''], 'the accelerator shown');
      await page.keyboard.press('Escape');
      await menu.waitFor({ state: 'detached' });

      await row(page, 'Asset tag').click();
      await page.keyboard.press('Shift+F10');
      await until(names, (v) => v.length === 3, 'the menu by Shift+F10');
      // At the centre of the selected item's icon.
      const icon = await until(() => row(page, 'Asset tag').boundingBox(), (b) => b !== null, 'the item is drawn');
      const box = await until(() => menu.boundingBox(), (b) => b !== null, 'the menu is drawn');
      // On the item: the framework's icon and the page's picture of it differ by a few pixels.
      assert.ok(box.y >= icon.y && box.y <= icon.y + icon.height, `menu top ${box.y}, icon ${JSON.stringify(icon)}`);
      const middle = box.x + box.width / 2;
      assert.ok(middle >= icon.x && middle <= icon.x + icon.width, `menu centre ${middle}, icon ${JSON.stringify(icon)}`);
      await page.keyboard.press('Escape');
      await menu.waitFor({ state: 'detached' });

      await page.keyboard.press('ContextMenu');
      await until(names, (v) => v.length === 3, 'the menu by the menu key');
      // Modify... picked from it opens the editor of that form.
      await menu.getByRole('menuitem', { name: 'Modify...' }).click();
      const editor = page.getByRole('dialog', { name: 'Edit a Custom Data Form' });
      await until(() => editor.getByLabel('Form name:').inputValue(), (v) => v === 'Asset tag', 'the form opened');
      await page.keyboard.press('Escape');
      await editor.waitFor({ state: 'detached' });
    } finally {
      await s.close();
    }
  });

  test('a toolbar tooltip and its prompt in the status bar', async () => {
    const s = await session(browser);
    try {
      const { page } = s;
      const status = page.getByRole('status');
      await expectText(status, 'Ready', 'ready at first');
      const tips = page.getByRole('toolbar').getByRole('tooltip');
      assert.equal(await tips.filter({ visible: true }).count(), 0, 'no tooltip before a hover');
      await page.getByRole('toolbar').getByRole('button', { name: 'Refresh' }).hover();
      await expectText(status, 'Refresh item information', 'the prompt');
      await expectTexts(tips.filter({ visible: true }), ['Refresh'], 'the tip of the hovered button');
      await page.getByRole('toolbar').getByRole('button', { name: 'Details' }).hover();
      await expectText(status, 'Display information about each item in the window', 'the next prompt');
      await expectTexts(tips.filter({ visible: true }), ['Details'], 'the next tip');
    } finally {
      await s.close();
    }
  });
});
