// The hosted control: the windows a host made (pixels), above all the frame with its toolbar
// and the list view in its four presentations.
import { el, imageUrl, plainText } from './dom.js';

const LVS_TYPEMASK = 0x0003;
const LVS_ICON = 0, LVS_REPORT = 1, LVS_SMALLICON = 2, LVS_LIST = 3;
export const VK = {
  RETURN: 0x0d, ESCAPE: 0x1b, END: 0x23, HOME: 0x24, LEFT: 0x25, UP: 0x26, RIGHT: 0x27,
  DOWN: 0x28, DELETE: 0x2e, APPS: 0x5d, F1: 0x70, F5: 0x74,
};

// A host window and its children, each at its pixel rectangle in its parent.
export function renderHostWindow(w, app, top = true) {
  const box = el('div', {
    class: `host-window cls-${w.className}`,
    'data-handle': w.handle,
    style: top ? { width: '100%', height: '100%' } : place(w.rect),
  });
  if (w.className === 'ToolbarWindow32') return renderToolbar(w, app, box);
  if (w.className === 'SysListView32') return renderListView(w, app, box);
  for (const child of w.children || []) {
    if ((child.style & 0x10000000) === 0) continue;  // WS_VISIBLE
    box.append(renderHostWindow(child, app, false));
  }
  return box;
}

function place(rect) {
  return {
    position: 'absolute', left: `${rect.left}px`, top: `${rect.top}px`,
    width: `${rect.right - rect.left}px`, height: `${rect.bottom - rect.top}px`,
  };
}

function renderToolbar(bar, app, box) {
  box.setAttribute('role', 'toolbar');
  box.setAttribute('aria-label', 'Toolbar');
  box.addEventListener('mouseleave', () => app.hover(bar.handle, -1));
  (bar.buttons || []).forEach((b, index) => {
    if (b.id === 0) {
      box.append(el('span', { class: 'tool-separator', role: 'separator' }));
      return;
    }
    const name = b.tip || b.image;
    const button = el('button', {
      class: `tool-button${b.checked ? ' active' : ''}`,
      'data-handle': `${bar.handle}:${index}`,
      disabled: !b.enabled,
      'aria-label': name,
      'aria-pressed': b.checked ? 'true' : null,
      tabindex: -1,
      onmouseenter: () => app.hover(bar.handle, index),
      onclick: () => app.send({ kind: 'click', target: bar.handle, index }),
    }, el('img', { src: imageUrl('toolbar', b.image), alt: '', width: 16, height: 16 }));
    const wrap = el('span', { class: 'tool-wrap' }, button);
    if (b.tip) wrap.append(el('span', { class: 'tooltip', role: 'tooltip' }, b.tip));
    // A disabled button takes no mouse events; its wrapper still tells the hover.
    wrap.addEventListener('mouseenter', () => app.hover(bar.handle, index));
    box.append(wrap);
  });
  return box;
}

// The list view last drawn. Thousands of rows cost the page far more to draw than any other
// window, and most states change nothing of them but the selection: while the rows, their
// presentation and the list's place stay the same, the drawn list is kept and patched, and
// the frame's rendering gets a stand-in that the page grafts around the kept one.
let kept = { key: null, box: null, selection: -1, caret: -1 };

function listKey(list) {
  return JSON.stringify([list.handle, list.style, list.rect, list.columns, list.columnWidths,
    list.rows, list.images]);
}

function patchItem(box, list, i) {
  const item = box.querySelector(`[data-row="${i}"]`);
  if (!item) return;
  item.classList.toggle('selected', i === list.selection);
  item.classList.toggle('caret', i === list.caret);
  item.setAttribute('aria-selected', i === list.selection ? 'true' : 'false');
}

function keptListView(list) {
  const { box } = kept;
  for (const i of new Set([kept.selection, kept.caret, list.selection, list.caret])) {
    if (i >= 0) patchItem(box, list, i);
  }
  if (list.selection >= 0) box.setAttribute('aria-activedescendant', `lv-${list.handle}-${list.selection}`);
  else box.removeAttribute('aria-activedescendant');
  kept.selection = list.selection;
  kept.caret = list.caret;
  const standIn = el('div', { class: 'lv-kept' });
  standIn.kept = box;
  return standIn;
}

