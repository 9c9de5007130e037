// The mouse's gestures when the page is drawn anew between the button's press and its
// release (an answer to the press, or to the hover before it, comes in between): a toolbar
// button, the menubar, a double click and a drag of the list's rows, a drag in the form
// editor's question list, a dialog's button and a button of the task pane.
import assert from 'node:assert/strict';
import { dialog, expectText, expectTexts, row, sessionTest, taskPane, until } from './console.mjs';

// Redraws the page from the state it holds, as an answer that comes in the middle of a
// gesture does; `full` draws the list view anew as well.
function redraw(page, { full = false } = {}) {
  return page.evaluate((all) => window.dispatchEvent(new CustomEvent('qv-redraw', { detail: { full: all } })), full);
}

// A press on `target`, a redraw of the page while the button is down (the element pressed is
// gone from the page afterwards), and the release over `release` (by default the target);
// `during` runs with the mouse over `release` before the button comes up.
async function pressAcrossRedraw(page, target, { release = target, full = false, steps = 1, during } = {}) {
  const centre = async (locator) => {
    const b = await until(() => locator.boundingBox(), (v) => v !== null, 'the element is drawn');
    return [b.x + b.width / 2, b.y + b.height / 2];
  };
  const [x, y] = await centre(target);
  await page.mouse.move(x, y);
  const pressed = await page.evaluateHandle(([px, py]) => document.elementFromPoint(px, py), [x, y]);
  await page.mouse.down();
  await redraw(page, { full });
  assert.ok(await pressed.evaluate((n) => !n.isConnected), `the element pressed is drawn anew: ${await pressed.evaluate((n) => n.outerHTML.slice(0, 200))}`);
  const [rx, ry] = await centre(release);
  await page.mouse.move(rx, ry, { steps });
  if (during) await during();
  await page.mouse.up();
}

sessionTest('press and release across a redraw: toolbar, menubar, double click, question drag, dialog button, ' +
  'drag onto the tasks', async (s, page) => {
  const list = page.locator('.cls-SysListView32');

  // A toolbar button: the presentation changes.
  const details = page.getByRole('toolbar').getByRole('button', { name: /^details$/i });
  await pressAcrossRedraw(page, details);
  await until(() => list.getAttribute('class'), (v) => /\blv-report\b/.test(v), 'the report presentation');

  // The menubar: the press opens the menu, the release over an item picks it.
  const bar = page.getByRole('menubar');
  await pressAcrossRedraw(page, bar.getByRole('menuitem', { name: 'Forms' }), {
    release: page.getByRole('menu', { name: 'Forms' }).getByRole('menuitem', { name: 'New Form...' }), steps: 4,
  });
  const creator = dialog(page, 'Create a Custom Data Form');
  await creator.waitFor();
  // The close button of a dialog's title bar.
  await pressAcrossRedraw(page, creator.locator('.title-bar').getByRole('button', { name: 'Close' }));
  await creator.waitFor({ state: 'detached' });

  // A double click whose second release meets a list drawn anew opens the form.
  const at = await row(page, 'Office survey').boundingBox();
  await page.mouse.click(at.x + 20, at.y + at.height / 2);
  await page.mouse.down({ clickCount: 2 });
  await redraw(page, { full: true });
  await page.mouse.up({ clickCount: 2 });
  const editor = dialog(page, 'Edit a Custom Data Form');
  const lines = editor.getByRole('listbox').getByRole('option');
  const entries = ['Room number', 'Which floor?', '-----Page Break-----', 'Color, if any'];
  const moved = ['Which floor?', '-----Page Break-----', 'Room number', 'Color, if any'];
  const close = editor.locator('.dialog-body').getByRole('button', { name: 'Close' });
  await expectTexts(lines, entries, 'the form opened');

  // Line 0 dragged onto line 3 stands before the former line 3 and is selected. While the
  // mouse is over line 3 the framework's insertion mark is drawn before it, also after a
  // redraw, and nothing has moved yet.
  const mark = editor.locator('.insert-mark');
  const markBeforeLine3 = async () => {
    await until(() => mark.evaluateAll((ns) => ns.map((n) => n.dataset.line)),
      (v) => JSON.stringify(v) === '["3"]', 'the insertion mark before line 3');
    assert.ok(await mark.isVisible(), 'the insertion mark is visible');
  };
  await pressAcrossRedraw(page, lines.nth(0), {
    release: lines.nth(3), steps: 4,
    during: async () => {
      await markBeforeLine3();
      await redraw(page);
      await markBeforeLine3();
      await expectTexts(lines, entries, 'nothing moved before the release');
    },
  });
  await expectTexts(lines, moved, 'the question moved');
  await expectText(editor.getByRole('listbox').locator('[aria-selected="true"]'), 'Room number',
    'the moved line selected');
  assert.equal(await mark.count(), 0, 'no insertion mark after the drop');
  // A release outside the list cancels the drag: the mark goes and nothing moves.
  await pressAcrossRedraw(page, lines.nth(0), {
    release: close, steps: 4,
    during: () => until(() => mark.count(), (n) => n === 0, 'no mark outside the list'),
  });
  await until(() => mark.count(), (n) => n === 0, 'no mark after the cancel');
  await expectTexts(lines, moved, 'nothing moved at the cancel');
  // A dialog's button.
  await pressAcrossRedraw(page, close);
  await editor.waitFor({ state: 'detached' });

  // A drag of a row onto the task pane, the list drawn anew after the press.
  await pressAcrossRedraw(page, row(page, 'Contact details'), { release: taskPane(page), full: true, steps: 8 });
  const tasks = taskPane(page).locator('fieldset.task > legend');
  await expectTexts(tasks, ['Contact details'], 'the dragged form is a task');
  await until(() => page.locator('body.dragging').count(), (n) => n === 0, 'the drag ended');

  // The task pane's button.
  await pressAcrossRedraw(page, taskPane(page).getByRole('group', { name: 'Contact details', exact: true })
    .getByRole('button', { name: 'Remove' }));
  await expectTexts(tasks, [], 'the task removed');
});
