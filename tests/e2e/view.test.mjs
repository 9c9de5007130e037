// The list's four presentations and its columns kept across a restart, its context menu by
// mouse and by keyboard, and a toolbar button's prompt that ends with the button's dialog.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { closeBy, dialog, expectText, expectTexts, FORMS, row, sessionTest, until, pressTool } from './console.mjs';

const PRESENTATIONS = {
  'Large icons': { role: 'listbox', picture: 32 },
  'Small icons': { role: 'listbox', picture: 16 },
  List: { role: 'listbox', picture: 16 },
  Details: { role: 'grid', picture: 16 },
};

// The presentation the page shows: the pressed toolbar button, the list's role, the size of its
// pictures, its column headers and its layout.
async function expectPresentation(page, name) {
  const want = PRESENTATIONS[name];
  const list = page.locator('.cls-SysListView32');
  return until(async () => ({
    pressed: await page.getByRole('toolbar').locator('button[aria-pressed="true"]').evaluateAll(
      (buttons) => buttons.map((b) => b.getAttribute('aria-label'))),
    role: await list.getAttribute('role'),
    picture: await list.locator('[data-row] img').first().evaluate((img) => img.getBoundingClientRect().width),
    headers: await list.getByRole('columnheader').allTextContents(),
    layout: await list.evaluate((node) => [...node.classList].find((c) => c.startsWith('lv-'))),
  }), (v) => v.pressed.length === 1 && v.pressed[0] === name && v.role === want.role &&
    v.picture === want.picture && (name === 'Details') === (v.headers.join('|') === 'Form Name|Form Description'), `the ${name} presentation`);
}

sessionTest('the context menu by mouse, Shift+F10 and the menu key; a prompt that ends with the button\'s dialog; ' +
  'text kept as "?"', async (s, page) => {
  const menu = page.getByRole('menu', { name: 'Context menu' });
  const names = () => menu.locator('.menu-text').allTextContents();

  await row(page, 'Contact details').click({ button: 'right' });
  await expectTexts(menu.locator('.menu-text'), ['Schedule a Form', 'Delete', 'Modify...', 'Answers...'],
    'the menu by mouse, with the console\'s own command');
  await expectTexts(menu.locator('.menu-accel'), ['', 'Del', '', ''], 'the accelerator shown');
  await closeBy(page, menu, 'Escape');

  await row(page, 'Asset tag').click();
  await page.keyboard.press('Shift+F10');
  await until(names, (v) => v.length === 4, 'the menu by Shift+F10');
  // At the centre of the selected item's icon: the framework's icon and the page's picture of
  // it differ by a few pixels.
  const icon = await until(() => row(page, 'Asset tag').boundingBox(), (b) => b !== null, 'the item is drawn');
  const box = await until(() => menu.boundingBox(), (b) => b !== null, 'the menu is drawn');
  assert.ok(box.y >= icon.y && box.y <= icon.y + icon.height, `menu top ${box.y}, icon ${JSON.stringify(icon)}`);
  const middle = box.x + box.width / 2;
  assert.ok(middle >= icon.x && middle <= icon.x + icon.width, `menu centre ${middle}, icon ${JSON.stringify(icon)}`);
  await closeBy(page, menu, 'Escape');

  await page.keyboard.press('ContextMenu');
  await until(names, (v) => v.length === 4, 'the menu by the menu key');
  await closeBy(page, menu, 'Escape');

  await pressTool(page, 'Modify');
  const editor = dialog(page, 'Edit a Custom Data Form');
  // The frame is hidden from assistive technology while the dialog is open.
  await expectText(page.locator('.status-bar-field'), 'Ready', 'the prompt gone as the button is pressed');
  await editor.waitFor();
  await closeBy(page, editor, 'Escape');
  await expectText(page.getByRole('status'), 'Ready', 'ready after the dialog');

  // Text Windows-1252 cannot hold is kept as "?", typed or pasted.
  await row(page, 'Add new form').dblclick();
  const creator = dialog(page, 'Create a Custom Data Form');
  const name = creator.getByLabel('Form name:');
  await name.pressSequentially('A\u4f60');
  await until(() => name.inputValue(), (v) => v === 'A?', 'a typed character it cannot hold');
  await name.fill('\u00dcmlaut \u20ac \u4f60\u597d');
  await until(() => name.inputValue(), (v) => v === '\u00dcmlaut \u20ac ??', 'a pasted text, kept but for two characters');
  await page.waitForTimeout(300);
  assert.equal(await name.inputValue(), '\u00dcmlaut \u20ac ??');
  await closeBy(page, creator, 'Escape');
  // A new browser session finds the console ready too.
  const again = await page.context().newPage();
  await again.goto(s.con.url);
  await expectText(again.getByRole('status'), 'Ready', 'ready in a new session');
  await again.close();
});

