// The console's HTTP protocol. Every request carries the run's secret, which the page's own
// address holds (?s=...), in the header X-Console-Secret; the browser never sends it by
// itself. Each request names the version of the state the page holds (-1: none); the answer
// is the whole state ({"version", "snapshot", "console"}) or the change from that version
// ({"version", "base", "patch"}, a JSON Patch).

const secret = new URLSearchParams(location.search).get('s') || '';

async function call(url, options = {}) {
  const response = await fetch(url, {
    credentials: 'omit',
    cache: 'no-store',
    ...options,
    headers: { ...options.headers, 'X-Console-Secret': secret },
  });
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return response.json();
}

function post(url, body) {
  return call(url, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
}

// Waits (long poll) for a state newer than `after`; the console answers at once when there is
// one, else after a change or a timeout with no change.
export function getState(after, signal) {
  return call(`/api/state?after=${encodeURIComponent(after)}`, { signal });
}

export function postInput(input, base) {
  return post(`/api/input?base=${encodeURIComponent(base)}`, input);
}

export function postConsole(command, base) {
  return post(`/api/console?base=${encodeURIComponent(base)}`, command);
}

// The development mode: a recorded snapshot (dev/fixture.json, by name) and a console around
// it (dev/console.json); what the page would send is shown in the log instead.
export async function loadFixture(name) {
  const [snapshots, con] = await Promise.all([
    call('web/dev/fixture.json'),
    call('web/dev/console.json'),
  ]);
  const snapshot = snapshots[name] || snapshots[Object.keys(snapshots)[0]];
  return { version: 1, snapshot, console: { ...con, controlHandle: snapshot.windows[0]?.handle } };
}
