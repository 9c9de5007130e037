// The user's keys and mouse where the page handles them itself: the menus by keyboard, a
// dialog's keys (sent to the framework), the console's own shortcuts, a drag of the list's
// rows, and press and release across redraws.
import { findWindow, mnemonicOf } from './dom.js';
import { VK } from './control.js';
import { menubarByLetter } from './chrome.js';
import { render } from './render.js';
import { app, busy, fixture } from './transport.js';

function letterOf(e) {
  if (/^Key[A-Z]$/.test(e.code)) return e.code.slice(3).toLowerCase();
  if (/^Digit[0-9]$/.test(e.code)) return e.code.slice(5);
  return e.key.length === 1 ? e.key.toLowerCase() : '';
}

// Up and down through the enabled items of a menu, wrapping.
function moveInMenu(items, step) {
  if (!items.length) return -1;
  let i = app.menuFocus;
  for (let n = 0; n < items.length; ++n) {
    i = (i + step + items.length) % items.length;
    const item = items[i];
    if (!item.separator && item.enabled !== false && !item.popup) return i;
  }
  return -1;
}

function menuKeys(e, items, pick, close, sideways) {
  const letter = letterOf(e);
  if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
    app.menuFocus = moveInMenu(items, e.key === 'ArrowDown' ? 1 : -1);
    const item = items[app.menuFocus];
    if (item && sideways) app.command({ command: 'menuHighlight', id: item.id }, { coalesce: 'highlight' });
    render();
  } else if (e.key === 'Enter') {
    const item = items[app.menuFocus];
    if (item) pick(item);
  } else if (e.key === 'Escape') {
    close();
  } else if ((e.key === 'ArrowLeft' || e.key === 'ArrowRight') && sideways) {
    sideways(e.key === 'ArrowRight' ? 1 : -1);
  } else if (letter) {
    const item = items.find((it) => !it.separator && it.enabled !== false && mnemonicOf(it.text) === letter);
    if (item) pick(item);
  } else {
    return;
  }
  e.preventDefault();
  e.stopPropagation();
}

function onKeyDown(e) {
  if (!app.state) return;
  const { snapshot, console: con } = app.state;
  if (snapshot.menu?.open) {
    menuKeys(e, snapshot.menu.items || [],
      (item) => app.send({ kind: 'menuPick', index: item.id }),
      () => app.send({ kind: 'menuPick', index: -1 }));
    return;
  }
  if (con.openMenu >= 0 && !(snapshot.modals || []).length) {
    const count = (con.menubar || []).length;
    menuKeys(e, con.menubar[con.openMenu]?.items || [],
      (item) => app.command({ command: 'menuPick', id: item.id }),
      () => app.command({ command: 'menuClose' }),
      (step) => {
        app.menuFocus = -1;
        app.command({ command: 'menuOpen', index: (con.openMenu + step + count) % count });
      });
    return;
  }
  if (snapshot.drag?.running) {
    if (e.key === 'Escape') {
      e.preventDefault();
      app.send({ kind: 'cancelDrag' });
    }
    return;
  }
  const modals = snapshot.modals || [];
  if (modals.length) dialogKeys(e, modals[modals.length - 1]);
  else consoleKeys(e, con);
}

// The dialog's keys go to the framework, which moves the focus, finds the mnemonic or presses
// the button; the page types into its boxes itself: a letter without Alt in a text box, and
// Enter in a box that takes it. Until the framework has answered a key, the keys that follow
// are held (typed ahead) and then carried out where the focus has gone.
let typeAhead = [];

function dialogKeys(e, dialog, replaying = false) {
  if (app.keyOnItsWay || (typeAhead.length && !replaying)) {
    if (['Shift', 'Alt', 'Control', 'Meta'].includes(e.key)) return;
    e.preventDefault();
    typeAhead.push({
      key: e.key, code: e.code, shiftKey: e.shiftKey, altKey: e.altKey, ctrlKey: e.ctrlKey, metaKey: e.metaKey,
    });
    return;
  }
  const active = document.activeElement;
  const focusedHandle = Number(active?.dataset?.handle) || 0;
  const focused = findWindow([dialog], (w) => w.handle === focusedHandle);
  const inText = active && (active.tagName === 'TEXTAREA' || (active.tagName === 'INPUT' && active.type === 'text'));
  const named = { Tab: VK.TAB, Enter: VK.RETURN, Escape: VK.ESCAPE, F1: VK.F1 };
  let key = named[e.key];
  if (key === VK.RETURN && focused?.takesReturn) return false;
  if (key === undefined) {
    const letter = letterOf(e);
    if (!letter || !(e.altKey || (!inText && !e.ctrlKey && !e.metaKey))) return false;
    key = letter.toUpperCase().charCodeAt(0);
  }
  e.preventDefault();
  app.keyOnItsWay = !fixture;
  app.send({ kind: 'key', target: focusedHandle || dialog.handle, key, shift: e.shiftKey, alt: e.altKey },
    { key: true });
  return true;
}

