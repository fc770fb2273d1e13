// The report-manager demo in a real browser: the saved reports listed by group beside the
// catalogue, the group form opened from a heading, a saved report opened with its password,
// sorted, paged and exported to CSV, and the reports and locale files refused to the browser. The demo's files
// are only read here, never changed.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { navigation, withDemoSite } from './support.mjs';

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.goto(`${base}/reports.lua`);
    const headings = await page.$$eval('td.group_title', (cells) =>
      cells.map((td) => td.textContent.trim()));
    assert.deepEqual(headings, ['General Reports', 'Sales', 'Stock']);
    const stock = await page.$$eval('a.report_title', (links) => links.map((a) => a.textContent));
    assert.ok(stock.includes('Products running low'), stock.join(', '));
    assert.ok(await page.isVisible('input[type=checkbox][name=check1][value=Products]'));
    assert.match(await page.textContent('th.header_cell'), /Tables/);

    // A group heading opens the group form filled with the group.
    await navigation(page, () => page.click('a.group_title:text-is("Sales")'));
    assert.equal(await page.inputValue('input[name=gn]'), 'Sales');
    assert.equal(await page.inputValue('input[name=gi]'), 'SALES');

    // A saved report with a password: the answer opens it, its grid sorts and pages through
    // the report page's own form, and Home leads back to the list.
    await page.goto(`${base}/reports.lua`);
    await navigation(page, () => page.click('a.report_title:text-is("Supplier contacts")'));
    assert.match(await page.textContent('blockquote'), /This report requires a password/);
    await page.fill('input[name=pwd]', 'demo');
    await navigation(page, () => page.click('#submit1'));
    assert.equal(await page.textContent('td.report_title'), 'Supplier contacts');
    const supplierNames = () =>
      page.$$eval('table.grid tr.item td:nth-child(2), table.grid tr.alt_item td:nth-child(2)',
        (cells) => cells.map((td) => td.textContent));
    const first = await supplierNames();
    assert.equal(first.length, 10, first.join(', '));
    await navigation(page, () => page.click('a.header_link:text-is("Supplier")'));
    const sorted = await supplierNames();
    assert.deepEqual(sorted, [...sorted].sort((a, b) => a.localeCompare(b)), sorted.join(', '));
    assert.equal(await page.textContent('td.report_title'), 'Supplier contacts');
    await navigation(page, () => page.click('a.paging_link:text-is("2")'));
    const second = await supplierNames();
    assert.ok(second.length > 0 && !second.includes(sorted[0]), second.join(', '));
    assert.ok(second[0].localeCompare(sorted[sorted.length - 1]) >= 0, second.join(', '));
    // The report's CSV button downloads every row of the report, in the sort chosen.
    const [download] = await Promise.all([
      page.waitForEvent('download'),
      page.click('a.paging_link:text-is("CSV")'),
    ]);
    assert.match(download.suggestedFilename(), /\.csv$/);
    const lines = readFileSync(await download.path(), 'utf8').split('\r\n').filter((l) => l);
    assert.ok(lines.length > first.length + 1, `every supplier is exported (${lines.length})`);
    assert.ok(lines.some((line) => line.includes(`"${sorted[0]}"`)), lines[1]);
    assert.equal(await page.textContent('td.report_title'), 'Supplier contacts');
    await navigation(page, () => page.click('a.link_button:text-is("Home")'));
    assert.ok(await page.isVisible('a.report_title:text-is("Supplier contacts")'));

    // The files behind the page are never served.
    for (const path of ['/.reports/reports.xml', '/.locale/locale_de.xml']) {
      const reply = await page.request.get(`${base}${path}`);
      assert.equal(reply.status(), 404, path);
    }

    // A German browser gets the German texts.
    await page.setExtraHTTPHeaders({ 'Accept-Language': 'de-DE,de;q=0.9' });
    await page.goto(`${base}/reports.lua`);
    const german = await page.$$eval('th.header_cell', (cells) => cells.map((th) => th.textContent));
    assert.ok(german.includes('Berichte') && german.includes('Tabellen'), german.join(', '));
  });
}
