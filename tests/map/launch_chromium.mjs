// Debian's Chromium, headless and kept off the network, as the map's test
// and its benchmark drive it.
import { createRequire } from 'node:module';

export async function launchChromium(modules) {
  const require = createRequire(modules + '/');
  const { chromium } = require('playwright-core');
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
           '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
}
