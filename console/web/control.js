// The hosted control: the windows a host made (pixels), above all the frame with its toolbar
// and the list view in its four presentations.
import { el, imageUrl, plainText } from './dom.js';

export const VK = {
  TAB: 0x09, RETURN: 0x0d, ESCAPE: 0x1b, END: 0x23, HOME: 0x24, LEFT: 0x25, UP: 0x26, RIGHT: 0x27,
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
    if (!child.visible) continue;
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
      'data-press': `tool:${bar.handle}:${index}`,
      disabled: !b.enabled,
      'aria-label': name,
      'aria-pressed': b.checked ? 'true' : null,
      tabindex: -1,
      onmouseenter: () => app.hover(bar.handle, index),
      onclick: () => app.send({ kind: 'click', target: bar.handle, index }),
    }, el('img', { src: imageUrl('toolbar', b.image), alt: '', width: 16, height: 16 }));
    const wrap = el('span', { class: 'tool-wrap' }, button);
    // Every button is named by its tip; the tip itself shows where the framework shows it.
    if (b.tipShown) wrap.append(el('span', { class: 'tooltip', role: 'tooltip' }, b.tip));
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
let kept = { key: null, box: null, view: null };
// The selection last brought into sight, per list: a new one is scrolled to once, so that a
// row the framework selects by key is seen, while the user stays free to scroll away from it.
const shownSelection = new Map();

function listKey(list) {
  return JSON.stringify([list.handle, list.kind, list.rect, list.columns, list.columnWidths,
    list.rows, list.images]);
}

function setActive(box, list) {
  if (list.selection >= 0) box.setAttribute('aria-activedescendant', `lv-${list.handle}-${list.selection}`);
  else box.removeAttribute('aria-activedescendant');
}

// The next rendering draws the list view anew (a test's redraw in the middle of a gesture).
export function forgetListView() {
  kept = { key: null, box: null, view: null };
}

function keptListView(list) {
  const { box, view } = kept;
  view.list = list;
  setActive(box, list);
  draw(view);
  const standIn = el('div', { class: 'lv-kept' });
  standIn.kept = box;
  return standIn;
}

// Once the page has put the frame in place and restored its scroll positions: the list is
// measured as laid out, a newly selected row is brought into sight and the rows in sight are
// drawn.
export function settleListView() {
  const { view } = kept;
  if (!view || !view.box.isConnected) return;
  measure(view);
  const { handle, selection } = view.list;
  if (shownSelection.get(handle) !== selection) {
    shownSelection.set(handle, selection);
    if (selection >= 0) bringIntoSight(view, selection);
  }
  draw(view);
}

// ---- Where the rows go
//
// Only the rows in sight (and a few lines around them) are drawn, in a canvas sized for all
// rows; the selected row and the caret are drawn wherever they are, since the list's active
// descendant must exist. Each presentation has items of one size, so a row's place follows
// from its index: the icons fill lines left to right, the list fills columns top to bottom,
// the report has one row a line below its header.

const SCROLLBAR = 16;  // 98.css's scrollbars
const BORDER = 2;      // the sunken panel's
const PADDING = 2;     // the list's, but the report's
const ROW_HEIGHT = 20; // report rows, small icons, list items (margins included)
const ICON_CELL = { width: 79, height: 68 };
const SMALL_CELL = { width: 158, height: ROW_HEIGHT };
const LIST_MARGINS = 14;  // left and right of a list item
// Drawn beyond each edge of the sight, for a scroll the compositor shows before the page
// draws its rows.
const OVERDRAW = 40;

// The list presentation's column is as wide as the widest name. Names are measured a
// character at a time (kerning is left out; the item's ellipsis covers it), each character
// once: thousands of names cost a few milliseconds rather than a measurement each.
let measurer = null;
const charWidths = new Map();
function widestText(rows, font) {
  measurer ??= document.createElement('canvas').getContext('2d');
  if (measurer.font !== font || charWidths.font !== font) {
    measurer.font = font;
    charWidths.clear();
    charWidths.font = font;
  }
  let most = 0;
  for (const row of rows) {
    let width = 0;
    for (const ch of row[0] || '') {
      let w = charWidths.get(ch);
      if (w === undefined) charWidths.set(ch, w = measurer.measureText(ch).width);
      width += w;
    }
    most = Math.max(most, width);
  }
  return Math.ceil(most) + 1;
}

