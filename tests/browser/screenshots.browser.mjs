// Screenshots of the demo site for the README (docs/screenshots/*.png). Every run takes them so
// the pages keep rendering; they are written only when QUENMARK_SCREENSHOTS names a folder:
//   QUENMARK_SCREENSHOTS=docs/screenshots node tests/browser/run.mjs build/quenmark
import assert from 'node:assert/strict';
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { navigation, withDemoSite } from './support.mjs';

const shots = [
  ['home', 'index.lua'],
  ['grid', 'grid_plain.lua'],
  ['grid-graph', 'grid_graph.lua?type=2'],
  ['graph-stacked', 'graph_stacked.lua'],
  ['graph-relative', 'graph_relative.lua'],
];

export default async function run({ quenmark }) {
  const folder = process.env.QUENMARK_SCREENSHOTS;
  if (folder) mkdirSync(folder, { recursive: true });
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.setViewportSize({ width: 1100, height: 700 });
    for (const [name, path] of shots) {
      await page.goto(`${base}/${path}`);
      if (name === 'grid') {
        // Sorted by price, descending: the arrow icon shows beside the caption.
        await navigation(page, () => page.click('th a:text-is("UnitPrice")'));
        await navigation(page, () => page.click('th a:text-is("UnitPrice")'));
      }
      const image = await page.screenshot({ fullPage: name === 'grid-graph' });
      assert.ok(image.length > 10000, `${name} screenshot has content`);
      if (folder) writeFileSync(join(folder, `${name}.png`), image);
    }
  });
}
