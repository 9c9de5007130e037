// Drawing a state of the console: the control's window tree, the console's own chrome and the
// modal windows, keeping what a new drawing would lose (focus, caret, scroll positions) and
// following the focus the framework moves.
import { el, findWindow } from './dom.js';
import { renderHostWindow, settleListView } from './control.js';
import { renderDialog } from './dialog.js';
import { renderMenubar, renderNavigation, renderPopupMenu, renderStatusBar, renderTaskPane } from './chrome.js';
import { app, devLines, enqueue, fixture, stopped } from './transport.js';

let lastTopModal = 0;
let lastFocus = 0;  // the control the framework had focused in the top window at the last drawing
// The pages asked for before this page was loaded are not opened again.
let openedSeq = null;

export function render() {
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
  app.afterDraw?.();
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
    if (page.download) {
      // A file to keep (the Answers window's export): the browser saves it.
      const link = el('a', { href: page.url, download: '' });
      document.body.append(link);
      link.click();
      link.remove();
    } else {
      window.open(page.url, '_blank', 'noopener');
    }
  }
}
