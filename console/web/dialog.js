// The modal windows: each a window of 98.css at its template's size, every control at its
// rectangle in dialog units (MS Sans Serif 8 pt: 1.5 pixels across, 1.625 down per unit).
import { el, imageUrl, mnemonicNodes, plainText } from './dom.js';
import { VK } from './control.js';

const DU_X = 1.5, DU_Y = 1.625;
const MESSAGE_ICONS = ['stop', 'question', 'information', 'exclamation'];

function place(rect, pixels) {
  const sx = pixels ? 1 : DU_X, sy = pixels ? 1 : DU_Y;
  return {
    position: 'absolute',
    left: `${Math.round(rect.left * sx)}px`, top: `${Math.round(rect.top * sy)}px`,
    width: `${Math.round((rect.right - rect.left) * sx)}px`,
    height: `${Math.round((rect.bottom - rect.top) * sy)}px`,
  };
}

// The controls of a dialog in template order (the children as the snapshot lists them).
function controls(dialog) {
  return (dialog.children || []).filter((c) => c.visible);
}

// One modal window; `top` is the one that takes input (the others wait behind it).
export function renderDialog(dialog, app, top, depth) {
  const titleId = `title-${dialog.handle}`;
  const width = Math.round((dialog.rect.right - dialog.rect.left) * (dialog.pixels ? 1 : DU_X));
  const height = Math.round((dialog.rect.bottom - dialog.rect.top) * (dialog.pixels ? 1 : DU_Y));
  const body = el('div', { class: 'window-body dialog-body', style: { width: `${width}px`, height: `${height}px` } });
  const kids = controls(dialog);
  kids.forEach((c, i) => {
    const node = renderControl(c, kids, i, dialog, app);
    if (node) body.append(node);
  });
  const win = el('div', {
    class: `window dialog${top ? ' top' : ' waiting'}`,
    role: 'dialog',
    'aria-modal': top ? 'true' : null,
    'aria-labelledby': titleId,
    'data-handle': dialog.handle,
    inert: top ? null : true,
    style: { zIndex: 100 + depth * 2 },
  },
  el('div', { class: 'title-bar' },
    el('div', { class: 'title-bar-text', id: titleId }, dialog.text),
    el('div', { class: 'title-bar-controls' },
      el('button', {
        'aria-label': 'Close', tabindex: -1, 'data-press': `close:${dialog.handle}`,
        // A message box without Cancel has its close box greyed.
        disabled: dialog.closeEnabled === false,
        onclick: () => app.send({ kind: 'close', target: dialog.handle }),
      }))),
  body);
  return el('div', { class: 'modal-layer', style: { zIndex: 99 + depth * 2 } }, win);
}

// The label of a control: the static just before it in template order.
function labelFor(kids, index) {
  const before = kids[index - 1];
  if (!before) return null;
  if (before.kind === 'text' || before.kind === 'group') return before;
  return null;
}

function controlId(w) {
  return `ctl-${w.handle}`;
}

function renderControl(w, kids, index, dialog, app) {
  const common = {
    'data-handle': w.handle,
    id: controlId(w),
    style: place(w.rect, w.pixels),
  };
  const tab = w.tabStop ? 0 : -1;
  switch (w.className) {
    case 'Button': return renderButton(w, common, tab, app);
    case 'Edit': return renderEdit(w, common, kids, index, app);
    case 'Static': return renderStatic(w, common, kids, index);
    case 'ListBox': return renderListBox(w, common, tab, kids, index, app);
    case 'ComboBox': return renderCombo(w, common, kids, index, app);
    case 'SysTabControl32': return renderTabs(w, common, app);
    case 'SysListView32': return renderReport(w, common, tab);
    default: {
      // A window of another kind (a page of a property sheet): its children at their places.
      const box = el('div', { ...common, class: `ctl-${w.className}` });
      const inner = controls(w);
      inner.forEach((c, i) => {
        const node = renderControl(c, inner, i, dialog, app);
        if (node) box.append(node);
      });
      return box;
    }
  }
}

function renderButton(w, common, tab, app) {
  const click = (e) => {
    e.preventDefault();
    app.send({ kind: 'click', target: w.handle });
  };
  if (w.kind === 'group') {
    return el('fieldset', { ...common, class: 'group-box', disabled: !w.enabled },
      el('legend', {}, mnemonicNodes(w.text)));
  }
  if (w.kind === 'check' || w.kind === 'radio') {
    const radio = w.kind === 'radio';
    const input = el('input', {
      type: radio ? 'radio' : 'checkbox',
      id: controlId(w),
      'data-handle': w.handle,
      tabindex: tab === 0 || (radio && w.checked) ? 0 : -1,
      disabled: !w.enabled,
      checked: w.checked === 1,
      onclick: click,
    });
    if (w.checked === 2) input.indeterminate = true;
    input.dataset.press = `h:${w.handle}`;
    return el('div', { class: 'field-row check-row', style: common.style },
      input, el('label', { for: controlId(w), 'data-press': `h:${w.handle}` }, labelText(w.text)));
  }
  return el('button', {
    ...common,
    class: `push${w.isDefault ? ' default' : ''}`,
    tabindex: tab,
    'data-press': `h:${w.handle}`,
    disabled: !w.enabled,
    onclick: click,
  }, mnemonicNodes(w.text));
}