// The layout of `count` rows in a sight of width x height pixels (inside the padding).
function layoutOf(view, width, height) {
  const { type, count } = view;
  const lines = (n, per) => Math.ceil(n / Math.max(1, per));
  if (type === 'report') {
    return {
      width, height,
      range: (top) => [Math.floor((top - view.headerHeight - OVERDRAW) / ROW_HEIGHT),
        Math.ceil((top + height + OVERDRAW) / ROW_HEIGHT)],
      place: (i) => ({ left: 0, top: view.headerHeight + i * ROW_HEIGHT, width, height: ROW_HEIGHT }),
    };
  }
  if (type === 'list') {
    const cell = { width: view.itemWidth + LIST_MARGINS, height: ROW_HEIGHT };
    const per = Math.max(1, Math.floor(height / cell.height));
    return {
      width, height,
      canvas: { width: lines(count, per) * cell.width, height: per * cell.height },
      range: (top, left) => [Math.floor((left - OVERDRAW) / cell.width) * per,
        Math.ceil((left + width + OVERDRAW) / cell.width) * per],
      place: (i) => ({ left: Math.floor(i / per) * cell.width, top: (i % per) * cell.height, ...cell }),
    };
  }
  const cell = type === 'icon' ? ICON_CELL : SMALL_CELL;
  const per = Math.max(1, Math.floor(width / cell.width));
  return {
    width, height,
    canvas: { width: per * cell.width, height: lines(count, per) * cell.height },
    range: (top) => [Math.floor((top - OVERDRAW) / cell.height) * per,
      Math.ceil((top + height + OVERDRAW) / cell.height) * per],
    place: (i) => ({ left: (i % per) * cell.width, top: Math.floor(i / per) * cell.height, ...cell }),
  };
}

// Before the list is in the page, its sight follows from its window's rectangle: a scrollbar
// is taken off where the rows will not fit.
function estimate(view, rect) {
  const pad = view.type === 'report' ? 0 : PADDING;
  let width = rect.right - rect.left - 2 * (BORDER + pad);
  let height = rect.bottom - rect.top - 2 * (BORDER + pad);
  const first = layoutOf(view, width, height);
  if (view.type === 'list') {
    if (first.canvas.width > width) height -= SCROLLBAR;
  } else if ((first.canvas?.height ?? view.headerHeight + view.count * ROW_HEIGHT) > height) {
    width -= SCROLLBAR;
  }
  view.layout = layoutOf(view, Math.max(width, 1), Math.max(height, 1));
}

// The sight as laid out; the rows are placed anew when it differs from the one they were
// placed for.
function measure(view) {
  const { box } = view;
  const pad = view.type === 'report' ? 0 : PADDING;
  if (view.type === 'report') view.headerHeight = view.head.offsetHeight;
  const width = box.clientWidth - 2 * pad, height = box.clientHeight - 2 * pad;
  if (width <= 0 || height <= 0) return;
  if (width === view.layout.width && height === view.layout.height) return;
  view.layout = layoutOf(view, width, height);
  for (const node of view.drawn.values()) node.remove();
  view.drawn.clear();
  sizeCanvas(view);
}

function sizeCanvas(view) {
  const { canvas } = view.layout;
  if (!canvas) return;
  view.container.style.width = `${canvas.width}px`;
  view.container.style.height = `${canvas.height}px`;
}

function bringIntoSight(view, i) {
  const { box } = view;
  const r = view.layout.place(i);
  const above = view.type === 'report' ? view.headerHeight : 0;
  const top = r.top - above, bottom = r.top + r.height;
  if (top < box.scrollTop) box.scrollTop = top;
  else if (bottom > box.scrollTop + view.layout.height) box.scrollTop = bottom - view.layout.height;
  if (view.type !== 'report') {
    const right = r.left + r.width;
    if (r.left < box.scrollLeft) box.scrollLeft = r.left;
    else if (right > box.scrollLeft + view.layout.width) box.scrollLeft = right - view.layout.width;
  }
}

