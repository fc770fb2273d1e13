// Runs every *.browser.mjs test in this folder against a demo site served on loopback.
import { readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const tests = readdirSync(here).filter((f) => f.endsWith('.browser.mjs')).sort();
let failed = 0;
for (const file of tests) {
  const { default: run } = await import(join(here, file));
  try {
    await run({ quenmark: process.argv[2] });
    console.log(`ok   ${file}`);
  } catch (err) {
    failed++;
    console.log(`FAIL ${file}\n${err.stack || err}`);
  }
}
console.log(`${tests.length - failed}/${tests.length} browser tests passed`);
process.exit(failed ? 1 : 0);