sessionTest('four presentations; details: the columns at the control\'s widths, cut text, a dragged divider kept ' +
  'across a restart', async (s, page) => {
  const long = `A group of forms with a very long name ${'x'.repeat(111)}`;
  fs.writeFileSync(path.join(s.world, FORMS, 'FRMLONG.FRM'),
    `[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n[Form]\r\nFormName=${long}\r\n` +
    'FormDescription=Its description\r\n');
  await expectPresentation(page, 'Large icons');
  const layouts = new Set();
  for (const name of ['Small icons', 'Large icons', 'List', 'Details']) {
    await pressTool(page, name);
    layouts.add((await expectPresentation(page, name)).layout);
  }
  assert.equal(layouts.size, 4, `each presentation its own layout: ${[...layouts]}`);
  await page.keyboard.press('F5');
  const list = page.locator('.cls-SysListView32');
  // The page of the session, also after a restart.
  const widths = () => s.page.locator('.cls-SysListView32').getByRole('columnheader')
    .evaluateAll((hs) => hs.map((h) => Math.round(h.getBoundingClientRect().width)));
  await until(widths, (v) => JSON.stringify(v) === '[108,192]', 'the columns at 108 and 192 pixels');
  // The long name is cut in its column; the description is in sight beside it.
  const cells = page.getByRole('row').filter({ hasText: 'Its description' }).getByRole('gridcell');
  await until(() => cells.count(), (n) => n === 2, 'the long name listed');
  const name = await cells.nth(0).evaluate((td) => ({ width: td.getBoundingClientRect().width, cut: td.scrollWidth > td.clientWidth }));
  assert.equal(Math.round(name.width), 108);
  assert.ok(name.cut, 'the name is cut');
  const sight = await list.boundingBox();
  const description = await cells.nth(1).boundingBox();
  assert.ok(description.x + 20 < sight.x + sight.width, `description at ${description.x}, list to ${sight.x + sight.width}`);

  // Dragging the first header's divider 92 pixels right: the list control's width.
  const at = await list.getByRole('columnheader').nth(0).locator('.lv-divider').boundingBox();
  await page.mouse.move(at.x + at.width / 2, at.y + at.height / 2);
  await page.mouse.down();
  await page.mouse.move(at.x + at.width / 2 + 50, at.y + 5, { steps: 3 });
  await page.mouse.move(at.x + at.width / 2 + 92, at.y + 5, { steps: 3 });
  // The column follows the mouse on the page at once; the console has the width once it has
  // answered the input, and only then may it be stopped.
  const taken = page.waitForResponse((r) => r.request().method() === 'POST' &&
    (r.request().postData() || '').includes('"columnWidth"'));
  await page.mouse.up();
  await taken;
  await until(widths, (v) => JSON.stringify(v) === '[200,192]', 'the first column dragged to 200 pixels');
  await s.page.context().close();
  await s.con.stop();
  await s.start();
  await until(widths, (v) => JSON.stringify(v) === '[200,192]', 'the width kept across a restart');
});