// Draws the rows the sight needs and takes away the others; the drawn rows stay in index
// order in the page.
function draw(view) {
  const { list, box, drawn } = view;
  const [from, to] = view.layout.range(box.scrollTop, box.scrollLeft);
  const wanted = [];
  for (let i = Math.max(0, from); i < Math.min(view.count, to); ++i) wanted.push(i);
  for (const i of [list.selection, list.caret]) {
    if (i >= 0 && i < view.count && (i < from || i >= to)) wanted.push(i);
  }
  wanted.sort((a, b) => a - b);
  const keep = new Set(wanted);
  for (const [i, node] of drawn) {
    if (!keep.has(i)) {
      node.remove();
      drawn.delete(i);
    }
  }
  for (const gap of view.gaps) gap.remove();
  view.gaps = [];
  let next = view.container.firstChild;
  for (const i of wanted) {
    let node = drawn.get(i);
    if (node) {
      patchItem(node, list, i);
      next = node.nextSibling;
    } else {
      node = view.makeItem(i);
      drawn.set(i, node);
      view.container.insertBefore(node, next);
    }
  }
  if (view.type === 'report') fillGaps(view, wanted);
}

// A report's rows are laid out by the table: rows of the right height stand for the rows not
// drawn.
function fillGaps(view, wanted) {
  let last = -1;
  const gapBefore = (node, rows) => {
    if (rows <= 0) return;
    const gap = el('tr', { class: 'lv-gap', 'aria-hidden': 'true' },
      el('td', { colspan: view.columnCount, style: { height: `${rows * ROW_HEIGHT}px` } }));
    view.container.insertBefore(gap, node);
    view.gaps.push(gap);
  };
  for (const i of wanted) {
    gapBefore(view.drawn.get(i), i - last - 1);
    last = i;
  }
  gapBefore(null, view.count - last - 1);
}

function patchItem(node, list, i) {
  node.classList.toggle('selected', i === list.selection);
  node.classList.toggle('caret', i === list.caret);
  node.setAttribute('aria-selected', i === list.selection ? 'true' : 'false');
}

// Rows of the list view: the presentation the framework names, the images from the set of
// that presentation.
function renderListView(list, app, box) {
  const key = listKey(list);
  if (key === kept.key && kept.box?.isConnected) return keptListView(list);
  const type = list.kind;  // 'icon', 'report', 'smallIcon' or 'list'
  const rows = list.rows || [];
  const images = list.images || [];
  const folder = type === 'icon' ? 'large' : 'small';
  const size = type === 'icon' ? 32 : 16;
  box.classList.add('sunken-panel', `lv-${type === 'smallIcon' ? 'small' : type}`);
  box.tabIndex = 0;
  box.setAttribute('role', type === 'report' ? 'grid' : 'listbox');
  box.setAttribute('aria-label', 'Forms and groups');
  setActive(box, list);

  const itemAttrs = (i) => ({
    id: `lv-${list.handle}-${i}`,
    'data-row': i,
    class: `lv-item${i === list.selection ? ' selected' : ''}${i === list.caret ? ' caret' : ''}`,
    'aria-selected': i === list.selection ? 'true' : 'false',
  });
  const picture = (i) => el('img', {
    src: imageUrl(folder, images[i] || ''), alt: '', width: size, height: size, draggable: 'false',
  });
  const view = { list, box, type, count: rows.length, drawn: new Map(), gaps: [], headerHeight: 0 };

  if (type === 'report') {
    const widths = list.columnWidths || [];
    const columns = list.columns || [''];
    view.columnCount = columns.length;
    box.setAttribute('aria-rowcount', rows.length + 1);
    // Each column is as wide as the list control says (its owner's, or the user's by a drag
    // of the header divider); text that does not fit is cut.
    const cols = columns.map((_, c) => el('col', { style: { width: `${widths[c] ?? 100}px` } }));
    const table = el('table', { class: 'lv-table' }, el('colgroup', {}, cols));
    const fit = () => {
      table.style.width = `${cols.reduce((sum, col) => sum + parseFloat(col.style.width), 0)}px`;
    };
    fit();
    view.head = el('thead', {}, el('tr', { role: 'row', 'aria-rowindex': 1 }, (list.columns || []).map((c, i) =>
      el('th', { role: 'columnheader', scope: 'col' }, el('span', { class: 'lv-heading' }, plainText(c)),
        columnDivider(list, app, i, cols[i], fit)))));
    view.container = el('tbody');
    table.append(view.head, view.container);
    box.append(table);
    view.headerHeight = list.columns?.length ? ROW_HEIGHT : 0;
    view.makeItem = (i) => el('tr', { role: 'row', 'aria-rowindex': i + 2, ...itemAttrs(i) },
      columns.map((_, c) => el('td', { role: 'gridcell' },
        c === 0 ? picture(i) : null, el('span', { class: 'lv-text' }, rows[i][c] || ''))));
  } else {
    if (type === 'list') view.itemWidth = 16 + 2 + 4 + widestText(rows, getComputedStyle(document.body).font);
    view.container = el('div', { class: 'lv-items' });
    box.append(view.container);
    view.makeItem = (i) => {
      const { left, top } = view.layout.place(i);
      return el('div', {
        role: 'option', ...itemAttrs(i), 'aria-setsize': rows.length, 'aria-posinset': i + 1,
        style: { left: `${left}px`, top: `${top}px`, width: type === 'list' ? `${view.itemWidth}px` : null },
      }, picture(i), el('span', { class: 'lv-text' }, rows[i][0] || ''));
    };
  }
  estimate(view, list.rect);
  sizeCanvas(view);
  draw(view);
  box.addEventListener('scroll', () => draw(view));
  new ResizeObserver(() => {
    if (!box.isConnected) return;
    measure(view);
    draw(view);
  }).observe(box);
  if (!shownSelection.has(list.handle)) shownSelection.set(list.handle, list.selection);
  kept = { key, box, view };
  currentApp = app;
  wireListMouse(list, app, box);
  wireListKeys(list, app, box);
  return box;
}

