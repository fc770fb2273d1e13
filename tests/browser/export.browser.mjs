// The export demo in a real browser: the CSV button of the grid downloads every row of the
// query as a file named after ExportFileName.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { withDemoSite } from './support.mjs';

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.goto(`${base}/grid_export.lua`);
    for (const caption of ['Doc', 'Excel', 'CSV', 'XML', 'Text']) {
      assert.ok(await page.isVisible(`a:text-is("${caption}")`), `${caption} button shown`);
    }

    const [download] = await Promise.all([
      page.waitForEvent('download'),
      page.click('a:text-is("CSV")'),
    ]);
    assert.equal(download.suggestedFilename(), 'customers.csv');
    const text = readFileSync(await download.path(), 'utf8');
    const lines = text.split('\r\n');
    assert.equal(lines[0], '"CustomerID","CompanyName","ContactName","City","Country"');
    assert.match(lines[1], /^"[A-Z]{3}\d{2}","[^"]+","[^"]+","[^"]+","[^"]+"$/);
    const rows = lines.filter((line) => line.length > 0).length - 1;
    assert.ok(rows > 10, `every row is exported, not one page (${rows} rows)`);

    // The page itself stays as it was: the download did not replace it.
    assert.match(await page.textContent("h1"), /Customers, ready to export/);
  });
}
