// Graph geometry in a real browser: in the stacked, relative and negative demos the tick marks,
// the grid lines, the scale labels and the bar ends agree within 1 px, and relative stacks end
// at the 100% line. Browsers give a table cell's height attribute to its content box, so a
// bordered cell grows by its border; the demo style sheet makes cells border-box (style.css).
// Also: the grid's graph keeps its kind across postbacks.
import assert from 'node:assert/strict';
import { navigation, withDemoSite } from './support.mjs';

const kTolerance = 1.01;

// Every graph of the page: its ticks, grid lines, labels and bars, in page pixels.
function measureGraphs(page) {
  return page.$$eval('table[cellspacing="0"][cellpadding="4"]', (roots) =>
    roots.map((root) => {
      const box = (e) => e.getBoundingClientRect();
      const cells = (selector) => Array.from(root.querySelectorAll(selector));
      const ticks = cells('td[style*="border-top:1px solid"]').map((td) => box(td).top);
      const lines = cells('td[style*="1px dotted"], div[style*="1px dotted"]').map((e) =>
        e.getAttribute('style').includes('border-top') ? box(e).top : box(e).bottom,
      );
      const labels = cells('td[align=right][valign=bottom]').map((td) => ({
        value: Number(td.textContent.replace('%', '').trim()),
        bottom: box(td).bottom,
      }));
      const bars = cells('td[bgcolor][title]').map((td) => {
        const title = td.getAttribute('title');
        return {
          title,
          value: Number(title.match(/: (-?[\d.]+)/)[1]),
          x: Math.round(box(td).x),
          top: box(td).top,
          bottom: box(td).bottom,
        };
      });
      return { ticks, lines, labels, bars };
    }),
  );
}

function near(actual, expected, what) {
  assert.ok(Math.abs(actual - expected) <= kTolerance, `${what}: ${actual} against ${expected}`);
}

// Checks one graph whose scale has no ticks below zero (all demos here).
function checkGraph(graph, name, { relative = false } = {}) {
  const { ticks, labels, lines, bars } = graph;
  assert.ok(ticks.length >= 2, `${name}: tick marks found`);
  const step = ticks[1] - ticks[0];
  for (let i = 1; i < ticks.length; i++) near(ticks[i] - ticks[i - 1], step, `${name}: tick ${i} spacing`);
  const zero = ticks[ticks.length - 1] + step;
  const levels = [...ticks, zero];

  // Labels: the first names the top line, then one per step down to zero (and below).
  const top = labels[0];
  near(top.bottom, ticks[0], `${name}: top label ${top.value}`);
  for (let i = 1; i < labels.length; i++) {
    near(labels[i].bottom, ticks[0] + i * step, `${name}: label ${labels[i].value}`);
  }
  const zeroLabel = labels.find((l) => l.value === 0);
  assert.ok(zeroLabel, `${name}: a 0 label`);
  near(zeroLabel.bottom, zero, `${name}: 0 label against the zero line`);

  // Grid lines above zero lie on tick levels; below zero they lie on label levels.
  for (const y of lines) {
    const onLevel = levels.some((level) => Math.abs(level - y) <= kTolerance) ||
      labels.some((l) => Math.abs(l.bottom - y) <= kTolerance) ||
      bars.some((b) => Math.abs(b.top - y) <= kTolerance || Math.abs(b.bottom - y) <= kTolerance);
    assert.ok(onLevel, `${name}: grid line at ${y} lies on no tick, label or bar end`);
  }

  // Bars: each column's positive stack ends at its total on the scale, negatives hang below.
  const pixelsPerUnit = (zero - ticks[0]) / top.value;
  const columns = new Map();
  for (const bar of bars) columns.set(bar.x, [...(columns.get(bar.x) ?? []), bar]);
  for (const [x, column] of columns) {
    const positive = column.filter((b) => b.value > 0);
    const negative = column.filter((b) => b.value < 0);
    if (positive.length) {
      const total = positive.reduce((sum, b) => sum + b.value, 0);
      const stackTop = Math.min(...positive.map((b) => b.top));
      near(stackTop, zero - total * pixelsPerUnit, `${name}: top of the bars at x=${x} (${total})`);
      near(Math.max(...positive.map((b) => b.bottom)), zero, `${name}: bars at x=${x} stand on zero`);
      if (relative) near(stackTop, ticks[0], `${name}: relative stack at x=${x} ends at 100%`);
    }
    if (negative.length) {
      const total = negative.reduce((sum, b) => sum - b.value, 0);
      near(Math.max(...negative.map((b) => b.bottom)), zero + total * pixelsPerUnit + 1,
        `${name}: bottom of the negative bars at x=${x} (-${total})`);
    }
  }
}

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.setViewportSize({ width: 1100, height: 800 });
    for (const [file, options] of [
      ['graph_stacked.lua', {}],
      ['graph_relative.lua', { relative: true }],
      ['graph_negative.lua', {}],
      ['graph_plain.lua', {}],
    ]) {
      await page.goto(`${base}/${file}`);
      const graphs = await measureGraphs(page);
      assert.ok(graphs.length >= 1, `${file} draws a graph`);
      graphs.forEach((graph, i) => checkGraph(graph, `${file} graph ${i + 1}`, options));
    }

    // The grid's graph keeps the kind picked by a link when the grid posts back (a sort).
    await page.goto(`${base}/grid_graph.lua`);
    await navigation(page, () => page.click('a:text-is("relative")'));
    assert.ok(await page.isVisible('i:text-is("100%")'), 'relative graph after the link');
    await navigation(page, () => page.click('th a:text-is("InStock")'));
    assert.equal(await page.inputValue('input[name=sort]'), '2');
    assert.ok(await page.isVisible('i:text-is("100%")'), 'still relative after sorting');
    const [graph] = await measureGraphs(page);
    checkGraph(graph, 'grid_graph.lua relative', { relative: true });
  });
}
