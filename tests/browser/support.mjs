// Shared set-up of the browser tests: the demo site served by `quenmark demo` on a free loopback
// port, and a headless Chromium with a fresh profile. Both are cleaned up afterwards.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const site = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'examples', 'site');

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

async function waitForServer(url, child, timeoutMs = 30000) {
  const deadline = Date.now() + timeoutMs;
  while (Date.now() < deadline) {
    if (child.exitCode !== null || child.pid === undefined) {
      throw new Error(`quenmark is not running (exit code ${child.exitCode})`);
    }
    try {
      const reply = await fetch(url);
      if (reply.ok) return;
    } catch {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 200));
  }
  throw new Error(`no answer from ${url}`);
}

// Runs `body({ page, base })` against the demo site; server log is appended to failures.
export async function withDemoSite(quenmark, body) {
  const port = await freePort();
  const base = `http://127.0.0.1:${port}`;
  const server = spawn(quenmark, ['demo', '--root', site, '--port', String(port)], {
    stdio: ['ignore', 'ignore', 'pipe'],
  });
  let log = '';
  server.stderr.on('data', (chunk) => (log += chunk));
  server.on('error', (err) => (log += `cannot start ${quenmark}: ${err.message}\n`));
  const profile = mkdtempSync(join(tmpdir(), 'quenmark-chromium-'));
  let context;
  try {
    await waitForServer(`${base}/index.lua`, server);
    context = await chromium.launchPersistentContext(profile, {
      executablePath: '/usr/bin/chromium',
      headless: true,
      args: [
        '--headless',
        '--no-sandbox',
        '--disable-gpu',
        '--disable-quic',
        '--no-first-run',
        '--disable-background-networking',
        '--disable-component-update',
        '--disable-sync',
      ],
    });
    const page = await context.newPage();
    await body({ page, base });
  } catch (err) {
    err.message += `\nserver log:\n${log}`;
    throw err;
  } finally {
    if (context) await context.close();
    server.kill('SIGTERM');
    rmSync(profile, { recursive: true, force: true });
  }
}

// Performs `action` and waits for the page it submits or follows to load.
export async function navigation(page, action) {
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), action()]);
}
