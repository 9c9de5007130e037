// The console around the control: its menubar, the navigation pane of plug-ins, the task
// pane, the status bar, and the control's pop-up menu.
import { el, mnemonicNodes, mnemonicOf, plainText } from './dom.js';


// The item of the menubar's open menu whose prompt the status bar shows. A redraw puts a new
// element under a resting mouse, which enters it again: only a change of item is told, or
// each answer would bring another redraw and another prompt without end.
let highlighted = null;

export function renderMenubar(con, app) {
  if (con.openMenu < 0) highlighted = null;
  const bar = el('ul', { class: 'menubar', role: 'menubar', 'aria-label': 'Menu' });
  (con.menubar || []).forEach((menu, i) => {
    const open = con.openMenu === i;
    const entry = el('li', { class: `menubar-entry${open ? ' open' : ''}`, role: 'none' },
      el('button', {
        class: 'menubar-title', role: 'menuitem', 'aria-haspopup': 'menu',
        'aria-expanded': String(open), tabindex: -1, 'data-menu': i,
        // As the system's menus: the press opens the menu (or closes the open one), and the
        // button's release over an item picks it, however often the menu is drawn between.
        onmousedown: (e) => {
          if (e.button !== 0) return;
          e.preventDefault();
          app.command(open ? { command: 'menuClose' } : { command: 'menuOpen', index: i });
        },
        // A click without a press (a script's, an assistive technology's).
        onclick: (e) => {
          if (e.detail === 0) app.command(open ? { command: 'menuClose' } : { command: 'menuOpen', index: i });
        },
        onmouseenter: () => {
          if (con.openMenu >= 0 && !open) app.command({ command: 'menuOpen', index: i });
        },
      }, mnemonicNodes(menu.text)));
    if (open) entry.append(renderMenuItems(menu.items || [], app.menuFocus, {
      label: plainText(menu.text),
      pick: (item) => app.command({ command: 'menuPick', id: item.id }),
      highlight: (item) => {
        const id = item ? item.id : 0;
        if (id === highlighted) return;
        highlighted = id;
        app.command({ command: 'menuHighlight', id }, { coalesce: 'highlight' });
      },
    }));
    bar.append(entry);
  });
  return bar;
}

// The items of a menu; the one at `active` is highlighted (keyboard).
export function renderMenuItems(items, active, { label, pick, highlight }) {
  const list = el('ul', { class: 'menu', role: 'menu', 'aria-label': label });
  items.forEach((item, i) => {
    if (item.separator) {
      list.append(el('li', { class: 'menu-separator', role: 'separator' }));
      return;
    }
    const [text, accel] = item.text.split('\t');
    const enabled = item.enabled !== false && !item.popup;
    list.append(el('li', {
      // The console says "checked": false of every command: only a mark makes a check item.
      role: item.checked ? 'menuitemcheckbox' : 'menuitem',
      'aria-checked': item.checked ? 'true' : null,
      'aria-disabled': enabled ? null : 'true',
      class: `menu-item${i === active ? ' active' : ''}${enabled ? '' : ' disabled'}`,
      'data-item': i,
      tabindex: -1,
      onmouseenter: () => highlight(item),
      onmouseleave: () => highlight(null),
      // A menu picks on the button's release, as the system's menus do. The highlight that
      // the press follows may redraw the menu in between, and a click needs press and release
      // on one element: the release is taken wherever it falls.
      onmouseup: (e) => {
        if (e.button !== 0) return;
        e.stopPropagation();
        if (enabled) pick(item);
      },
      // A click without a press (a script's, an assistive technology's) picks as well.
      onclick: (e) => {
        e.stopPropagation();
        if (e.detail === 0 && enabled) pick(item);
      },
    }, el('span', { class: 'menu-check' }, item.checked ? '\u2713' : ''),
    el('span', { class: 'menu-text' }, mnemonicNodes(text)),
    el('span', { class: 'menu-accel' }, accel || '')));
  });
  return list;
}

// The control's pop-up menu at its point in the owner's client area.
export function renderPopupMenu(menu, app) {
  const owner = document.querySelector(`[data-handle="${menu.owner}"]`);
  const origin = owner ? owner.getBoundingClientRect() : { left: 0, top: 0 };
  const list = renderMenuItems(menu.items || [], app.menuFocus, {
    label: 'Context menu',
    pick: (item) => app.send({ kind: 'menuPick', index: item.id }),
    highlight: () => {},
  });
  list.classList.add('popup-menu');
  list.style.left = `${origin.left + menu.x}px`;
  list.style.top = `${origin.top + menu.y}px`;
  const shield = el('div', {
    class: 'menu-shield',
    onmousedown: (e) => {
      if (e.target === shield) app.send({ kind: 'menuPick', index: -1 });
    },
    oncontextmenu: (e) => e.preventDefault(),
  }, list);
  requestAnimationFrame(() => {
    const width = list.getBoundingClientRect().width;
    if (menu.align === 'center') list.style.left = `${origin.left + menu.x - width / 2}px`;
    else if (menu.align === 'right') list.style.left = `${origin.left + menu.x - width}px`;
  });
  return shield;
}

