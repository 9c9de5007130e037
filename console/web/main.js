// The page: renders each state of the console (the control's window tree and the console's
// own chrome) and turns the user's mouse and keys into the console's input.
import * as api from './api.js';
import { el, findWindow, mnemonicOf } from './dom.js';
import { forgetListView, renderHostWindow, settleListView, VK } from './control.js';
import { renderDialog } from './dialog.js';
import {
  menubarByLetter, renderMenubar, renderNavigation, renderPopupMenu, renderStatusBar, renderTaskPane,
} from './chrome.js';

const params = new URLSearchParams(location.search);
const fixture = params.has('fixture') ? params.get('fixture') || 'editor' : null;

const app = {
  state: null,
  menuFocus: -1,     // the highlighted item of the open menu (keyboard)
  restoring: false,  // focus moves made by rendering, not by the user
  send: (input, options) => enqueue('input', input, options),
  command: (command, options) => enqueue('console', command, options),
  hover: (bar, index) => {
    if (lastHover.bar === bar && lastHover.index === index) return;
    lastHover = { bar, index };
    enqueue('input', { kind: 'hover', target: bar, index }, { coalesce: 'hover' });
    // Off the toolbar the status bar says "Ready" again, as a frame's does when idle.
    if (index < 0) enqueue('console', { command: 'menuHighlight', id: 0 });
  },
  dragging: false,   // a drag of the list's rows was asked for and not dropped yet
  startDrag: (input) => {
    app.dragging = true;
    enqueue('input', input);
  },
};
let lastHover = { bar: 0, index: -1 };
let lastTopModal = 0;
let lastFocus = 0;  // the control the framework had focused in the top window at the last drawing
// The pages asked for before this page was loaded are not opened again.
let openedSeq = null;

// ---- Requests: one at a time, in order; a later text for the same box replaces one not sent.

const queue = [];
let busy = false;
// While inputs are on their way the poll is stopped: each answer brings the state, and a poll
// woken by the same state would bring it (hundreds of kilobytes over thousands of rows) again.
let pollStop = null;
let inputsDone = null;

function enqueue(path, body, options = {}) {
  if (stopped) return;
  if (fixture) {
    devLog(`${path}: ${JSON.stringify(body)}`);
    return;
  }
  const last = queue[queue.length - 1];
  if (options.coalesce && last && last.coalesce === options.coalesce) last.body = body;
  else queue.push({ path, body, coalesce: options.coalesce, key: options.key });
  pump();
}

async function pump() {
  if (busy) return;
  busy = true;
  let done;
  inputsDone = new Promise((resolve) => { done = resolve; });
  pollStop?.abort();
  while (queue.length > 0) {
    const { path, body, key } = queue.shift();
    try {
      const state = await (path === 'input' ? api.postInput(body) : api.postConsole(body));
      if (state.ok === false || (state.problems || []).length) console.warn('refused', body, state.problems);
      accept(state);
      if (key) keyOnItsWay = false;
    } catch (error) {
      console.error(error);
      keyOnItsWay = false;
      // An input that did not reach the console: is it still running?
      if (await consoleGone()) return;
    }
  }
  busy = false;
  inputsDone = null;
  done();
  if (app.state) render();
}

function accept(state) {
  // The answer to an input and the poll bring the same state: it is drawn once.
  if (stopped || (app.state && state.version <= app.state.version)) return;
  app.state = state;
  if (!busy) render();
}

async function poll() {
  while (!stopped) {
    if (inputsDone) await inputsDone;
    const stop = new AbortController();
    pollStop = stop;
    try {
      accept(await api.getState(app.state ? app.state.version : -1, stop.signal));
    } catch (error) {
      if (stop.signal.aborted) continue;
      console.error(error);
      if (await consoleGone()) return;
    }
  }
}

// ---- The console stopped
//
// A request that fails is asked once more a second later; when that fails too, the console
// is taken for stopped: the page says so, takes no more input and shows nothing of the last
// state as if it were live.
let stopped = false;
const STOPPED_TEXT = {
  en: 'The console is no longer running. Start it again, then reload this page.',
  de: 'Die Konsole l\u00e4uft nicht mehr. Starten Sie sie erneut und laden Sie dann diese Seite neu.',
};

async function consoleGone() {
  if (stopped) return true;
  await new Promise((r) => setTimeout(r, 1000));
  try {
    accept(await api.getState(-1));
    return false;
  } catch {
    showStopped();
    return true;
  }
}

function showStopped() {
  if (stopped) return;
  stopped = true;
  queue.length = 0;
  pollStop?.abort();
  const root = document.getElementById('app');
  for (const child of root.children) child.inert = true;
  const language = app.state?.console?.language || document.documentElement.lang || 'en';
  root.append(el('div', { class: 'modal-layer stopped-layer' },
    el('div', { class: 'window stopped-notice', role: 'alert' },
      el('div', { class: 'window-body' }, STOPPED_TEXT[language] || STOPPED_TEXT.en))));
}