// Rows of the list view: the presentation from the style bits, the images from the set of
// that presentation.
function renderListView(list, app, box) {
  const key = listKey(list);
  if (key === kept.key && kept.box?.isConnected) return keptListView(list);
  kept = { key, box, selection: list.selection, caret: list.caret };
  const type = list.style & LVS_TYPEMASK;
  const rows = list.rows || [];
  const images = list.images || [];
  const folder = type === LVS_ICON ? 'large' : 'small';
  const size = type === LVS_ICON ? 32 : 16;
  box.classList.add('sunken-panel', `lv-${['icon', 'report', 'small', 'list'][type]}`);
  box.tabIndex = 0;
  box.setAttribute('role', type === LVS_REPORT ? 'grid' : 'listbox');
  box.setAttribute('aria-label', 'Forms and groups');
  if (list.selection >= 0) box.setAttribute('aria-activedescendant', `lv-${list.handle}-${list.selection}`);

  const itemAttrs = (i) => ({
    id: `lv-${list.handle}-${i}`,
    'data-row': i,
    class: `lv-item${i === list.selection ? ' selected' : ''}${i === list.caret ? ' caret' : ''}`,
    'aria-selected': i === list.selection ? 'true' : 'false',
  });
  const picture = (i) => el('img', {
    src: imageUrl(folder, images[i] || ''), alt: '', width: size, height: size, draggable: 'false',
  });

  if (type === LVS_REPORT) {
    const widths = list.columnWidths || [];
    const table = el('table', { class: 'lv-table' },
      el('colgroup', {}, (list.columns || []).map((_, c) => el('col', { style: { width: `${widths[c] || 100}px` } }))),
      el('thead', {}, el('tr', { role: 'row' }, (list.columns || []).map((c) =>
        el('th', { role: 'columnheader', scope: 'col' }, plainText(c))))),
      el('tbody', {}, rows.map((row, i) => el('tr', { role: 'row', ...itemAttrs(i) },
        (list.columns || ['']).map((_, c) => el('td', { role: 'gridcell' },
          c === 0 ? picture(i) : null, el('span', { class: 'lv-text' }, row[c] || '')))))));
    box.append(table);
  } else {
    const items = el('div', { class: 'lv-items' }, rows.map((row, i) =>
      el('div', { role: 'option', ...itemAttrs(i) }, picture(i),
        el('span', { class: 'lv-text' }, row[0] || ''))));
    box.append(items);
  }
  wireListMouse(list, app, box);
  return box;
}

function rowAt(event) {
  const item = event.target.closest('[data-row]');
  return item ? Number(item.dataset.row) : -1;
}

// Click, double click, right click and the start of a drag: a press on a row and a move of a
// few pixels with the button down begins the list's drag (the framework's begin-drag).
function wireListMouse(list, app, box) {
  let press = null;
  box.addEventListener('mousedown', (e) => {
    if (e.button !== 0) return;
    box.focus();
    const row = rowAt(e);
    press = { row, x: e.clientX, y: e.clientY };
    app.send({ kind: 'select', target: list.handle, index: row });
  });
  box.addEventListener('mousemove', (e) => {
    if (!press || press.row < 0 || (e.buttons & 1) === 0) return;
    if (Math.abs(e.clientX - press.x) + Math.abs(e.clientY - press.y) < 5) return;
    const row = press.row;
    press = null;
    app.startDrag({ kind: 'drag', target: list.handle, index: row });
  });
  box.addEventListener('mouseup', () => { press = null; });
  box.addEventListener('dblclick', (e) => {
    app.send({ kind: 'doubleClick', target: list.handle, index: rowAt(e) });
  });
  box.addEventListener('contextmenu', (e) => {
    e.preventDefault();
    box.focus();
    app.send({ kind: 'rightClick', target: list.handle, index: rowAt(e) });
  });
  box.addEventListener('keydown', (e) => {
    const keys = {
      ArrowUp: VK.UP, ArrowDown: VK.DOWN, ArrowLeft: VK.LEFT, ArrowRight: VK.RIGHT,
      Home: VK.HOME, End: VK.END, Enter: VK.RETURN, Delete: VK.DELETE, F5: VK.F5,
      ContextMenu: VK.APPS,
    };
    let key = keys[e.key];
    if (e.key === 'F10' && e.shiftKey) key = VK.APPS;
    if (key === undefined || e.altKey || e.ctrlKey) return;
    e.preventDefault();
    e.stopPropagation();
    app.send({ kind: 'key', target: list.handle, key });
  });
}