// The keys held while a key was on its way: in a text box a character is typed there, any
// other key goes the way of a key pressed now.
export function replayTypeAhead() {
  if (app.keyOnItsWay || busy) return;
  while (typeAhead.length && !app.keyOnItsWay) {
    const e = typeAhead.shift();
    const modals = app.state?.snapshot.modals || [];
    if (!modals.length) continue;
    const fake = { ...e, preventDefault() {}, stopPropagation() {} };
    if (dialogKeys(fake, modals[modals.length - 1], true)) continue;
    const active = document.activeElement;
    if (e.key.length === 1 && !e.ctrlKey && !e.metaKey && !e.altKey && active && 'setRangeText' in active) {
      active.setRangeText(e.key, active.selectionStart, active.selectionEnd, 'end');
      active.dispatchEvent(new Event('input', { bubbles: true }));
    }
  }
}

function consoleKeys(e, con) {
  const letter = letterOf(e);
  if (e.altKey && letter) {
    const index = menubarByLetter(con, letter);
    if (index >= 0) {
      e.preventDefault();
      app.menuFocus = -1;
      app.command({ command: 'menuOpen', index });
      return;
    }
    const plugin = (con.plugins || []).findIndex((p) => mnemonicOf(p.name) === letter);
    if (plugin >= 0) {
      e.preventDefault();
      app.command({ command: 'nav', index: plugin });
    }
  } else if (e.key === 'F10' && !e.shiftKey && (con.menubar || []).length) {
    e.preventDefault();
    app.menuFocus = -1;
    app.command({ command: 'menuOpen', index: 0 });
  } else if (e.key === 'F1' || e.key === 'F5') {
    // The framework handles them at the control's list: the page must not reload.
    e.preventDefault();
    const list = document.querySelector('.cls-SysListView32');
    if (list) app.send({ kind: 'key', target: Number(list.dataset.handle), key: e.key === 'F1' ? VK.F1 : VK.F5 });
  }
}

// ---- A drag of the list's rows: moves over windows, the drop, Escape.

function handleUnder(e) {
  let node = document.elementFromPoint(e.clientX, e.clientY);
  while (node) {
    const handle = Number(node.dataset?.handle);
    if (handle > 0 && String(handle) === node.dataset.handle) {
      const r = node.getBoundingClientRect();
      return { target: handle, x: Math.round(e.clientX - r.left), y: Math.round(e.clientY - r.top) };
    }
    node = node.parentElement;
  }
  return null;
}

document.addEventListener('mousemove', (e) => {
  if (!app.dragging && !app.state?.snapshot.drag?.running) return;
  const over = handleUnder(e);
  if (over) app.send({ kind: 'dragOver', ...over }, { coalesce: 'dragOver' });
});
document.addEventListener('mouseup', () => {
  // The drag was asked for and its answer may not have come yet: the release still drops it.
  if (app.dragging || app.state?.snapshot.drag?.running) app.send({ kind: 'drop' });
  app.dragging = false;
});
document.addEventListener('mousedown', (e) => {
  // A click outside an open menu of the menubar closes it.
  if (app.state?.console.openMenu >= 0 && !e.target.closest('.menubar')) app.command({ command: 'menuClose' });
});

// ---- Press and release across redraws
//
// Every answer redraws the page with new elements, and one may come between a button's press
// and its release (the prompt of the toolbar button the mouse has just entered, the selection
// a press makes). The browser clicks only when both fall on one element: a control that is
// pressed names itself by `data-press` (its window's handle, and a button, item or row), and
// a release over the control of the same name clicks it, whichever element now draws it. The
// browser's own click after such a release is not clicked again; keys still click by
// themselves.
let pressedKey = null;
let releasing = false;
let swallowClick = false;

document.addEventListener('mousedown', (e) => {
  if (e.button !== 0) return;
  pressedKey = e.target.closest?.('[data-press]')?.dataset.press ?? null;
  swallowClick = false;
}, true);
document.addEventListener('mouseup', (e) => {
  if (e.button !== 0) return;
  const node = e.target.closest?.('[data-press]');
  const key = pressedKey;
  pressedKey = null;
  if (!node || node.dataset.press !== key) return;
  const target = node.control || node;  // a label clicks its box
  if (target.disabled || target.closest('[inert]')) return;
  releasing = true;
  try {
    target.dispatchEvent(new MouseEvent('click', {
      bubbles: true, cancelable: true, detail: 1, clientX: e.clientX, clientY: e.clientY,
    }));
  } finally {
    releasing = false;
  }
  swallowClick = true;
  setTimeout(() => { swallowClick = false; }, 0);
}, true);
document.addEventListener('click', (e) => {
  if (releasing || !swallowClick || e.detail === 0) return;
  swallowClick = false;
  e.preventDefault();
  e.stopPropagation();
}, true);
document.addEventListener('keydown', onKeyDown);
