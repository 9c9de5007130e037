// The page's side of the console's protocol: the state last drawn (app.state), and the inputs
// and console commands, sent one at a time in order; the long poll for newer states while none
// is on its way; the notice when the console has stopped. Each request names the version the
// page holds, and the console answers with the change from it where it can. In the development
// mode (?fixture=) the state is a fixture's and what would be sent is logged.
import * as api from './api.js';
import { el } from './dom.js';
import { applyPatch } from './patch.js';

const params = new URLSearchParams(location.search);
export const fixture = params.has('fixture') ? params.get('fixture') || 'editor' : null;

// The page's state, shared by drawing and input. `draw` is set to the drawing of the state.
export const app = {
  state: null,
  draw: () => {},
  keyOnItsWay: false,  // a dialog key was sent and its answer has not come yet
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

// ---- Requests: one at a time, in order; a later text for the same box replaces one not sent.

const queue = [];
export let busy = false;
// While inputs are on their way the poll is stopped: each answer brings the change, and a poll
// woken by it would only bring it again.
let pollStop = null;
let inputsDone = null;

export function enqueue(path, body, options = {}) {
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
      const answer = await (path === 'input' ? api.postInput(body, held()) : api.postConsole(body, held()));
      if (answer.ok === false || (answer.problems || []).length) console.warn('refused', body, answer.problems);
      await accept(answer);
      if (key) app.keyOnItsWay = false;
    } catch (error) {
      console.error(error);
      app.keyOnItsWay = false;
      // An input that did not reach the console: is it still running?
      if (await consoleGone()) return;
    }
  }
  busy = false;
  inputsDone = null;
  done();
  if (app.state) app.draw();
}

function held() {
  return app.state ? app.state.version : -1;
}

// An answer is the whole state or the change from the version the page held when it asked:
// {version, base, patch}. A change from another version, or one that does not apply, is
// dropped (with the state it was to change, when it did not apply) and the whole state is
// asked for.
async function accept(answer) {
  // The answer to an input and the poll bring the same state: it is drawn once.
  if (stopped || (app.state && answer.version <= app.state.version)) return;
  let state = answer;
  if (answer.patch) {
    const base = app.state?.version === answer.base;
    if (base && applyPatch(app.state, answer.patch)) {
      app.state.version = answer.version;
      state = app.state;
    } else {
      if (base) app.state = null;
      state = await api.getState(-1);
      if (state.patch) throw new Error('a change came for no state');
      if (stopped || (app.state && state.version <= app.state.version)) return;
    }
  }
  app.state = state;
  if (!busy) app.draw();
}

async function poll() {
  while (!stopped) {
    if (inputsDone) await inputsDone;
    const stop = new AbortController();
    pollStop = stop;
    try {
      await accept(await api.getState(held(), stop.signal));
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
export let stopped = false;
// The notice comes in the console's words from its last state; before any state came, the
// page has only its own.
const STOPPED_TEXT = 'The console is no longer running. Start it again, then reload this page.';

async function consoleGone() {
  if (stopped) return true;
  await new Promise((r) => setTimeout(r, 1000));
  try {
    await accept(await api.getState(-1));
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
  root.append(el('div', { class: 'modal-layer stopped-layer' },
    el('div', { class: 'window stopped-notice', role: 'alert' },
      el('div', { class: 'window-body' }, app.state?.console?.text?.stopped || STOPPED_TEXT))));
}

// ---- The development log and start-up

export const devLines = [];
function devLog(line) {
  devLines.push(line);
  const log = document.getElementById('dev-log');
  if (log) log.textContent = devLines.join('\n');
}

// The address keeps its ?s=: the console serves the page only to an address that holds the
// secret, so a reload needs it there.
export async function start() {
  if (fixture) {
    app.state = await api.loadFixture(fixture);
    app.draw();
    return;
  }
  poll();
}
