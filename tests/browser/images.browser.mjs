// The image-column demo in a real browser: every photo cell loads as a picture, and an address
// whose token was altered is refused.
import assert from 'node:assert/strict';
import { withDemoSite } from './support.mjs';

export default async function run({ quenmark }) {
  await withDemoSite(quenmark, async ({ page, base }) => {
    await page.goto(`${base}/grid_images.lua`, { waitUntil: 'load' });
    const images = await page.$$eval('form[name=QmkTabulon] td img', (imgs) =>
      imgs.map((img) => ({ src: img.src, complete: img.complete, width: img.naturalWidth })),
    );
    assert.equal(images.length, 9, 'one picture per employee');
    for (const image of images) {
      assert.ok(image.complete && image.width > 0, `picture loaded: ${image.src}`);
    }

    const forged = images[0].src.replace(/.$/, (c) => (c === 'A' ? 'B' : 'A'));
    const refused = await page.evaluate(async (url) => (await fetch(url)).status, forged);
    assert.equal(refused, 403);
  });
}
