// node check_map.mjs NODE_MODULES PAGE EXPECT: opens the map page from the
// file system in headless Chromium with the network blocked, and checks
// the screenshot's pixels at a deleted chunk, a chunk within the limit and
// an empty place, the table of the largest records, and that the page
// logged no script error and asked for nothing beyond its own file.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { launchChromium } from './launch_chromium.mjs';

const [modules, pagePath, expectPath, screenshotPath] = process.argv.slice(2);
const require = createRequire(modules + '/');
const { PNG } = require('pngjs');
const expect = JSON.parse(readFileSync(expectPath, 'utf8'));
const failures = [];
const fail = (what) => failures.push(what);

const browser = await launchChromium(modules);
try {
  const page = await browser.newPage({ viewport: { width: 1000, height: 900 } });
  const pageUrl = pathToFileURL(pagePath).href;
  const asked = [];
  await page.route('**/*', (route) => {
    const url = route.request().url();
    if (url === pageUrl) return route.continue();
    asked.push(url);
    return route.abort();
  });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  await page.goto(pageUrl);
  // Only a guard against a page that never draws: how fast it draws is
  // bench/map.sh's to measure.
  await page.waitForFunction(() => window.quorvaleMap && window.quorvaleMap.drawn,
                             null, { timeout: 60000 });
  const points = await page.evaluate((e) => ({
    deleted: window.quorvaleMap.pointOf(...e.deleted),
    within: window.quorvaleMap.pointOf(...e.within),
    empty: window.quorvaleMap.pointOf(...e.empty),
  }), expect);
  const shot = PNG.sync.read(await page.screenshot({ fullPage: true }));
  if (screenshotPath) {
    await page.screenshot({ path: screenshotPath, fullPage: true });
  }
  const pixel = (p) => {
    const i = (Math.round(p.y) * shot.width + Math.round(p.x)) * 4;
    return [shot.data[i], shot.data[i + 1], shot.data[i + 2]];
  };
  const [dr, dg, db] = pixel(points.deleted);
  if (!(dr > 90 && dr > dg + 60 && dr > db + 60)) fail(`deleted chunk is ${[dr, dg, db]}`);
  const [wr, wg, wb] = pixel(points.within);
  if (wr > wg + 60 && wr > wb + 60) fail(`chunk within the limit is red: ${[wr, wg, wb]}`);
  if (wr > 230 && wg > 230 && wb > 230) fail(`chunk within the limit is blank: ${[wr, wg, wb]}`);
  const empty = pixel(points.empty);
  if (empty.join() !== '244,244,244') fail(`empty place is ${empty}`);

  const rows = await page.$$eval('#largest tr', (trs) =>
    trs.slice(1).map((tr) => [...tr.children].map((td) => td.textContent)));
  const first = rows.slice(0, expect.largest.length);
  if (JSON.stringify(first) !== JSON.stringify(expect.largest) ||
      (expect.rows !== undefined && rows.length !== expect.rows)) {
    fail(`table of the largest: ${JSON.stringify(rows)}`);
  }
  if (errors.length) fail(`script errors: ${errors.join('; ')}`);
  if (asked.length) fail(`asked the network for ${asked.join(', ')}`);
} finally {
  await browser.close();
}
if (failures.length) {
  for (const f of failures) console.log('FAILED: ' + f);
  process.exit(1);
}
console.log('map checked in Chromium');
