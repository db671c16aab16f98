// Loads a page in headless Chromium as a screen of the given size and density shows it, scrolls through
// it as a reader would (so lazy images load), and prints what the page test checks as one JSON line:
// the widths, every image's natural width and chosen copy, whether every caption shows. Also saves a
// screenshot of the first screen once everything has arrived.
// usage: node probe-page.cjs NODE_MODULES CHROMIUM PROFILE URL WIDTH HEIGHT SCALE SCREENSHOT
'use strict';
const path = require('path');
const [modules, chromium, profile, url, width, height, scale, screenshot] = process.argv.slice(2);
const puppeteer = require(path.join(modules, 'puppeteer-core'));

(async () => {
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run'],
  });
  try {
    const page = await browser.newPage();
    const w = Number(width), h = Number(height), s = Number(scale);
    await page.setViewport({width: w, height: h, deviceScaleFactor: s, isMobile: w < 600, hasTouch: w < 600});
    await page.goto(url, {waitUntil: 'load', timeout: 120000});
    // Down the page to each image in turn, staying until it has arrived: a lazy image scrolled past
    // before the browser noticed it (a busy machine) would otherwise never load.
    await page.evaluate(async () => {
      const started = Date.now();
      for (const image of Array.from(document.images)) {
        image.scrollIntoView({block: 'center'});
        while (!image.complete && Date.now() - started < 60000)
          await new Promise((r) => setTimeout(r, 50));
      }
      window.scrollTo(0, 0);
      await new Promise((r) => setTimeout(r, 300));
    });
    await page.screenshot({path: screenshot});
    const report = await page.evaluate(() => {
      const imgs = Array.from(document.images);
      const caps = Array.from(document.querySelectorAll('figcaption')).filter((c) => c.textContent);
      return {
        innerWidth: window.innerWidth,
        scrollWidth: document.documentElement.scrollWidth,
        dpr: window.devicePixelRatio,
        natural: imgs.map((i) => i.naturalWidth),
        current: imgs.map((i) => i.currentSrc.split('/').pop()),
        captionsShown: caps.every((c) => {
          const b = c.getBoundingClientRect();
          return b.width > 0 && b.height > 0 && b.left >= -1 && b.right <= window.innerWidth + 1 &&
                 getComputedStyle(c).visibility === 'visible';
        }),
      };
    });
    process.stdout.write(JSON.stringify(report) + '\n');
  } finally {
    await browser.close();
  }
})().catch((e) => {
  process.stderr.write(String(e && e.stack || e) + '\n');
  process.exit(1);
});
