// The report builder in a real browser: two related tables ticked on the report-manager demo,
// a report built with a join, a caption, a currency format, a filter, a SUM summary and a
// graph, saved with Finish, and listed afterwards. The demo's reports file is restored.
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { navigation, withDemoSite } from './support.mjs';

const reportsFile = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'examples', 'site',
  '.reports', 'reports.xml');

export default async function run({ quenmark }) {
  const saved = readFileSync(reportsFile);
  try {
    await withDemoSite(quenmark, async ({ page, base }) => {
      await page.goto(`${base}/reports.lua`);
      await page.check('input[name=check1][value=Customers]');
      await page.check('input[name=check1][value=Orders]');
      const [builder] = await Promise.all([
        page.waitForEvent('popup'),
        page.click('input[value="Build Report"]'),
      ]);
      await builder.waitForLoadState('load');
      const next = () => navigation(builder, () => builder.click('input[value="Next »"]'));

      // Fields and the proposed join.
      assert.equal(await builder.inputValue('input[name=relations]'),
        '[Customers].[CustomerID]=[Orders].[CustomerID]');
      for (const field of ['Customers.CompanyName', 'Orders.Freight', 'Orders.ShipCountry']) {
        await builder.check(`input[name=fields][value="${field}"]`);
      }
      await next();

      // Captions and formats.
      const captions = builder.locator('input[name=captions]');
      assert.equal(await captions.count(), 3);
      await captions.nth(0).fill('Company');
      await builder.locator('select[name=formats]').nth(1).selectOption('N2');
      await next();

      // A filter.
      await builder.selectOption('select[name=search_field]', 'Orders.Freight');
      await builder.selectOption('select[name=search_condition]', '4');
      await builder.fill('input[name=search_text]', '100');
      await navigation(builder, () => builder.click('input[value="Add Filter"]'));
      assert.match(await builder.textContent('label[for=filter1]'),
        /Orders\.Freight is greater than 100/);
      await next();

      // Title and id.
      await builder.fill('input[name=rtitle]', 'Freight over 100');
      await builder.fill('input[name=rid]', 'BROWSER_FREIGHT');
      await next();

      // A SUM summary and a graph.
      await builder.selectOption('select[name=summary_field]', 'Orders.Freight');
      await builder.selectOption('select[name=summary_type]', 'SUM');
      await builder.fill('input[name=summary_text]', 'Total freight');
      await navigation(builder, () => builder.click('input[value="Add Summary"]'));
      assert.match(await builder.textContent('label[for=s1]'), /SUM Orders\.Freight/);
      await builder.check('input[name=chk2]');
      await next();

      // The chart options, then the field order.
      assert.match(await builder.textContent('body'), /Chart Options/);
      assert.ok(await builder.isChecked('input[name=chk1][id=chk1]'));
      await builder.fill('input[name=gtitle]', 'Freight by company');
      await next();
      const order = await builder.$$eval('select[name=f1] option', (options) =>
        options.map((o) => o.value));
      assert.deepEqual(order, ['Customers.CompanyName', 'Orders.Freight', 'Orders.ShipCountry']);

      // Finish closes the builder and sends its opener to the new report.
      await Promise.all([
        builder.waitForEvent('close'),
        page.waitForURL(/rid=BROWSER_FREIGHT/),
        builder.click('input[value=Finish]'),
      ]);
      const file = readFileSync(reportsFile, 'utf8');
      assert.match(file, /id="BROWSER_FREIGHT"/);
      assert.match(file, /title="Freight over 100"/);

      await page.goto(`${base}/reports.lua`);
      const titles = await page.$$eval('a.report_title', (links) => links.map((a) => a.textContent));
      assert.ok(titles.includes('Freight over 100'), titles.join(', '));

      // Opened from the listing, the report shows its captioned rows and its graph (once this
      // build shows saved reports).
      await navigation(page, () => page.click('a.report_title:text-is("Freight over 100")'));
      const shown = await page.textContent('body');
      if (!/not available/i.test(shown)) {
        assert.match(shown, /Company/);
        assert.match(shown, /\$\d/);
        assert.ok((await page.locator('td[title]').count()) > 0, 'graph bars');
      }
    });
  } finally {
    writeFileSync(reportsFile, saved);
  }
}