function renderEdit(w, common, kids, index, app) {
  const multi = w.kind === 'multiLine';
  const label = labelFor(kids, index);
  const node = el(multi ? 'textarea' : 'input', {
    ...common,
    type: multi ? null : 'text',
    disabled: !w.enabled,
    'aria-label': label ? null : plainText(w.text) || 'Text',
    spellcheck: 'false',
  });
  node.value = multi ? w.text.replace(/\r\n/g, '\n') : w.text;
  node.addEventListener('input', () => {
    const text = multi ? node.value.replace(/\r?\n/g, '\r\n') : node.value;
    app.send({ kind: 'text', target: w.handle, text }, { coalesce: `text-${w.handle}` });
  });
  // The framework's focus follows: a click in a box moves nothing else.
  node.addEventListener('focus', () => {
    if (!w.focused && !app.restoring) app.send({ kind: 'click', target: w.handle });
  });
  return node;
}

function renderStatic(w, common, kids, index) {
  if (w.kind === 'icon') {
    // A message box's icon is drawn; a template's own icon is its picture.
    if (!MESSAGE_ICONS.includes(w.text)) {
      return el('img', { ...common, class: 'ctl-picture', src: imageUrl('icon', w.text), alt: w.text });
    }
    return el('div', { ...common, class: `ctl-icon icon-${w.text}`, role: 'img', 'aria-label': w.text });
  }
  if (w.kind === 'etched') return el('hr', { ...common, class: 'etched' });
  const next = kids[index + 1];
  const labels = next && ['Edit', 'ListBox', 'ComboBox'].includes(next.className);
  return el(labels ? 'label' : 'div', {
    ...common,
    class: `ctl-static${w.enabled ? '' : ' disabled'}`,
    for: labels ? controlId(next) : null,
  }, labelText(w.text));
}

// 98.css lays labels out as flex boxes, whose every child is a block of its own: the text
// goes in one span, or the underlined mnemonic splits the label's name ("Q uestion text:").
function labelText(text) {
  return el('span', {}, mnemonicNodes(text));
}

// A list view in a dialog shows its rows as a table under its column headings; it only shows.
function renderReport(w, common, tab) {
  const columns = w.columns || [];
  const widths = w.columnWidths || [];
  const head = el('tr', {}, columns.map((c, i) =>
    el('th', { scope: 'col', style: { width: `${widths[i] ?? 100}px` } }, plainText(c))));
  const rows = (w.rows || []).map((row) =>
    el('tr', {}, columns.map((_, i) => el('td', {}, row[i] || ''))));
  return el('div', { ...common, class: 'sunken-panel dialog-report', tabindex: tab },
    el('table', { class: 'interactive' }, el('thead', {}, head), el('tbody', {}, rows)));
}

function renderListBox(w, common, tab, kids, index, app) {
  const lines = w.lines || [];
  const checks = w.checks || [];
  const checkList = checks.length > 0 || w.kind === 'checkList';
  const label = labelFor(kids, index);
  const box = el('div', {
    ...common,
    class: `listbox sunken-panel${w.enabled ? '' : ' disabled'}`,
    role: 'listbox',
    tabindex: tab === 0 ? 0 : -1,
    'aria-labelledby': label ? controlId(label) : null,
    'aria-disabled': w.enabled ? null : 'true',
    'aria-activedescendant': w.selection >= 0 ? `opt-${w.handle}-${w.selection}` : null,
  });
  lines.forEach((line, i) => {
    const option = el('div', {
      role: 'option',
      id: `opt-${w.handle}-${i}`,
      'data-line': i,
      class: `lb-line${i === w.selection ? ' selected' : ''}${i === w.caret ? ' caret' : ''}`,
      'aria-selected': i === w.selection ? 'true' : 'false',
      'aria-checked': checkList ? String(checks[i] === 1) : null,
    });
    if (checkList) {
      option.append(el('span', {
        class: `lb-check${checks[i] === 1 ? ' on' : ''}`,
        'aria-hidden': 'true',
        onmousedown: (e) => {
          e.stopPropagation();
          app.send({ kind: 'check', target: w.handle, index: i });
        },
      }));
    }
    option.append(el('span', {}, line));
    if (i === w.insertMark) option.classList.add('insert-mark');
    box.append(option);
  });
  wireListBox(w, box, app);
  return box;
}

