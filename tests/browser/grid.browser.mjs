// The plain grid demo in a real browser: sort by a column (twice), follow a page link, type a
// new page size, and check what the page shows after each postback.
import assert from 'node:assert/strict';
import { navigation as postback, withDemoSite } from './support.mjs';

// Values of the visible grid: row numbers and the product names of the second data column.
async function gridRows(page) {
  return page.$$eval('form[name=QmkTabulon] tr', (rows) =>
    rows
      .map((tr) => Array.from(tr.querySelectorAll('td')).map((td) => td.textContent))
      .filter((cells) => cells.length === 6 && /^\d+$/.test(cells[0]))
      .map((cells) => ({ number: Number(cells[0]), id: Number(cells[1]), name: cells[2] })),
  );
}

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
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
    assert.ok(await page.isVisible('th a:text-is("▼")'), 'descending sort icon shown');

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
  });
}
