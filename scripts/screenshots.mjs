// Pictures of every window of the console, in English and in German, for a person to look at:
//   QV_BUILD_DIR=build node scripts/screenshots.mjs OUTDIR
import fs from 'node:fs';
import path from 'node:path';
import { dialog, FORMS, launchBrowser, pressTool, row, session, until } from '../tests/e2e/console.mjs';

const out = path.resolve(process.argv[2] || 'screenshots');
fs.mkdirSync(out, { recursive: true });

const TEXTS = {
  en: {
    env: {},
    views: ['Large icons', 'Small icons', 'List', 'Details'],
    file: 'File', properties: 'Properties...', help: 'Help', about: 'About the Plug-In...', forms: 'Forms',
    multiple: 'Multiple forms', schedule: 'Schedule a form', editor: 'Create a Custom Data Form',
    add: 'Add...', question: 'Add Question', fixed: 'Combo box - (fixed list)', next: 'Next >',
    items: 'Add Items', group: 'Select Multiple Forms to Distribute', caption: 'Custom Data Forms',
    cancel: 'Cancel', no: 'No',
  },
  de: {
    env: { LANG: 'de_DE.UTF-8', LC_ALL: '', LANGUAGE: '' },
    views: ['Gro\u00dfe Symbole', 'Kleine Symbole', 'Liste', 'Details'],
    file: 'Datei', properties: 'Eigenschaften...', help: 'Hilfe', about: 'Info zum Plug-In...', forms: 'Formulare',
    multiple: 'Mehrere Formulare', schedule: 'Formular einplanen', editor: 'Benutzerdefiniertes Datenformular erstellen',
    add: 'Hinzuf\u00fcgen...', question: 'Frage hinzuf\u00fcgen', fixed: 'Kombinationsfeld - (feste Liste)',
    next: 'Weiter >', items: 'Eintr\u00e4ge hinzuf\u00fcgen', group: 'Mehrere Formulare zur Verteilung ausw\u00e4hlen',
    caption: 'Benutzerdefinierte Datenformulare', cancel: 'Abbrechen', no: 'Nein',
  },
};

async function shoot(page, name) {
  await page.waitForTimeout(400);
  const file = path.join(out, `${name}.png`);
  await page.screenshot({ path: file });
  console.log(file);
}

async function topDialog(page) {
  await page.locator('.dialog.top').waitFor();
  return page.locator('.dialog.top');
}

async function closeTop(page, t) {
  const top = await topDialog(page);
  const open = await page.locator('.dialog').count();
  const cancel = top.locator('.window-body').getByRole('button', { name: new RegExp(`^(${t.cancel}|${t.no}|OK|Close|Schlie\u00dfen)$`) });
  // A click that falls between two drawings of the page is lost: it is given again.
  for (let attempt = 0; attempt < 3; ++attempt) {
    if (await cancel.count()) await cancel.first().click();
    else await page.keyboard.press('Escape');
    try {
      await until(() => page.locator('.dialog').count(), (n) => n < open, 'the window closed', 3000);
      return;
    } catch (error) {
      if (attempt === 2) throw error;
    }
  }
}

