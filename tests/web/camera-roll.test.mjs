// A camera roll as a visitor sees it: the list fills a desktop window with pictures (20 and
// more above the fold at 1366x768 with the default settings, more columns on a wider window),
// a video's length sits on its picture's corner in both layouts, a transparent sticker shows on
// a neutral checker in light and dark colours, the viewer offers the original video as a video,
// and axe-core finds nothing, of any impact.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdirSync } from 'node:fs';
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
let roll;
let fitted;
let plain;

function run(program, args) {
  const made = spawnSync(program, args, { encoding: 'utf8' });
  assert.equal(made.status, 0, `${program} ${args.join(' ')}: ${made.stderr}`);
}
const ffmpeg = (args) => run('/usr/bin/ffmpeg', ['-hide_banner', '-loglevel', 'error', '-nostdin', '-y', ...args]);

function settings(pics, html) {
  return (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: 'Roll', TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, THeight: 160, ...html },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  });
}

// A phone's folder: photos, a transparent sticker, a landscape video and one held upright.
function buildRoll({ root }) {
  const pics = join(root, 'roll', 'pics');
  mkdirSync(pics, { recursive: true });
  for (const [i, colour] of ['teal', 'orange', 'navy'].entries()) {
    run('/usr/bin/convert', ['-size', '640x480', `xc:${colour}`, join(pics, `a-photo${i + 1}.jpg`)]);
  }
  run('/usr/bin/convert', ['-size', '400x400', 'xc:none', '-fill', 'red', '-draw', 'circle 200,200 200,320', join(pics, 's-sticker.png')]);
  const land = join(pics, 'v-land.mp4');
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25', '-t', '2', '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-movflags', '+faststart', land]);
  // ffmpeg writes the rotation of a phone held upright only when it copies the stream.
  ffmpeg(['-i', land, '-c', 'copy', '-metadata:s:v:0', 'rotate=90', join(pics, 'w-stand.mp4')]);
  const make = (name, columns) => makeGallery(root, name, settings(pics, { LWidth: columns, Reduce: 1, Media: 1 }));
  return { columns: make('roll', 4), fit: make('roll-fit', 0) };
}

