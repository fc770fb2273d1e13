// The graph demos in a real browser: bars are drawn with heights proportional to their values,
// stacked segments sit on each other, and the legend names every series.
import assert from 'node:assert/strict';
import { withDemoSite } from './support.mjs';

// Rendered height in pixels of the bar cell whose tooltip is `title`.
async function barHeight(page, title) {
  const bar = page.locator(`td[title="${title}"]`);
  assert.equal(await bar.count(), 1, `one bar titled ${title}`);
  const box = await bar.boundingBox();
  assert.ok(box, `bar ${title} is visible`);
  return box.height;
}

function assertRatio(actual, expected, what) {
  assert.ok(Math.abs(actual - expected) <= 0.05 * expected + 2, `${what}: ${actual} vs ${expected}`);
}

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.goto(`${base}/graph_plain.lua`);
    const north = await barHeight(page, 'North: 190, Q4');
    const south = await barHeight(page, 'South: 80, Q1');
    const west = await barHeight(page, 'West: 60, Q1');
    assertRatio(north / south, 190 / 80, 'North Q4 against South Q1');
    assertRatio(south / west, 80 / 60, 'South Q1 against West Q1');
    const text = await page.textContent('body');
    for (const name of ['North', 'South', 'West', 'Units sold per region']) {
      assert.ok(text.includes(name), `page shows ${name}`);
    }

    // Stacked: the segments of one column share their horizontal position and touch.
    await page.goto(`${base}/graph_stacked.lua`);
    const segments = await page.$$eval('td[title]', (cells) =>
      cells
        .filter((td) => /: -?\d/.test(td.getAttribute('title')) && td.getAttribute('bgcolor'))
        .map((td) => {
          const r = td.getBoundingClientRect();
          return { title: td.getAttribute('title'), x: Math.round(r.x), top: r.top, bottom: r.bottom };
        }),
    );
    assert.ok(segments.length >= 2, 'stacked graph has bar segments');
    const column = segments.filter((s) => s.x === segments[0].x).sort((a, b) => a.top - b.top);
    assert.ok(column.length >= 2, 'first column is made of several segments');
    for (let i = 1; i < column.length; i++) {
      assert.ok(Math.abs(column[i].top - column[i - 1].bottom) <= 3, 'segments touch');
    }
  });
}
