// A gallery made with 縮小画像を作成する: the list shows Mivo's small thumbnails (2x on dense
// screens), the picture view the display copy, and the download link reaches the original.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { awkwardNames, makeGallery } from './lib/fixtures.mjs';
import { fillPictureFolder, listingOrder } from './lib/gallery.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';

let workspace;
let server;
let browser;
let gallery;
let camera;

/** Makes a single-mode gallery of `pics` with reduced copies into site/`name`; its folder. */
function makeWithCopies(root, name, pics, html) {
  return makeGallery(root, name, (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, Reduce: 1, ...html },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  }));
}

function buildReducedGallery({ root, sources }) {
  const pics = join(root, 'album', 'pics');
  const filled = fillPictureFolder(pics, null, awkwardNames.slice(0, 4), sources);
  // One camera-sized picture, so that the display copy is really smaller than the original.
  const big = join(pics, 'big.jpg');
  const made = spawnSync('/usr/bin/convert', ['-size', '3000x2000', 'plasma:fractal', big]);
  assert.equal(made.status, 0, 'convert makes the large picture');
  filled.push({ name: 'big.jpg', width: 3000, height: 2000 });
  const names = listingOrder(filled.map((p) => p.name));
  const out = makeWithCopies(root, 'reduced', pics, { Title: 'Reduced', TitleS: 'copies', THeight: 120, LWidth: 4 });
  return { out, pics, names, big: names.indexOf('big.jpg'), originalBytes: statSync(big).size };
}

// 300 camera pictures, each far heavier than anything the list should fetch on its first load.
function buildCameraGallery({ root }, count = 300) {
  const pics = join(root, 'camera', 'pics');
  mkdirSync(pics, { recursive: true });
  const base = join(root, 'camera', 'base.jpg');
  const made = spawnSync('/usr/bin/convert', ['-seed', '7', '-size', '1800x1200', 'plasma:fractal', '-quality', '92', base]);
  assert.equal(made.status, 0, 'convert makes the camera picture');
  for (let i = 1; i <= count; i++) copyFileSync(base, join(pics, `IMG_${String(i).padStart(4, '0')}.jpg`));
  const out = makeWithCopies(root, 'camera', pics, { Title: 'Camera', TitleS: '300', THeight: 160, LWidth: 5 });
  return { out, count, pictureBytes: statSync(base).size };
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    gallery = buildReducedGallery(ws);
    camera = buildCameraGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

describe('a gallery with reduced copies over http', () => {
  test('the list loads only the small thumbnails, at 2x on a dense screen', async () => {
    const url = addressing('http', server);
    for (const scale of [1, 2]) {
      const dense = await browser.newContext({ viewport: { width: 1280, height: 800 }, deviceScaleFactor: scale });
      const view = await dense.newPage();
      const requested = [];
      view.on('request', (request) => requested.push(decodeURIComponent(new URL(request.url()).pathname)));
      try {
        await view.goto(url(join(gallery.out, 'list.html')));
        const images = await waitUntil(async () => {
          const all = await view.$$eval('img', (list) => list.map((img) => ({
            src: img.getAttribute('src'),
            current: img.currentSrc,
            width: img.getAttribute('width'),
            natural: img.naturalWidth,
            complete: img.complete,
          })));
          return all.length === gallery.names.length && all.every((i) => i.complete && i.natural > 0) ? all : null;
        }, { describe: 'every thumbnail loaded' });
        for (const image of images) {
          assert.match(image.src, /^\.\/thumbs\/[^/]+$/, 'a thumbnail of Mivo');
          // A 2x candidate reports its density-corrected size: the same as the tag's.
          assert.equal(Number(image.width), image.natural, 'the tag carries the thumbnail size');
          assert.match(image.current, scale === 2 ? /\/thumbs\/2x\// : /\/thumbs\/(?!2x)/);
        }
        assert.deepEqual(requested.filter((path) => path.includes('/album/pics/')), [], 'no original is loaded by the list');
      } finally {
        await dense.close();
      }
    }
  });

  test('the picture view shows the display copy and its download link reaches the original', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser);
    try {
      await page.goto(url(join(gallery.out, 'pict.html')) + `#no=${gallery.big}`);
      const shown = await waitUntil(async () => {
        const photo = await page.$eval('#photo', (img) => ({ src: img.currentSrc, natural: img.naturalWidth, placeholder: img.classList.contains('placeholder') }));
        return !photo.placeholder && photo.natural > 0 ? photo : null;
      }, { describe: 'the picture is shown' });
      assert.match(shown.src, /\/view\/big\.jpg$/);
      assert.equal(shown.natural, 2048);
      const link = await page.$eval('#original', (a) => ({ href: a.href, hidden: a.hidden, download: a.hasAttribute('download') }));
      assert.equal(link.hidden, false);
      assert.equal(link.download, true);
      assert.match(decodeURIComponent(new URL(link.href).pathname), /\/album\/pics\/big\.jpg$/);
      const size = await page.evaluate(async (href) => (await (await fetch(href)).arrayBuffer()).byteLength, link.href);
      assert.equal(size, gallery.originalBytes);
      assertNoProblems(page, 'picture view');
    } finally {
      await page.closeAll();
    }
  });
});