export function renderNavigation(con, app) {
  const tree = el('ul', { class: 'tree-view nav-tree', role: 'tree', 'aria-label': 'Plug-ins' });
  (con.plugins || []).forEach((p, i) => {
    tree.append(el('li', {
      role: 'treeitem', 'aria-selected': String(!!p.active), tabindex: p.active ? 0 : -1,
      class: p.active ? 'active' : null,
      'data-press': `nav:${i}`,
      onclick: () => app.command({ command: 'nav', index: i }),
      onkeydown: (e) => {
        if (e.key === 'Enter' || e.key === ' ') {
          e.preventDefault();
          app.command({ command: 'nav', index: i });
        }
      },
    }, mnemonicNodes(p.name)));
  });
  return el('nav', { class: 'nav-pane', 'aria-label': 'Navigation' }, tree);
}

// The task pane's own words, as the console sends them in the user's language.
function say(con, key) {
  return con.text?.[key] ?? '';
}

// A run line may break after its commas and backslashes (and at its spaces), never inside a
// file name.
function breakable(text) {
  const nodes = [];
  for (const part of text.split(/(?<=[,\\])/)) nodes.push(part, el('wbr'));
  nodes.pop();
  return nodes;
}

function when(seconds) {
  const d = new Date(seconds * 1000);
  const two = (n) => String(n).padStart(2, '0');
  return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())} ` +
    `${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
}

// The pager of a long list: the clients whose name holds a text, and the rows shown.
function renderPager(con, app, pager) {
  if (!pager) return null;
  const part = pager.part;
  return el('div', { class: 'pager', 'data-part': part },
    el('label', {}, say(con, 'find'), ' ',
      el('input', { type: 'search', value: pager.filter,
        onchange: (e) => app.command({ command: 'filter', part, text: e.target.value }) })),
    el('button', { disabled: !pager.previous,
      onclick: () => app.command({ command: 'page', part, step: -1 }) }, say(con, 'previous')),
    el('span', { class: 'pager-text' }, pager.text),
    el('button', { disabled: !pager.next,
      onclick: () => app.command({ command: 'page', part, step: 1 }) }, say(con, 'next')));
}

export function renderTaskPane(con, app) {
  const pane = el('aside', { class: 'task-pane', 'aria-label': say(con, 'tasks'), 'data-handle': con.taskPane || null });
  const tasks = con.tasks || [];
  pane.append(el('h2', {}, say(con, 'tasks')));
  if (tasks.length === 0) pane.append(el('p', { class: 'empty' }, say(con, 'noTasks')));
  for (const task of tasks) {
    const runs = task.runs || [];
    pane.append(el('fieldset', { class: 'task', 'aria-label': task.name },
      el('legend', {}, task.name),
      el('div', { class: 'task-buttons' },
        el('button', { disabled: task.running || task.runnable === false ? '' : null,
          'data-press': `run:${task.id}`,
          onclick: () => app.command({ command: 'runTask', id: task.id }) }, say(con, 'runNow')),
        el('button', { 'data-press': `remove:${task.id}`,
          onclick: () => app.command({ command: 'removeTask', id: task.id }) }, say(con, 'remove'))),
      task.running ? el('p', { class: 'running', role: 'status' }, say(con, 'running'),
        task.progress ? el('span', { class: 'progress' }, ` ${task.progress}`) : null) : null,
      task.runnable === false && !task.running
        ? el('p', { class: 'not-runnable', role: 'note' }, say(con, 'notRunnable')) : null,
      runs.length === 0 && !task.running && task.runnable !== false && !task.pager
        ? el('p', { class: 'empty' }, say(con, 'notRunYet')) : null,
      task.summary ? el('p', { class: 'run-summary' }, task.summary) : null,
      renderPager(con, app, task.pager),
      runs.map((run) => el('details', { class: `run ${run.ok ? 'ok' : 'failed'}` },
        el('summary', {}, `${run.client} \u2014 ${when(run.time)} \u2014 ${say(con, run.ok ? 'ok' : run.reached === false ? 'notReached' : 'failed')}`),
        el('pre', { class: 'run-lines' }, breakable((run.lines || []).map((line) =>
          `${line.key}=${line.value}: ${line.result}`).join('\n')))))));
  }
  pane.append(el('h2', {}, say(con, 'clients')));
  if (con.clientsPager) pane.append(renderPager(con, app, con.clientsPager));
  for (const client of con.clients || []) {
    const forms = client.forms || [];
    pane.append(el('fieldset', { class: 'client', 'aria-label': client.name },
      el('legend', {}, client.name),
      forms.length === 0 ? el('p', { class: 'empty' }, say(con, 'noForms'))
        : el('ul', { class: 'client-forms' }, forms.map((file) => el('li', {},
          el('button', {
            class: 'link', 'data-press': `form:${client.name}/${file}`, onclick: () => app.command({ command: 'viewClientForm', client: client.name, file }),
          }, file))))));
  }
  pane.append(el('h2', {}, say(con, 'configurations')));
  const configs = con.configurations || [];
  if (configs.length === 0) pane.append(el('p', { class: 'empty' }, say(con, 'noConfigurations')));
  else {
    pane.append(el('ul', { class: 'tree-view configs' }, configs.map((c) =>
      el('li', {}, `${c.name} `, el('span', { class: 'config-data' }, `(${c.data})`)))));
  }
  return pane;
}

export function renderStatusBar(snapshot) {
  return el('div', { class: 'status-bar', role: 'status' },
    el('p', { class: 'status-bar-field' }, snapshot.status || '\u00a0'));
}

// The menubar entry whose mnemonic is the letter; -1 when none.
export function menubarByLetter(con, letter) {
  return (con.menubar || []).findIndex((m) => mnemonicOf(m.text) === letter);
}