// The divider at a header's right edge: dragged, the column follows the mouse, and at the
// release the list control is given the new width (as a header drag gives it), which the
// next state draws. Wider than 4096 pixels the control does not go.
function columnDivider(list, app, column, col, fit) {
  const divider = el('span', { class: 'lv-divider', 'aria-hidden': 'true', 'data-column': column });
  divider.addEventListener('mousedown', (e) => {
    if (e.button !== 0) return;
    e.preventDefault();
    e.stopPropagation();
    const from = e.clientX, start = parseFloat(col.style.width);
    const widthAt = (x) => Math.max(0, Math.min(4096, Math.round(start + x - from)));
    const move = (m) => {
      col.style.width = `${widthAt(m.clientX)}px`;
      fit();
    };
    const up = (u) => {
      window.removeEventListener('mousemove', move, true);
      window.removeEventListener('mouseup', up, true);
      const width = widthAt(u.clientX);
      if (width !== start) app.send({ kind: 'columnWidth', target: list.handle, index: column, to: width });
    };
    window.addEventListener('mousemove', move, true);
    window.addEventListener('mouseup', up, true);
  });
  // A click on the divider is no click on the list.
  divider.addEventListener('click', (e) => e.stopPropagation());
  return divider;
}

function rowAt(event) {
  const item = event.target.closest('[data-row]');
  return item ? Number(item.dataset.row) : -1;
}

// The press on a row of a list, by the list's handle: the answer to the press (the selection)
// may draw the list anew before the mouse moves or comes up again. Kept from one press to the
// next, so that a second press on the same row in quick succession is a double click.
let listPress = null;
let currentApp = null;

// Click, double click, right click and the start of a drag: a press on a row and a move of a
// few pixels with the button down begins the list's drag (the framework's begin-drag); the
// second press of a double click on the row the first pressed is the double click.
function wireListMouse(list, app, box) {
  box.addEventListener('mousedown', (e) => {
    if (e.button !== 0) return;
    box.focus();
    const row = rowAt(e);
    const again = e.detail >= 2 && listPress?.handle === list.handle && listPress.row === row;
    listPress = { handle: list.handle, row, x: e.clientX, y: e.clientY, down: true };
    if (again) app.send({ kind: 'doubleClick', target: list.handle, index: row });
    else app.send({ kind: 'select', target: list.handle, index: row });
  });
}

document.addEventListener('mousemove', (e) => {
  const press = listPress;
  if (!press?.down || press.row < 0 || (e.buttons & 1) === 0) return;
  if (Math.abs(e.clientX - press.x) + Math.abs(e.clientY - press.y) < 5) return;
  press.down = false;
  currentApp?.startDrag({ kind: 'drag', target: press.handle, index: press.row });
});
document.addEventListener('mouseup', () => {
  if (listPress) listPress.down = false;
});

// The context menu and the keys the list takes.
function wireListKeys(list, app, box) {
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
