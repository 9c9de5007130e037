// The page's application of the console's changes (console/web/patch.js): what the console's
// patches do (RFC 6902 add, remove, replace; JSON Pointer escapes), and the refusal of what
// does not fit the state held, on which the page asks for the whole state.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { applyPatch } from '../../console/web/patch.js';

const state = () => ({
  snapshot: { windows: [{ rows: [{ t: 'a', s: true }, { t: 'b', s: false }, { t: 'c', s: false }] }] },
  console: { 'a/b': 1, 'm~n': 2, openMenu: -1 },
});

test('a patch turns the state into the new one', () => {
  const cases = [
    ['a flag in one row', [{ op: 'replace', path: '/snapshot/windows/0/rows/1/s', value: true }],
      (s) => { s.snapshot.windows[0].rows[1].s = true; }],
    ['a row added at an index and at the end',
      [{ op: 'add', path: '/snapshot/windows/0/rows/1', value: { t: 'x' } },
        { op: 'add', path: '/snapshot/windows/0/rows/-', value: { t: 'y' } }],
      (s) => { s.snapshot.windows[0].rows.splice(1, 0, { t: 'x' }); s.snapshot.windows[0].rows.push({ t: 'y' }); }],
    ['the last row removed', [{ op: 'remove', path: '/snapshot/windows/0/rows/2' }],
      (s) => { s.snapshot.windows[0].rows.pop(); }],
    ['escaped keys', [{ op: 'replace', path: '/console/a~1b', value: 3 },
      { op: 'remove', path: '/console/m~0n' }, { op: 'add', path: '/console/~01', value: 'k' }],
    (s) => { s.console['a/b'] = 3; delete s.console['m~n']; s.console['~1'] = 'k'; }],
    ['a member of another type', [{ op: 'replace', path: '/console/openMenu', value: { at: [1] } }],
      (s) => { s.console.openMenu = { at: [1] }; }],
    ['a key named like a prototype', [{ op: 'add', path: '/console/__proto__', value: { x: 1 } }],
      (s) => { Object.defineProperty(s.console, '__proto__', { value: { x: 1 }, writable: true, enumerable: true, configurable: true }); }],
  ];
  for (const [what, patch, change] of cases) {
    const held = state();
    const wanted = state();
    change(wanted);
    assert.equal(applyPatch(held, patch), true, what);
    assert.deepStrictEqual(held, wanted, what);
    assert.equal(Object.getPrototypeOf(held.console), Object.prototype, what);
  }
});

test('a patch that does not fit the state is refused', () => {
  const refused = [
    ['a member not there', [{ op: 'replace', path: '/console/gone', value: 1 }]],
    ['a removal of a member not there', [{ op: 'remove', path: '/console/a/b' }]],
    ['a path through a value', [{ op: 'add', path: '/console/openMenu/x', value: 1 }]],
    ['an index past the end', [{ op: 'replace', path: '/snapshot/windows/0/rows/3', value: 1 }]],
    ['an insertion past the end', [{ op: 'add', path: '/snapshot/windows/0/rows/4', value: 1 }]],
    ['an index that is no number', [{ op: 'remove', path: '/snapshot/windows/0/rows/01' }]],
    ['the end marker but for an addition', [{ op: 'remove', path: '/snapshot/windows/0/rows/-' }]],
    ['the whole document', [{ op: 'replace', path: '', value: {} }]],
    ['an operation the console does not make', [{ op: 'move', from: '/console/a~1b', path: '/console/x' }]],
    ['no list of operations', { op: 'remove', path: '/console' }],
  ];
  for (const [what, patch] of refused) assert.equal(applyPatch(state(), patch), false, what);
});