describe('a 300-picture camera gallery with reduced copies', () => {
  test('on a throttled phone the first screen of thumbnails is asked for with the index page, before the list page could ask for it', async () => {
    const url = addressing('http', server);
    const context = await browser.newContext({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
    const view = await context.newPage();
    try {
      const cdp = await context.newCDPSession(view);
      await cdp.send('Network.enable');
      // A slow phone line: 300 ms round trips, 1.6 Mbit/s down.
      await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 300, downloadThroughput: 200_000, uploadThroughput: 90_000 });
      const asked = [];
      view.on('request', (r) => asked.push({ url: r.url(), frame: r.frame(), type: r.resourceType(), at: Date.now() }));
      await view.goto(url(join(camera.out, 'index.html')));
      const list = await waitUntil(() => view.frames().find((f) => /list\.html#embed/.test(f.url())), { describe: 'the list frame' });
      await list.waitForLoadState('load');
      await waitUntil(() => list.evaluate(() => [...document.images].filter((img) => {
        const r = img.getBoundingClientRect();
        return r.bottom > 0 && r.top < innerHeight && !(img.complete && img.naturalWidth > 0);
      }).length === 0), { timeout: 20_000, describe: 'the first screen of thumbnails arrives' });
      // The list page asks for a thumbnail only once its rows have arrived and been laid out:
      // its own first image request is when that happens, on a slow line 2 round trips and
      // more after the index page. (Its document "finished loading" is no mark: the rows of a
      // long list are laid out while the rest of it is still on its way.)
      const listAsked = Math.min(...asked.filter((r) => r.frame === list && r.type === 'image').map((r) => r.at));
      const starts = {};
      for (const r of asked) starts[r.url] = Math.min(starts[r.url] ?? Infinity, r.at);
      const firstScreen = await list.evaluate(() => [...document.images].filter((img) => {
        const r = img.getBoundingClientRect();
        return r.bottom > 0 && r.top < innerHeight;
      }).map((img) => img.currentSrc));
      assert.ok(firstScreen.length >= 6, `the first screen holds thumbnails (${firstScreen.length})`);
      const late = firstScreen.filter((src) => !(starts[src] < listAsked - 100)).map((src) => `${src.replace(/^.*\//, '')} ${Math.round(starts[src] - listAsked)} ms`);
      assert.deepEqual(late, [], 'every thumbnail of the first screen was asked for well before the list page could ask for it');
    } finally {
      await context.close();
    }
  });

  test('its list view loads under 1 MB on a desktop screen and on a dense phone screen', async (t) => {
    const url = addressing('http', server);
    const screens = [
      { name: 'desktop', viewport: { width: 1366, height: 768 }, deviceScaleFactor: 1 },
      { name: 'phone', viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true },
    ];
    for (const { name, ...screen } of screens) {
      const context = await browser.newContext(screen);
      const view = await context.newPage();
      const finished = [];
      view.on('requestfinished', (request) => finished.push(request));
      try {
        await view.goto(url(join(camera.out, 'index.html')));
        await view.waitForLoadState('networkidle');
        // Let the lazily loaded thumbnails in view (and the browser's margin) arrive too.
        await view.waitForTimeout(500);
        await view.waitForLoadState('networkidle');
        let bytes = 0;
        let pictures = 0;
        for (const request of finished) {
          const sizes = await request.sizes();
          bytes += sizes.responseBodySize + sizes.responseHeadersSize;
          if (/\.(jpg|webp)$/i.test(new URL(request.url()).pathname)) pictures += 1;
          assert.doesNotMatch(decodeURIComponent(request.url()), /\/camera\/pics\//, `${name}: no original is loaded`);
        }
        t.diagnostic(`${name}: ${bytes} bytes, ${pictures} pictures`);
        assert.ok(pictures > 0, `${name}: thumbnails were loaded`);
        assert.ok(bytes < 1_000_000, `${name}: the first load took ${bytes} bytes for ${pictures} thumbnails (one original is ${camera.pictureBytes})`);
      } finally {
        await context.close();
      }
    }
  });
});