// ---- Rendering

function render() {
  if (stopped) return;  // the notice stays over the last state
  const { snapshot, console: con } = app.state;
  const remembered = rememberView();
  document.title = con.title || 'Console';
  document.documentElement.lang = con.language || 'en';
  document.body.classList.toggle('wait', !!snapshot.waitCursor);
  document.body.classList.toggle('dragging', !!snapshot.drag?.running);

  const control = (snapshot.windows || []).find((w) => w.handle === con.controlHandle) || snapshot.windows?.[0];
  const area = el('main', { class: 'control-area', 'aria-label': 'Custom data forms' },
    control ? renderHostWindow(control, app) : el('p', { class: 'empty' }, 'No plug-in is shown.'));
  const frame = el('div', { class: 'window console-frame', 'aria-hidden': snapshot.modals?.length ? 'true' : null },
    el('div', { class: 'title-bar' }, el('div', { class: 'title-bar-text' }, con.title || '')),
    el('div', { class: 'window-body console-body' },
      renderMenubar(con, app),
      el('div', { class: 'panes' }, con.showNavigation === false ? null : renderNavigation(con, app), area,
        con.showTasks === false ? null : renderTaskPane(con, app)),
      renderStatusBar(snapshot)));
  if (snapshot.modals?.length) frame.inert = true;

  const root = document.getElementById('app');
  const standIn = frame.querySelector('.lv-kept');
  if (!standIn || !graft(root, frame, standIn)) {
    if (standIn) standIn.replaceWith(standIn.kept);
    root.replaceChildren(frame);
  }
  const modals = snapshot.modals || [];
  modals.forEach((m, i) => root.append(renderDialog(m, app, i === modals.length - 1, i)));
  if (snapshot.menu?.open) root.append(renderPopupMenu(snapshot.menu, app));
  if (fixture) root.append(el('pre', { id: 'dev-log', 'aria-live': 'polite' }, devLines.join('\n')));

  restoreView(remembered, modals);
  if (!keyOnItsWay && typeAhead.length && !busy) replayTypeAhead();
  settleListView();
  watchSize(root.querySelector('.control-area'), control);
  openPages(con);
}

// Puts the new frame in place of the shown one around the kept list view (the stand-in's
// `kept`), which stays where it is: taken out of the page and put back, its thousands of rows
// would be styled and laid out anew. Each window from the frame down to the list takes the
// new one's attributes and children but keeps its place. False when the shown frame is not
// shaped like the new one; nothing has changed then.
function graft(root, frame, standIn) {
  const fresh = [];
  for (let n = standIn; n && n !== root; n = n.parentNode) fresh.unshift(n);
  const shown = [];
  for (let n = standIn.kept; n && n !== root; n = n.parentNode) shown.unshift(n);
  if (fresh[0] !== frame || shown[0]?.parentNode !== root || shown.length !== fresh.length) return false;
  for (let i = 0; i + 1 < fresh.length; ++i) {
    if (fresh[i].tagName !== shown[i].tagName) return false;
  }
  for (const child of [...root.childNodes]) if (child !== shown[0]) child.remove();
  for (let i = 0; i + 1 < fresh.length; ++i) {
    const [old, now, stays] = [shown[i], fresh[i], shown[i + 1]];
    for (const { name } of [...old.attributes]) if (!now.hasAttribute(name)) old.removeAttribute(name);
    for (const { name, value } of [...now.attributes]) {
      if (old.getAttribute(name) !== value) old.setAttribute(name, value);
    }
    old.inert = now.inert;
    for (const child of [...old.childNodes]) if (child !== stays) child.remove();
    const kids = [...now.childNodes];
    const at = kids.indexOf(fresh[i + 1]);
    stays.before(...kids.slice(0, at));
    stays.after(...kids.slice(at + 1));
  }
  return true;
}

// What re-rendering would lose: the focused control, its caret, scroll positions, open details.
function rememberView() {
  const active = document.activeElement;
  const scrolls = new Map();
  document.querySelectorAll('[data-handle], .task-pane, .lv-items').forEach((node) => {
    if (node.scrollTop || node.scrollLeft) scrolls.set(keyOf(node), [node.scrollTop, node.scrollLeft]);
  });
  const details = [...document.querySelectorAll('details[open]')].map((d) => d.querySelector('summary')?.textContent);
  return {
    focus: active && active !== document.body ? keyOf(active) : null,
    caret: active && 'selectionStart' in active && active.selectionStart !== null
      ? [active.selectionStart, active.selectionEnd] : null,
    scrolls,
    details,
  };
}

function keyOf(node) {
  if (node.dataset?.handle) return `h:${node.dataset.handle}`;
  if (node.dataset?.menu) return `m:${node.dataset.menu}`;
  if (node.classList.contains('task-pane')) return 'task-pane';
  if (node.id) return `#${node.id}`;
  return null;
}

