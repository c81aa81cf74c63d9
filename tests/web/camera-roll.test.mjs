// A camera roll as a visitor sees it, beyond the phone roll's checks: the list fills a
// desktop window with pictures even without copies (20 and more above the fold at 1366x768
// with a fresh Mivo.ini, more columns on a wider window), a video's length sits on its
// picture's corner in the fitted layout too, a transparent sticker shows on a neutral checker
// in light colours, the viewer offers the original video as a video, and axe-core finds
// nothing on the fitted list.
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import {
  assertBadgeOnPicture,
  assertStickerOnChecker,
  axeOnPages,
  convert,
  ffmpeg,
  listFrame,
  openViewer,
  readBadges,
  readList,
  readSticker,
  rollSettings,
} from './lib/roll.mjs';
import { closeSession, openSession } from './lib/session.mjs';

let workspace;
let server;
let browser;
let roll;
let fitted;
let plain;

// A phone's folder: photos, a transparent sticker, a landscape video and one held upright.
function buildRoll({ root }) {
  const pics = join(root, 'roll', 'pics');
  mkdirSync(pics, { recursive: true });
  for (const [i, colour] of ['teal', 'orange', 'navy'].entries()) {
    convert(['-size', '640x480', `xc:${colour}`, join(pics, `a-photo${i + 1}.jpg`)]);
  }
  convert(['-size', '400x400', 'xc:none', '-fill', 'red', '-draw', 'circle 200,200 200,320', join(pics, 's-sticker.png')]);
  const land = join(pics, 'v-land.mp4');
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25', '-t', '2', '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-movflags', '+faststart', land]);
  // ffmpeg writes the rotation of a phone held upright only when it copies the stream.
  ffmpeg(['-i', land, '-c', 'copy', '-metadata:s:v:0', 'rotate=90', join(pics, 'w-stand.mp4')]);
  const make = (name, columns) => makeGallery(root, name, rollSettings(pics, { LWidth: columns, Reduce: 1, Media: 1 }));
  return { columns: make('roll', 4), fit: make('roll-fit', 0) };
}

// 60 photos with every setting as a fresh Mivo.ini has it (no copies, box 160x160, 4 columns).
function buildPlain({ root }) {
  const pics = join(root, 'plain', 'pics');
  mkdirSync(pics, { recursive: true });
  const base = join(root, 'plain', 'base.jpg');
  convert(['-size', '800x600', 'plasma:', base]);
  for (let i = 1; i <= 60; i++) copyFileSync(base, join(pics, `IMG_${String(i).padStart(4, '0')}.jpg`));
  return makeGallery(root, 'plain', rollSettings(pics, { LWidth: 4 }));
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    ({ columns: roll, fit: fitted } = buildRoll(ws));
    plain = buildPlain(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

describe('a camera roll on a desktop and a phone', () => {
  test('at least 20 pictures above the fold at 1366x768 with the default settings; a wider window gets more columns, not margins', async (t) => {
    const url = addressing('http', server);
    const seen = {};
    for (const [width, height] of [[1366, 768], [1920, 1080]]) {
      const page = await watchedPage(browser, { viewport: { width, height } });
      try {
        for (const file of ['list.html', 'index.html']) {
          await page.goto(url(join(plain, file)));
          const list = await listFrame(page);
          await list.waitForLoadState('load');
          const shown = await list.evaluate(readList);
          seen[`${file} ${width}`] = shown;
          assert.equal(shown.unfilled, 0, `${file} at ${width}: every thumbnail fills its cell`);
          if (width === 1366) assert.ok(shown.whole >= 20, `${file} at 1366x768: ${shown.whole} pictures wholly above the fold`);
          assert.ok(shown.gridWidth >= width - 100, `${file} at ${width}: the grid takes the window's width (${shown.gridWidth})`);
        }
        assertNoProblems(page, `the list at ${width}`);
      } finally {
        await page.closeAll();
      }
    }
    t.diagnostic(Object.entries(seen).map(([k, v]) => `${k}: ${v.whole} whole, ${v.columns} columns`).join('; '));
    assert.ok(seen['list.html 1920'].columns > seen['list.html 1366'].columns, `more columns on a wider window: ${JSON.stringify(seen)}`);
  });

  test("a video's length sits on its picture's corner in the fitted layout", async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 } });
    try {
      await page.goto(url(join(fitted, 'list.html')));
      const badges = await waitUntil(() => page.evaluate(readBadges), { describe: 'both videos show' });
      assert.deepEqual(badges.map((b) => `${b.name} ${b.text}`), ['v-land "0:02"', 'w-stand "0:02"']);
      for (const b of badges) assertBadgeOnPicture(b, 'the fitted list');
      assertNoProblems(page, 'the badges');
    } finally {
      await page.closeAll();
    }
  });

  test('a transparent sticker\'s JPEG thumbnail shows on a neutral checker in light colours', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'light' });
    try {
      await page.goto(url(join(roll, 'list.html')));
      const seen = await waitUntil(() => page.evaluate(readSticker, 's-sticker'), { describe: 'the sticker shows' });
      assertStickerOnChecker(seen, 'light colours');
      assert.equal(seen.page, 'rgb(255, 255, 255)', 'the page is light');
      assertNoProblems(page, 'the sticker in light colours');
    } finally {
      await page.closeAll();
    }
  });

  test('the viewer offers 元の動画 for a video and 元の画像 for a picture, in English too', async () => {
    const url = addressing('http', server);
    for (const [locale, video, picture] of [['ja-JP', '元の動画', '元の画像'], ['en-US', 'Original video', 'Original picture']]) {
      const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 }, locale });
      try {
        await page.goto(url(join(roll, 'list.html')));
        const first = await page.evaluate(() => [...document.querySelectorAll('a.cell')].findIndex((a) => a.dataset.video));
        assert.ok(first > 0, 'the roll holds a video after its pictures');
        const pict = await openViewer(page, url, roll, first);
        const offered = () => pict.evaluate(() => {
          const a = document.getElementById('original');
          return a && !a.hidden && document.getElementById('name').textContent ? `${document.getElementById('name').textContent}: ${a.textContent}` : null;
        });
        assert.equal(await waitUntil(offered, { describe: 'the video is shown' }), `v-land: ${video}`);
        await page.keyboard.press('ArrowLeft');
        assert.equal(await waitUntil(async () => ((await offered()) ?? '').startsWith('s-sticker') && offered(), { describe: 'the sticker is shown' }), `s-sticker: ${picture}`);
        assertNoProblems(page, `the viewer in ${locale}`);
      } finally {
        await page.closeAll();
      }
    }
  });

  test('axe-core finds nothing, of any impact, on the fitted list in dark colours', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark', reducedMotion: 'reduce' });
    try {
      assert.deepEqual(await axeOnPages(page, [['the fitted list', url(join(fitted, 'list.html'))]]), []);
      assertNoProblems(page, 'axe');
    } finally {
      await page.closeAll();
    }
  });
});
