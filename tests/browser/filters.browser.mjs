// The filter demos in a real browser: a condition typed into the inline filter row narrows the
// rows and is named below the grid; the pop-up window builds a filter of two OR-joined
// conditions and filters the grid of the page that opened it.
import assert from 'node:assert/strict';
import { navigation as postback, withDemoSite } from './support.mjs';

// The cells of the grid's data rows (rows whose first cell is a row number).
async function gridRows(page, width) {
  return page.$$eval(
    'form[name=QmkTabulon] tr',
    (rows, width) =>
      rows
        .map((tr) => Array.from(tr.querySelectorAll('td')).map((td) => td.textContent))
        .filter((cells) => cells.length === width && /^\d+$/.test(cells[0])),
    width,
  );
}

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.goto(`${base}/grid_filters.lua`);
    assert.equal((await gridRows(page, 5)).length, 10);
    await page.selectOption('select[name=search_field]', 'UnitPrice');
    await page.selectOption('select[name=search_condition]', ' > ');
    await page.fill('input[name=search_text]', '50');
    await postback(page, () => page.click('input[type=button][value=Go]'));
    assert.match(await page.textContent('body'), /Page 1 of 6 \(54 recs\)/);
    assert.match(await page.textContent('body'), /Filter\(s\): Price\s+>\s+50/);

    // A second condition adds to the first.
    await page.selectOption('select[name=search_field]', 'ProductName');
    await page.selectOption('select[name=search_condition]', " LIKE '%v%'");
    await page.fill('input[name=search_text]', 'smoked');
    await postback(page, () => page.click('input[type=button][value=Go]'));
    const rows = await gridRows(page, 5);
    assert.equal(rows.length, 2, 'two smoked products above 50');
    for (const cells of rows) {
      assert.match(cells[2], /smoked/i);
      assert.ok(Number(cells[3]) > 50, cells[3]);
    }
    assert.match(await page.textContent('body'), /Price\s+>\s+50 and Product contains 'smoked'/);

    // The pop-up window: Germany OR France.
    await page.goto(`${base}/grid_popup_filters.lua`);
    assert.match(await page.textContent('body'), /Page 1 of 83 \(830 recs\)/);
    const [popup] = await Promise.all([
      page.waitForEvent('popup'),
      page.click('a:text-is("Search")'),
    ]);
    await popup.waitForLoadState('load');
    await popup.selectOption('select[name=search_field]', '200_ShipCountry');
    await popup.selectOption('select[name=search_condition]', '=');
    await popup.fill('input[name=search_text]', 'Germany');
    await popup.click('input[value="Add Filter"]');
    await popup.check('#chk1');
    await popup.selectOption('select[name=search_field]', '200_ShipCountry');
    await popup.fill('input[name=search_text]', 'France');
    await popup.click('input[value="Add Filter"]');
    assert.equal(await popup.inputValue('textarea[name=mfilter]'),
      'Country (is equal to) Germany OR \nCountry (is equal to) France');
    await postback(page, () => popup.click('input[value=Finish]'));
    assert.match(await page.textContent('body'), /Page 1 of 22 \(219 recs\)/);
    const countries = await gridRows(page, 6);
    assert.equal(countries.length, 10);
    for (const cells of countries) assert.ok(['Germany', 'France'].includes(cells[5]), cells[5]);
    assert.match(await page.textContent('body'),
      /Filter\(s\): Country = 'Germany' OR ShipCountry = 'France'/);
  });
}