// The line pressed in a list box, by the box's handle: the selection the press sends is
// answered by a new drawing of the dialog, whose list box is another element than the one
// pressed. Kept after the release, so that a second press on the line is a double click.
// In a drag list box the press, once the mouse has moved past DRAG_SLOP pixels, begins a
// drag, followed by the document's moves and release below.
let linePress = null;
const DRAG_SLOP = 4;

// A press selects the line; the second press of a double click on the line goes to the
// framework as the double click, and so do the keys the list takes.
function wireListBox(w, box, app) {
  const lineAt = (e) => {
    const line = e.target.closest('[data-line]');
    return line ? Number(line.dataset.line) : -1;
  };
  box.addEventListener('mousedown', (e) => {
    if (e.button !== 0) return;
    const line = lineAt(e);
    const again = e.detail >= 2 && linePress?.handle === w.handle && linePress.line === line;
    linePress = {
      handle: w.handle, line, down: true, app, x: e.clientX, y: e.clientY,
      draggable: !!w.dragList && line >= 0, dragging: false, over: line,
    };
    if (line < 0) return;
    if (again) app.send({ kind: 'doubleClick', target: w.handle, index: line });
    else app.send({ kind: 'select', target: w.handle, index: line });
  });
  box.addEventListener('keydown', (e) => {
    const keys = { ArrowUp: VK.UP, ArrowDown: VK.DOWN, Home: VK.HOME, End: VK.END, Delete: VK.DELETE };
    if (e.key === ' ' && (w.checks || []).length > 0 && w.selection >= 0) {
      e.preventDefault();
      app.send({ kind: 'check', target: w.handle, index: w.selection });
      return;
    }
    const key = keys[e.key];
    if (key === undefined || e.altKey || e.ctrlKey) return;
    e.preventDefault();
    e.stopPropagation();
    app.send({ kind: 'key', target: w.handle, key });
  });
}

// The list box of the handle under the mouse, and the line there (-1 where none is); null
// when the mouse is not over that list box.
function lineUnder(e, handle) {
  const box = e.target.closest?.('[role="listbox"]');
  if (!box || box.dataset.handle !== String(handle)) return null;
  const line = e.target.closest('[data-line]');
  return line ? Number(line.dataset.line) : -1;
}

// A drag of a drag list box's line: it begins once the pressed mouse has moved, tells the
// framework each line the mouse comes over, and is dropped at the release over the box (or
// cancelled by a release outside it, or Escape). The framework draws the insertion mark.
document.addEventListener('mousemove', (e) => {
  const p = linePress;
  if (!p?.down || !p.draggable) return;
  if (!p.dragging) {
    if (Math.abs(e.clientX - p.x) <= DRAG_SLOP && Math.abs(e.clientY - p.y) <= DRAG_SLOP) return;
    p.dragging = true;
    p.over = null;
    p.app.send({ kind: 'beginDrag', target: p.handle, index: p.line });
  }
  const over = lineUnder(e, p.handle) ?? -1;
  if (over === p.over) return;
  p.over = over;
  p.app.send({ kind: 'dragOver', target: p.handle, index: over }, { coalesce: `line-drag-${p.handle}` });
});
document.addEventListener('mouseup', (e) => {
  const p = linePress;
  if (e.button !== 0 || !p?.down) return;
  p.down = false;
  if (!p.dragging) return;
  p.dragging = false;
  p.app.send({ kind: lineUnder(e, p.handle) === null ? 'cancelDrag' : 'drop' });
});
window.addEventListener('keydown', (e) => {
  const p = linePress;
  if (e.key !== 'Escape' || !p?.dragging) return;
  e.preventDefault();
  e.stopPropagation();
  p.dragging = false;
  p.down = false;
  p.app.send({ kind: 'cancelDrag' });
}, true);

function renderCombo(w, common, kids, index, app) {
  const select = el('select', { ...common, disabled: !w.enabled });
  (w.lines || []).forEach((line, i) => select.append(el('option', { value: i, selected: i === w.selection }, line)));
  if (!labelFor(kids, index)) select.setAttribute('aria-label', plainText(w.text) || 'Choice');
  select.addEventListener('change', () => app.send({ kind: 'select', target: w.handle, index: Number(select.value) }));
  return select;
}

// A property sheet's tab control: its lines are the tabs.
function renderTabs(w, common, app) {
  const menu = el('menu', { role: 'tablist', class: 'tabs' });
  (w.lines || []).forEach((line, i) => menu.append(el('li', {
    role: 'tab', 'aria-selected': i === w.selection ? 'true' : 'false', tabindex: i === w.selection ? 0 : -1,
    'data-press': `tab:${w.handle}:${i}`,
    onclick: () => app.send({ kind: 'select', target: w.handle, index: i }),
  }, el('a', {}, mnemonicNodes(line)))));
  return el('div', { ...common, class: 'tab-control' }, menu,
    el('div', { class: 'window tab-page', role: 'tabpanel' }));
}