async function shots(browser, lang) {
  const t = TEXTS[lang];
  const s = await session(browser, {}, { env: t.env });
  const { page } = s;
  page.on('dialog', (d) => d.dismiss());
  try {
    const toolbar = page.getByRole('toolbar');
    for (const [i, view] of t.views.entries()) {
      await pressTool(page, view);
      await shoot(page, `${lang}-frame-${i + 1}-${view.replace(/\W+/g, '-').toLowerCase()}`);
    }
    // The details with a form of a long name: the columns keep their widths, the name is cut.
    fs.writeFileSync(path.join(s.world, FORMS, 'FRMLONG.FRM'),
      '[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n[Form]\r\n' +
      `FormName=A form with a long name ${'x'.repeat(126)}\r\nFormDescription=Its description\r\n`);
    await page.keyboard.press('F5');
    await until(() => page.getByText('Its description').count(), (n) => n === 1, 'the long name listed');
    await shoot(page, `${lang}-details-long-name`);
    await pressTool(page, t.views[0]);

    // A menu of the menu bar with a prompt, and a toolbar tooltip.
    await page.getByRole('menubar').getByRole('menuitem', { name: t.forms }).click();
    await page.getByRole('menu').getByRole('menuitem').first().hover();
    await shoot(page, `${lang}-menu-forms`);
    await page.keyboard.press('Escape');
    await toolbar.getByRole('button', { name: 'Details' }).hover();
    await shoot(page, `${lang}-tooltip`);

    // The context menu.
    await row(page, 'Asset tag').click({ button: 'right' });
    await shoot(page, `${lang}-context-menu`);
    await page.keyboard.press('Escape');

    // The dialogs: the editor with a form, the question dialog, the item list dialog.
    await row(page, 'Contact details').dblclick();
    await topDialog(page);
    await shoot(page, `${lang}-dialog-editor`);
    await (await topDialog(page)).getByRole('button', { name: t.add }).click();
    await until(() => page.locator('.dialog').count(), (n) => n === 2, 'the question dialog');
    await shoot(page, `${lang}-dialog-question`);
    const question = dialog(page, t.question);
    await question.getByRole('textbox').nth(0).fill('Seat');
    await question.getByRole('textbox').nth(1).fill('Seat');
    await question.locator('label', { hasText: t.fixed }).click();
    await until(() => question.getByRole('button', { name: t.next }).count(), (n) => n === 1, 'Next >');
    await shoot(page, `${lang}-dialog-question-combo`);
    await question.getByRole('button', { name: t.next }).click();
    await until(() => dialog(page, t.items).count(), (n) => n === 1, 'the item list dialog');
    const items = dialog(page, t.items);
    for (const item of ['Window', 'Aisle']) {
      await items.getByRole('textbox').fill(item);
      await items.getByRole('textbox').press('Enter');
      await page.waitForTimeout(200);
    }
    await shoot(page, `${lang}-dialog-items`);
    await closeTop(page, t);
    await until(() => page.locator('.dialog').count(), (n) => n === 1, 'back in the editor');
    await closeTop(page, t);
    await until(() => page.locator('.dialog').count(), (n) => n === 0, 'the editor closed');

    // The group dialog and a message box.
    await pressTool(page, t.multiple);
    await topDialog(page);
    await shoot(page, `${lang}-dialog-group`);
    await closeTop(page, t);
    await row(page, 'Asset tag').click();
    await page.keyboard.press('Delete');
    await topDialog(page);
    await shoot(page, `${lang}-message-box`);
    await closeTop(page, t);

    // The property sheet and the about box from the console's menus.
    await page.getByRole('menubar').getByRole('menuitem', { name: t.file }).click();
    await page.getByRole('menu').getByRole('menuitem', { name: t.properties }).click();
    await topDialog(page);
    await shoot(page, `${lang}-property-sheet`);
    await closeTop(page, t);
    await page.getByRole('menubar').getByRole('menuitem', { name: t.help }).click();
    await page.getByRole('menu').getByRole('menuitem', { name: t.about }).click();
    await topDialog(page);
    await shoot(page, `${lang}-about-box`);
    await closeTop(page, t);

    // The task pane with a run.
    await row(page, 'New starters').click();
    await pressTool(page, t.schedule);
    await page.locator('fieldset.task').first().waitFor();
    await page.locator('fieldset.task button').first().click();
    await page.locator('details.run').first().waitFor({ timeout: 30000 });
    await page.locator('details.run > summary').first().click();
    await shoot(page, `${lang}-task-pane-runs`);

    // The console stops under an open dialog: the page says so.
    await row(page, 'Asset tag').dblclick();
    await topDialog(page);
    await s.con.stop();
    await page.getByRole('alert').waitFor({ timeout: 10000 });
    await shoot(page, `${lang}-console-stopped`);
  } finally {
    await s.close().catch(() => {});
  }
}

const browser = await launchBrowser();
try {
  for (const lang of ['en', 'de']) await shots(browser, lang);
} finally {
  await browser.close();
}