function findByKey(key) {
  if (!key) return null;
  if (key.startsWith('h:')) return document.querySelector(`[data-handle="${CSS.escape(key.slice(2))}"]`);
  if (key.startsWith('m:')) return document.querySelector(`[data-menu="${CSS.escape(key.slice(2))}"]`);
  if (key === 'task-pane') return document.querySelector('.task-pane');
  return document.getElementById(key.slice(1));
}

function restoreView(remembered, modals) {
  for (const [key, [top, left]] of remembered.scrolls) {
    const node = findByKey(key);
    if (node) {
      node.scrollTop = top;
      node.scrollLeft = left;
    }
  }
  document.querySelectorAll('details').forEach((d) => {
    if (remembered.details.includes(d.querySelector('summary')?.textContent)) d.open = true;
  });
  app.restoring = true;
  try {
    const top = modals[modals.length - 1];
    const focused = top ? findWindow([top], (w) => w.focused && w !== top) : null;
    let target = null;
    let moved = false;
    if (top && top.handle !== lastTopModal) {
      // A new window: the control the framework focused, else its first tab stop.
      target = (focused && findByKey(`h:${focused.handle}`)) || firstTabStop(dialogNode(top.handle));
    } else if (focused && focused.handle !== lastFocus) {
      // The framework moved the focus (Tab, a mnemonic): the page follows.
      target = findByKey(`h:${focused.handle}`);
      moved = true;
    } else {
      target = findByKey(remembered.focus);
      if (!target && !top && lastTopModal) target = document.querySelector('.cls-SysListView32');
    }
    lastTopModal = top ? top.handle : 0;
    lastFocus = focused ? focused.handle : 0;
    if (target) {
      const before = document.activeElement;
      target.focus({ preventScroll: true });
      if (moved && target !== before && target.tagName === 'INPUT' && target.type === 'text') target.select();
      else if (remembered.caret && target === findByKey(remembered.focus) && 'setSelectionRange' in target) {
        try { target.setSelectionRange(...remembered.caret); } catch { /* not a text box */ }
      }
    }
  } finally {
    app.restoring = false;
  }
}

function dialogNode(handle) {
  return document.querySelector(`.dialog[data-handle="${handle}"]`);
}

function firstTabStop(container) {
  if (!container) return null;
  return [...container.querySelectorAll('button, input, textarea, select, [tabindex]')].find((n) =>
    n.tabIndex >= 0 && !n.disabled && !n.closest('.title-bar') && n.getClientRects().length > 0) || null;
}

// The console keeps the control at the size of its area.
let observer = null;
function watchSize(area, control) {
  if (fixture || !control) return;
  observer?.disconnect();
  observer = new ResizeObserver(() => {
    const width = Math.floor(area.clientWidth), height = Math.floor(area.clientHeight);
    const r = control.rect;
    if (width > 0 && height > 0 && (r.right - r.left !== width || r.bottom - r.top !== height)) {
      enqueue('input', { kind: 'resize', target: control.handle, index: width, to: height }, { coalesce: 'resize' });
    }
  });
  observer.observe(area);
}

function openPages(con) {
  const pages = con.open || [];
  if (openedSeq === null) {
    openedSeq = pages.reduce((last, page) => Math.max(last, page.seq), 0);
    return;
  }
  for (const page of pages) {
    if (page.seq <= openedSeq) continue;
    openedSeq = page.seq;
    window.open(page.url, '_blank', 'noopener');
  }
}

// ---- Keys

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
let keyOnItsWay = false;
let typeAhead = [];

function dialogKeys(e, dialog, replaying = false) {
  if (keyOnItsWay || (typeAhead.length && !replaying)) {
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
  keyOnItsWay = !fixture;
  app.send({ kind: 'key', target: focusedHandle || dialog.handle, key, shift: e.shiftKey, alt: e.altKey },
    { key: true });
  return true;
}

// The keys held while a key was on its way: in a text box a character is typed there, any
// other key goes the way of a key pressed now.
function replayTypeAhead() {
  while (typeAhead.length && !keyOnItsWay) {
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
// Tests redraw the page from the state it holds, as an answer would, in the middle of a
// gesture; `full` draws the list view anew as well.
window.addEventListener('qv-redraw', (e) => {
  if (e.detail?.full) forgetListView();
  if (app.state) render();
});
document.addEventListener('keydown', onKeyDown);

// ---- The development log and start-up

const devLines = [];
function devLog(line) {
  devLines.push(line);
  const log = document.getElementById('dev-log');
  if (log) log.textContent = devLines.join('\n');
}

// The address keeps its ?s=: the console serves the page only to an address that holds the
// secret, so a reload needs it there.
async function start() {
  if (fixture) {
    app.state = await api.loadFixture(fixture);
    render();
    return;
  }
  poll();
}

start();