// 60 photos with every setting as a fresh Mivo.ini has it (no copies, box 160x160, 4 columns).
function buildPlain({ root }) {
  const pics = join(root, 'plain', 'pics');
  mkdirSync(pics, { recursive: true });
  const base = join(root, 'plain', 'base.jpg');
  run('/usr/bin/convert', ['-size', '800x600', 'plasma:', base]);
  for (let i = 1; i <= 60; i++) copyFileSync(base, join(pics, `IMG_${String(i).padStart(4, '0')}.jpg`));
  return makeGallery(root, 'plain', settings(pics, { LWidth: 4 }));
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    ({ columns: roll, fit: fitted } = buildRoll(ws));
    plain = buildPlain(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

// The list's frame of `page` (the page itself, or the index page's frame that holds the list).
async function listFrame(page) {
  return waitUntil(() => page.frames().find((f) => /list\.html/.test(f.url())), { describe: 'the list' });
}

// What the list shows in its window: thumbnails wholly in view, columns, the grid's width,
// and for every thumbnail whether it touches its frame on its long side.
function readList() {
  const imgs = [...document.querySelectorAll('#grid img')];
  const inView = imgs.filter((img) => {
    const r = img.getBoundingClientRect();
    return r.width > 0 && r.top >= 0 && r.bottom <= innerHeight && r.left >= 0 && r.right <= innerWidth;
  });
  return {
    whole: inView.length,
    columns: getComputedStyle(document.getElementById('grid')).gridTemplateColumns.split(' ').length,
    gridWidth: document.getElementById('grid').getBoundingClientRect().width,
    unfilled: inView.filter((img) => {
      const r = img.getBoundingClientRect();
      const f = img.closest('.frame').getBoundingClientRect();
      return Math.abs(r.width - f.width) > 1.5 && Math.abs(r.height - f.height) > 1.5;
    }).length,
  };
}

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

  test("a video's length sits on its picture's corner, in the column layout and the fitted one", async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 } });
    try {
      for (const out of [roll, fitted]) {
        await page.goto(url(join(out, 'list.html')));
        const badges = await waitUntil(() => page.evaluate(() => {
          const cells = [...document.querySelectorAll('a.cell')].filter((a) => a.dataset.video);
          if (cells.length !== 2 || !cells.every((a) => a.querySelector('img').complete)) return null;
          return cells.map((a) => {
            const img = a.querySelector('img').getBoundingClientRect();
            const pic = a.querySelector('[data-time]');
            const box = pic.getBoundingClientRect();
            const badge = getComputedStyle(pic, '::after');
            const frame = a.querySelector('.frame').getBoundingClientRect();
            return {
              name: a.querySelector('img').alt,
              text: badge.content,
              // The badge's own corner: 4 px in from the box it is placed in.
              right: box.right - parseFloat(badge.right),
              bottom: box.bottom - parseFloat(badge.bottom),
              img: { left: img.left, top: img.top, right: img.right, bottom: img.bottom },
              frame: { right: frame.right, bottom: frame.bottom },
            };
          });
        }), { describe: 'both videos show' });
        for (const b of badges) {
          assert.equal(b.text, '"0:02"', `${b.name} shows its length`);
          assert.ok(b.right <= b.img.right && b.right >= b.img.right - 6, `${b.name}: the badge's right edge is on the picture (${b.right} in ${JSON.stringify(b.img)})`);
          assert.ok(b.bottom <= b.img.bottom && b.bottom >= b.img.bottom - 6, `${b.name}: the badge's bottom edge is on the picture (${b.bottom} in ${JSON.stringify(b.img)})`);
        }
        // The landscape video stands in a square frame: its corner is not the frame's.
        const land = badges.find((b) => b.name === 'v-land');
        assert.ok(land.frame.bottom - land.img.bottom > 10, `the landscape poster is not the frame's height (${JSON.stringify(land)})`);
      }
      assertNoProblems(page, 'the badges');
    } finally {
      await page.closeAll();
    }
  });

  test('a transparent sticker\'s JPEG thumbnail shows on a neutral checker in light and dark colours', async () => {
    const url = addressing('http', server);
    for (const colorScheme of ['light', 'dark']) {
      const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme });
      try {
        await page.goto(url(join(roll, 'list.html')));
        const seen = await waitUntil(() => page.evaluate(async () => {
          const shown = [...document.images].find((i) => i.alt === 's-sticker');
          if (!shown || !shown.complete || shown.naturalWidth === 0) return null;
          // The JPEG thumbnail, for browsers without WebP (a WebP one keeps the transparency).
          const img = new Image();
          img.src = shown.src;
          await img.decode();
          const canvas = document.createElement('canvas');
          canvas.width = img.naturalWidth;
          canvas.height = img.naturalHeight;
          const context = canvas.getContext('2d');
          context.drawImage(img, 0, 0);
          const corner = [...context.getImageData(1, 1, 1, 1).data].slice(0, 3);
          const centre = [...context.getImageData(img.naturalWidth / 2, img.naturalHeight / 2, 1, 1).data].slice(0, 3);
          return { corner, centre, page: getComputedStyle(document.body).backgroundColor };
        }), { describe: 'the sticker shows' });
        const [r, g, b] = seen.corner;
        assert.ok(r > 110 && r < 180 && Math.abs(r - g) < 6 && Math.abs(r - b) < 6, `${colorScheme}: a neutral mid grey where the sticker is clear (${seen.corner})`);
        assert.ok(seen.centre[0] > 200 && seen.centre[1] < 60, `${colorScheme}: the sticker itself (${seen.centre})`);
        const lightPage = seen.page === 'rgb(255, 255, 255)';
        assert.equal(lightPage, colorScheme === 'light', `${colorScheme} page: ${seen.page}`);
        assertNoProblems(page, `the sticker in ${colorScheme} colours`);
      } finally {
        await page.closeAll();
      }
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
        await page.goto(`${url(join(roll, 'index.html'))}#view=list&no=${first}`);
        const pict = await waitUntil(() => page.frames().find((f) => /pict\.html#embed/.test(f.url())), { describe: 'the viewer opens' });
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

  test('axe-core finds nothing, of any impact, on the roll in dark colours, with a video open', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark', reducedMotion: 'reduce' });
    try {
      const found = [];
      for (const [what, path] of [['the list', 'list.html'], ['the fitted list', null], ['the index page', 'index.html#view=list'], ['the index page with a video open', 'index.html#view=list&no=4']]) {
        await page.goto('about:blank');
        await page.goto(path ? `${url(join(roll, path.replace(/#.*$/, '')))}${path.includes('#') ? path.slice(path.indexOf('#')) : ''}` : url(join(fitted, 'list.html')));
        await waitUntil(() => page.evaluate(() => document.readyState === 'complete'), { describe: `${what} loads` });
        await page.waitForTimeout(500);
        for (const line of await axeFindings(page)) found.push(`${what}: ${line}`);
      }
      assert.deepEqual(found, []);
      assertNoProblems(page, 'axe');
    } finally {
      await page.closeAll();
    }
  });
});
