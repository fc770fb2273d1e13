// Runs every *.browser.mjs test in this folder against a demo site served on loopback; names
// given after the executable (for example "reports") run only those tests.
import { readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const only = process.argv.slice(3);
const tests = readdirSync(here)
  .filter((f) => f.endsWith('.browser.mjs'))
  .filter((f) => only.length === 0 || only.includes(f.replace('.browser.mjs', '')))
  .sort();
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
