// WebP thumbnails: a browser that shows WebP loads them and never the JPEG ones, on the list
// page and through the index page; a transparent picture's WebP thumbnail lets the page colour
// through in dark colours; and axe-core finds nothing.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { axeFindings } from './lib/axe.mjs';
import { watchedPage } from './lib/browser.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';

let workspace;
let server;
let browser;
let gallery;

function run(program, args) {
  const made = spawnSync(program, args, { encoding: 'utf8' });
  assert.equal(made.status, 0, `${program} ${args.join(' ')}: ${made.stderr}`);
}

// A photo and a transparent sticker, with reduced copies and the media option.
function buildGallery({ root }) {
  const pics = join(root, 'webp', 'pics');
  mkdirSync(pics, { recursive: true });
  run('/usr/bin/convert', ['-size', '640x480', 'plasma:', join(pics, 'a-photo.jpg')]);
  run('/usr/bin/convert', ['-size', '400x400', 'xc:none', '-fill', 'red', '-draw', 'circle 200,200 200,320', join(pics, 's-sticker.png')]);
  return makeGallery(root, 'webp', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: 'WebP', TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, THeight: 160, LWidth: 4, Reduce: 1, Media: 1 },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  }));
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    gallery = buildGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

// The thumbnails the list shows: each one's name and the file it shows.
function shownThumbnails() {
  const imgs = [...document.querySelectorAll('#grid img')];
  return imgs.every((i) => i.complete && i.naturalWidth > 0) ? imgs.map((i) => [i.alt, i.currentSrc]) : null;
}

describe('WebP thumbnails', () => {
  test('the list loads the WebP thumbnails, by itself and inside the index page, and no JPEG one', async () => {
    const url = addressing('http', server);
    for (const file of ['list.html', 'index.html']) {
      const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 } });
      const thumbRequests = [];
      page.on('request', (r) => { if (/\/thumbs\//.test(r.url())) thumbRequests.push(decodeURI(r.url())); });
      try {
        await page.goto(url(join(gallery, file)));
        const list = await waitUntil(() => page.frames().find((f) => /list\.html/.test(f.url())), { describe: 'the list' });
        const shown = await waitUntil(() => list.evaluate(shownThumbnails), { describe: `${file}: the thumbnails load` });
        assert.deepEqual(shown.map(([name, src]) => [name, src.replace(/^.*\/thumbs\//, 'thumbs/')]), [
          ['a-photo', 'thumbs/a-photo.jpg.webp'],
          ['s-sticker', 'thumbs/s-sticker.png.jpg.webp'],
        ]);
        await page.waitForTimeout(300);
        assert.ok(thumbRequests.length > 0, `${file}: thumbnails were asked for`);
        assert.deepEqual(thumbRequests.filter((u) => !u.endsWith('.webp')), [], `${file}: no JPEG thumbnail is asked for`);
        assertNoProblems(page, file);
      } finally {
        await page.closeAll();
      }
    }
  });

  test('the transparent sticker shows the page colour through it in dark colours', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark' });
    try {
      await page.goto(url(join(gallery, 'list.html')));
      await waitUntil(() => page.evaluate(shownThumbnails), { describe: 'the thumbnails load' });
      const sticker = await page.$('#grid img[alt="s-sticker"]');
      const shot = (await sticker.screenshot()).toString('base64');
      // The screenshot read back in the page, beside the colour behind the thumbnail.
      const seen = await page.evaluate(async (png) => {
        const im = new Image();
        im.src = `data:image/png;base64,${png}`;
        await im.decode();
        const canvas = document.createElement('canvas');
        canvas.width = im.naturalWidth;
        canvas.height = im.naturalHeight;
        const context = canvas.getContext('2d');
        context.drawImage(im, 0, 0);
        const at = (x, y) => [...context.getImageData(x, y, 1, 1).data].slice(0, 3);
        let el = document.querySelector('#grid img[alt="s-sticker"]').parentElement;
        let behind = 'rgba(0, 0, 0, 0)';
        while (el && /^(transparent|rgba\(0, 0, 0, 0\))$/.test(behind)) {
          behind = getComputedStyle(el).backgroundColor;
          el = el.parentElement;
        }
        return { corner: at(2, 2), centre: at(im.naturalWidth / 2, im.naturalHeight / 2), behind: behind.match(/\d+/g).slice(0, 3).map(Number) };
      }, shot);
      for (let c = 0; c < 3; c++) {
        assert.ok(Math.abs(seen.corner[c] - seen.behind[c]) <= 6, `the page colour where the sticker is clear (${seen.corner} over ${seen.behind})`);
      }
      assert.ok(seen.behind.every((v) => v < 100), `a dark page (${seen.behind})`);
      assert.ok(seen.centre[0] > 200 && seen.centre[1] < 60, `the sticker itself (${seen.centre})`);
      assertNoProblems(page, 'the sticker');
    } finally {
      await page.closeAll();
    }
  });

  test('axe-core finds nothing on the list and the index page in dark colours', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark', reducedMotion: 'reduce' });
    try {
      const found = [];
      for (const file of ['list.html', 'index.html']) {
        await page.goto(url(join(gallery, file)));
        await waitUntil(() => page.evaluate(() => document.readyState === 'complete'), { describe: `${file} loads` });
        await page.waitForTimeout(300);
        for (const line of await axeFindings(page)) found.push(`${file}: ${line}`);
      }
      assert.deepEqual(found, []);
      assertNoProblems(page, 'axe');
    } finally {
      await page.closeAll();
    }
  });
});
