// Checks a kmbrep 3D page in headless Chromium: it loads with no console
// errors and no network, the canvas shows the model in the model's colours,
// a part is named under the pointer, and the edges switch off.
// Usage: node scripts/check-view.js PAGE.html [SCREENSHOT.png]
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const BACKGROUND = [244, 244, 240];

function fail(message) {
  console.error(`check-view: ${message}`);
  process.exitCode = 1;
}

// Hue in degrees and saturation of an RGB colour (0..255 or 0..1 alike).
function hueSat(r, g, b) {
  const max = Math.max(r, g, b), min = Math.min(r, g, b);
  const sat = max > 0 ? (max - min) / max : 0;
  if (max === min) return [0, 0];
  let h;
  if (max === r) h = ((g - b) / (max - min)) % 6;
  else if (max === g) h = (b - r) / (max - min) + 2;
  else h = (r - g) / (max - min) + 4;
  return [(h * 60 + 360) % 360, sat];
}

// What the page shows: decoded in the page itself from a screenshot.
async function pixels(page) {
  const png = await page.screenshot({ encoding: 'base64' });
  return page.evaluate(async (b64, bg) => {
    const img = new Image();
    img.src = 'data:image/png;base64,' + b64;
    await img.decode();
    const c = document.createElement('canvas');
    c.width = img.width;
    c.height = img.height;
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    const model = [];
    let dark = 0;
    const bar = document.getElementById('bar').getBoundingClientRect();
    for (let y = 0; y < c.height; y += 2) {
      for (let x = 0; x < c.width; x += 2) {
        if (x <= bar.right && y <= bar.bottom) continue;
        const i = 4 * (y * c.width + x);
        const rgb = [d[i], d[i + 1], d[i + 2]];
        if (Math.abs(rgb[0] - bg[0]) + Math.abs(rgb[1] - bg[1]) + Math.abs(rgb[2] - bg[2]) < 24) continue;
        if (Math.max(...rgb) < 90) ++dark;
        model.push([x, y, rgb]);
      }
    }
    return { width: c.width, height: c.height, model, dark };
  }, png, BACKGROUND);
}

(async () => {
  const file = path.resolve(process.argv[2]);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kmbrep-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 960, height: 640 });
    const problems = [];
    page.on('console', (m) => { if (m.type() === 'error') problems.push(`console error: ${m.text()}`); });
    page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
    await page.setRequestInterception(true);
    page.on('request', (r) => {
      if (/^(file|data|blob):/.test(r.url())) return r.continue();
      problems.push(`network request: ${r.url()}`);
      return r.abort();
    });
    await page.goto('file://' + file, { waitUntil: 'load' });
    await page.waitForFunction('window.kmbrepView && window.kmbrepView.ready', { timeout: 60000 });
    const parts = await page.evaluate(() => window.kmbrepView.parts);
    // The model's colours, from the page's materials.
    const colours = await page.evaluate(() => {
      const out = [];
      for (const o of window.kmbrepView.meshes()) out.push(o.material.color.clone().convertLinearToSRGB().toArray());
      return out;
    });

    const shown = await pixels(page);
    if (process.argv[3]) fs.writeFileSync(process.argv[3], await page.screenshot());
    const share = shown.model.length / ((shown.width / 2) * (shown.height / 2));
    console.log(`${path.basename(file)}: ${parts.length} parts, ${(share * 100).toFixed(1)}% of the canvas shows the model`);
    if (share < 0.02) fail('the canvas does not show the model');

    // Every saturated colour of the model shows in some pixel of its hue.
    const hues = shown.model.map((p) => hueSat(...p[2])).filter((h) => h[1] > 0.25).map((h) => h[0]);
    let missing = 0, saturated = 0;
    for (const c of colours) {
      const [h, s] = hueSat(...c);
      if (s < 0.25) continue;
      ++saturated;
      const near = hues.filter((x) => Math.min(Math.abs(x - h), 360 - Math.abs(x - h)) < 15).length;
      if (near < 20) ++missing;
    }
    console.log(`  ${saturated - missing} of ${saturated} model colours seen`);
    if (saturated === 0 || missing > 0) fail('the model\'s colours are not on the canvas');

    // The pointer on a pixel of the model names a part.
    // A pixel well inside the model, away from outlines.
    const inside = new Set(shown.model.map((p) => `${p[0]},${p[1]}`));
    const target = shown.model.find((p) => hueSat(...p[2])[1] > 0.4 &&
      [[-6, 0], [6, 0], [0, -6], [0, 6]].every(([dx, dy]) => inside.has(`${p[0] + dx},${p[1] + dy}`)));
    if (!target) {
      fail('no pixel of the model to point at');
    } else {
      await page.mouse.move(target[0], target[1]);
      const tip = await page.$eval('#tip', (e) => (e.style.display === 'none' ? '' : e.textContent));
      console.log(`  pointer at (${target[0]}, ${target[1]}): "${tip}"`);
      if (!parts.includes(tip)) fail('the part under the pointer is not named');
    }

    // Edges off leaves fewer dark pixels; Fit keeps the model in view.
    await page.click('#edges');
    const noEdges = await pixels(page);
    console.log(`  dark pixels with edges ${shown.dark}, without ${noEdges.dark}`);
    if (!(noEdges.dark < shown.dark)) fail('switching the edges off changed nothing');
    await page.click('#fit');
    if ((await pixels(page)).model.length < shown.model.length / 2) fail('Fit lost the model');

    for (const p of problems) fail(p);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})().catch((e) => {
  fail(e.stack || String(e));
  process.exit(2);
});
