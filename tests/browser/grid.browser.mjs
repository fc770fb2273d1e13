// The plain grid demo in a real browser: sort by a column (twice), follow a page link, type a
// new page size, and check what the page shows after each postback.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import assert from 'node:assert/strict';
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
    if (child.exitCode !== null) throw new Error(`quenmark exited with ${child.exitCode}`);
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

// Values of the visible grid: row numbers and the product names of the second data column.
async function gridRows(page) {
  return page.$$eval('form[name=QmkTabulon] tr', (rows) =>
    rows
      .map((tr) => Array.from(tr.querySelectorAll('td')).map((td) => td.textContent))
      .filter((cells) => cells.length === 6 && /^\d+$/.test(cells[0]))
      .map((cells) => ({ number: Number(cells[0]), id: Number(cells[1]), name: cells[2] })),
  );
}

async function postback(page, action) {
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), action()]);
}

export default async function run({ quenmark }) {
  const port = await freePort();
  const base = `http://127.0.0.1:${port}`;
  const server = spawn(quenmark, ['demo', '--root', site, '--port', String(port)], {
    stdio: ['ignore', 'ignore', 'pipe'],
  });
  let log = '';
  server.stderr.on('data', (chunk) => (log += chunk));
  const profile = mkdtempSync(join(tmpdir(), 'quenmark-chromium-'));
  let context;
  try {
    await waitForServer(`${base}/grid_plain.lua`, server);
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
    await page.goto(`${base}/grid_plain.lua`);

    let rows = await gridRows(page);
    assert.equal(rows.length, 10, 'first page shows 10 rows');
    assert.deepEqual(rows.map((r) => r.id), [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]);
    assert.match(await page.textContent('body'), /Page 1 of 8 \(77 recs\)/);

    // First click on the ProductName caption: ascending by name.
    await postback(page, () => page.click('th a:text-is("ProductName")'));
    assert.equal(await page.inputValue('input[name=sort]'), '2');
    rows = await gridRows(page);
    const ascending = rows.map((r) => r.name);
    assert.deepEqual(ascending, [...ascending].sort());

    // Second click on the same caption: descending, with the descending icon beside it.
    await postback(page, () => page.click('th a:text-is("ProductName")'));
    assert.equal(await page.inputValue('input[name=sort]'), '2 desc');
    rows = await gridRows(page);
    const descending = rows.map((r) => r.name);
    assert.ok(descending[0] > ascending[0], 'descending starts after the ascending first name');
    assert.ok(await page.isVisible('th a:text-is("-")'), 'descending sort icon shown');

    // A page link: page 3 keeps the order and starts at row 21.
    await postback(page, () => page.click('a:text-is("3")'));
    rows = await gridRows(page);
    assert.equal(rows[0].number, 21);
    assert.match(await page.textContent('body'), /Page 3 of 8 \(77 recs\)/);
    assert.equal(await page.inputValue('input[name=sort]'), '2 desc');
    assert.ok(rows[0].name <= descending[descending.length - 1], 'page 3 continues the order');

    // A new page size typed into the box takes effect with Reload, at the same first row.
    await page.fill('input[name=npagesize]', '25');
    await postback(page, () => page.click('a:text-is("Reload")'));
    rows = await gridRows(page);
    assert.equal(rows.length, 25);
    assert.equal(rows[0].number, 21);
    assert.equal(await page.inputValue('input[name=pagesize]'), '25');
    assert.match(await page.textContent('body'), /of 4 \(77 recs\)/);
  } catch (err) {
    err.message += `\nserver log:\n${log}`;
    throw err;
  } finally {
    if (context) await context.close();
    server.kill('SIGTERM');
    rmSync(profile, { recursive: true, force: true });
  }
}
