// The console as the benches run it: qvconsole on a world, on a free port of 127.0.0.1, and
// stopped as Ctrl-C stops it.
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { createServer } from 'node:http';
import { join } from 'node:path';

function freePort() {
  const server = createServer();
  return new Promise((ok) => server.listen(0, '127.0.0.1', () => {
    const { port } = server.address();
    server.close(() => ok(port));
  }));
}

// Spawns BUILD's qvconsole; resolves once it printed its address. `started` is the spawn's time.
export async function startConsole(build, world) {
  const port = await freePort();
  const started = performance.now();
  const child = spawn(join(build, 'qvconsole'), ['--world', world, '--port', String(port)], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let errors = '';
  child.stderr.on('data', (d) => { errors += d; });
  const url = await new Promise((ok, fail) => {
    let text = '';
    child.stdout.on('data', (d) => {
      text += d;
      const line = text.split('\n').find((l) => /^http:\/\/127\.0\.0\.1:\d+\/\?s=\w+$/.test(l));
      if (line) ok(line);
    });
    child.on('exit', (code) => fail(new Error(`qvconsole stopped (${code}): ${errors}`)));
  });
  return { child, url, started };
}

export async function stopConsole({ child }) {
  if (child.exitCode !== null) return;
  const exited = once(child, 'exit');
  child.kill('SIGINT');
  await exited;
}
