// node map_load.mjs NODE_MODULES LOADS PAGE...: loads each map page LOADS
// times in headless Debian Chromium, each in a fresh tab with the network
// blocked, and prints for each page the median time in ms from the start
// of loading to the page's drawn signal, and each load's time.
import { pathToFileURL } from 'node:url';
import { launchChromium } from '../tests/map/launch_chromium.mjs';

const [modules, loadsText, ...pages] = process.argv.slice(2);
const loads = Number(loadsText);

const browser = await launchChromium(modules);
try {
  for (const pagePath of pages) {
    const pageUrl = pathToFileURL(pagePath).href;
    const times = [];
    for (let i = 0; i < loads; ++i) {
      const page = await browser.newPage({ viewport: { width: 1000, height: 900 } });
      await page.route('**/*', (route) =>
        route.request().url() === pageUrl ? route.continue() : route.abort());
      const started = Date.now();
      await page.goto(pageUrl);
      await page.waitForFunction(() => window.quorvaleMap && window.quorvaleMap.drawn,
                                 null, { timeout: 120000 });
      times.push(Date.now() - started);
      await page.close();
    }
    const sorted = [...times].sort((a, b) => a - b);
    console.log(`${pagePath} median_ms=${sorted[Math.floor(sorted.length / 2)]} ` +
                `loads_ms=${times.join(',')}`);
  }
} finally {
  await browser.close();
}
