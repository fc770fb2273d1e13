// The master-detail demo in a real browser: open a customer by clicking its number, open every
// customer of the page with "Show all Details", then page on to the next customers. Also the
// C++ page with totals and averages that `quenmark demo` serves.
import assert from 'node:assert/strict';
import { navigation as postback, withDemoSite } from './support.mjs';

// The group numbers of the master lines and how many detail tables are open.
async function groups(page) {
  return page.$$eval('form[name=QmkTabulon] td[nowrap] a font', (fonts) =>
    fonts.map((font) => Number(font.textContent)),
  );
}
async function openDetails(page) {
  return page.$$eval('td[bgcolor=white]', (cells) => cells.length);
}

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.goto(`${base}/grid_master_detail.lua`);
    assert.deepEqual(await groups(page), [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]);
    assert.match(await page.textContent('body'), /Page 1 of 10 \(91 recs\)/);
    assert.equal(await openDetails(page), 1, 'the first customer is open');

    // Clicking customer 3's number opens its orders right below its line, and only those.
    await postback(page, () => page.click('td[nowrap] a:has(font:text-is("3"))'));
    assert.equal(await openDetails(page), 1);
    assert.equal(await page.inputValue('input[name=curidx]'), '2');
    const opened = await page.$eval('td[nowrap] a:has(font:text-is("3"))', (a) => {
      const next = a.closest('tr').nextElementSibling;
      return next.querySelector('td[bgcolor=white]') !== null;
    });
    assert.ok(opened, "customer 3's orders follow its line");

    // Show all Details opens every customer of the page; the link turns into Collapse Details.
    await postback(page, () => page.click('a:text-is("Show all Details")'));
    assert.equal(await openDetails(page), 10);
    assert.ok(await page.isVisible('a:text-is("Collapse Details")'));

    // The next page holds the next ten customers, still all open.
    await postback(page, () => page.click('a.grid-paging:text-is("2")'));
    assert.deepEqual(await groups(page), [11, 12, 13, 14, 15, 16, 17, 18, 19, 20]);
    assert.match(await page.textContent('body'), /Page 2 of 10 \(91 recs\)/);
    assert.equal(await openDetails(page), 10);

    // The C++ page: total and average columns, the footer lines and the summary block.
    await page.goto(`${base}/grid_summaries`);
    assert.ok(await page.isVisible('th span:text-is("Total")'));
    assert.equal(await page.$$eval('td.col_footerLabel', (cells) => cells.length), 2);
    assert.match(await page.textContent('body'), /Summary:\s*Sales of all orders/);
  });
}
