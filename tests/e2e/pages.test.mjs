// Pages the console opens in new tabs (a dialog's help, the form editor's preview), and the
// console, the plug-in and the viewer in German.
import assert from 'node:assert/strict';
import { closeBy, dialog, expectText, expectTexts, expectNames, newTab, row, sessionTest, pressTool, until } from './console.mjs';

sessionTest('F1 in a dialog opens its help; Preview opens the viewer; File, Properties shows its page; the About box ' +
  'its icon; Preview of an untouched new form', async (s, page) => {
  await pressTool(page, 'Multiple forms');
  const group = dialog(page, 'Select Multiple Forms to Distribute');
  await group.getByLabel('Name of new group:').click();
  const help = await newTab(page, () => page.keyboard.press('F1'));
  await expectText(help.getByRole('heading', { level: 1 }), 'Select Multiple Forms to Distribute', 'its help');
  await help.close();
  await closeBy(page, group, group.getByRole('button', { name: 'Cancel' }));

  await row(page, 'Contact details').dblclick();
  const editor = dialog(page, 'Edit a Custom Data Form');
  await expectText(editor.getByRole('listbox').getByRole('option').first(), 'Your name', 'the form opened');

  const viewer = await newTab(page, () => editor.getByRole('button', { name: 'Preview' }).click());
  for (const words of [/Telephone extension/, /Department/])
    await expectText(viewer.locator('body'), words, `the viewer shows ${words}`);
  await viewer.close();
  await closeBy(page, editor, editor.locator('.dialog-body').getByRole('button', { name: 'Close' }));

  const bar = page.getByRole('menubar');
  await bar.getByRole('menuitem', { name: 'File' }).click();
  await page.getByRole('menu', { name: 'File' }).getByRole('menuitem', { name: 'Properties...' }).click();
  const sheet = page.getByRole('dialog').filter({ has: page.getByRole('tab') });
  const text = sheet.getByText('No properties can be set for this control.');
  await text.waitFor();
  // What is drawn at the text's middle is the text, not the tab's panel over it.
  assert.ok(await text.evaluate((node) => {
    const r = node.getBoundingClientRect();
    return node.contains(document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2));
  }), 'the page is drawn over the tab panel');
  await closeBy(page, sheet, 'Escape');

  await bar.getByRole('menuitem', { name: 'Help' }).click();
  await page.getByRole('menu', { name: 'Help' }).getByRole('menuitem', { name: 'About the Plug-In...' }).click();
  const about = dialog(page, 'About QVccfg Control');
  const icon = about.getByRole('img', { name: 'control' });
  await until(() => icon.evaluate((img) => img.complete && img.naturalWidth), (w) => w === 32, 'the icon drawn');
  await closeBy(page, about, about.getByRole('button', { name: 'Close' }).last());

  await row(page, 'Add new form').dblclick();
  const creator = dialog(page, 'Create a Custom Data Form');
  const none = await newTab(page, () => creator.getByRole('button', { name: 'Preview' }).click());
  await expectText(none.getByRole('heading', { level: 1 }), 'No form to show yet', 'the page of no form');
});

sessionTest('in German: the list, the menus, the viewer\'s words and the stop notice', async (s, page) => {
  await expectNames(page, ['Neues Formular hinzuf\u00fcgen', 'Asset tag', 'Contact details',
    'New starters', 'Office survey'], 'the list');
  const bar = page.getByRole('menubar');
  await expectTexts(bar.getByRole('menuitem'), ['Datei', 'Ansicht', 'Formulare', 'Hilfe'], 'the menu bar');
  await bar.getByRole('menuitem', { name: 'Formulare' }).click();
  const forms = page.getByRole('menu', { name: 'Formulare' });
  await expectTexts(forms.locator('.menu-text'), ['Neues Formular...', '\u00c4ndern...', 'Antworten...'],
    'the shared menu, with the console\'s own command');
  await forms.getByRole('menuitem', { name: 'Neues Formular...' }).hover();
  await expectText(page.getByRole('status'), 'Erstellt ein neues Formular', 'the prompt');
  await forms.getByRole('menuitem', { name: 'Neues Formular...' }).click();
  const editor = dialog(page, 'Benutzerdefiniertes Datenformular erstellen');
  await editor.waitFor();
  await closeBy(page, editor, 'Escape');

  await row(page, 'Asset tag').click();
  await row(page, 'Asset tag').click({ button: 'right' });
  await expectTexts(page.getByRole('menu', { name: 'Context menu' }).locator('.menu-text'),
    ['Formular einplanen', 'L\u00f6schen', '\u00c4ndern...', 'Antworten...'], 'the context menu');
  await page.keyboard.press('Escape');
  await row(page, 'Asset tag').dblclick();
  const viewer = await newTab(page, () => page.getByRole('dialog').first().getByRole('button', { name: 'Vorschau' }).click());
  for (const words of [/Seite 1 von 1/, /Eine Antwort ist erforderlich/])
    await expectText(viewer.locator('body'), words, `the viewer says ${words}`);
  assert.doesNotMatch(await viewer.locator('body').textContent(), /Page 1 of|An answer is required/);
  await viewer.close();
  // The console stops while a dialog is open: the page says so, and sends nothing more.
  await s.con.stop();
  const notice = page.getByRole('alert');
  await expectText(notice, /Die Konsole l\u00e4uft nicht mehr/, 'the notice', 5000);
  const sent = [];
  page.on('request', (r) => { if (r.url().includes('/api/')) sent.push(r.url()); });
  await page.locator('body').click({ position: { x: 5, y: 5 }, force: true });
  await page.keyboard.press('Escape');
  await page.waitForTimeout(500);
  assert.deepEqual(sent, []);
  await expectText(notice, /Die Konsole l\u00e4uft nicht mehr/, 'the notice stays');
}, {}, { env: { LANG: 'de_DE.UTF-8', LC_ALL: '', LANGUAGE: '' } });
