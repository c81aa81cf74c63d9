// A phone's camera roll as one folder, made with a fresh Mivo.ini's settings and copies on:
// a Live Photo pair, a moving GIF and WebP, a picture whose XMP holds a caption with markup
// characters and Japanese, an HLG clip, a transparent PNG sticker and plain photos. The Live
// Photo is one tile whose motion plays in the viewer; the moving pictures move (or wait for a
// click with reduced motion); the caption shows as text; the HLG poster is as bright as a
// tone-mapped frame; badges sit on their pictures; 20 and more pictures show above the fold of
// a 1366x768 desktop; the sticker stands on a neutral checker in dark colours; axe finds nothing.
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';
import { withXmpDescription } from './lib/exif.mjs';
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
  run,
  shownPicture,
} from './lib/roll.mjs';
import { closeSession, openSession } from './lib/session.mjs';

const caption = `箱根の家族旅行 <b>&"'</b> 富士山`;
// ffmpeg's own tone-mapping chain, the usual way to see HDR on an SDR screen.
const toneMapped = 'zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p';

let workspace;
let server;
let browser;
let roll;
let hlg;

function buildRoll({ root }) {
  const pics = join(root, 'phone', 'pics');
  mkdirSync(pics, { recursive: true });
  convert(['-size', '640x480', 'xc:teal', join(pics, 'IMG_0001.JPG')]);
  // The motion: two seconds of a moving pattern, as a phone writes it beside the still.
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=15', '-t', '2', '-c:v', 'libx264', '-pix_fmt', 'yuv420p', join(pics, 'IMG_0001.MOV')]);
  // Four frames of different colours, a fifth of a second each, looping.
  const frames = ['red', 'lime', 'blue', 'yellow'].flatMap((c) => ['-size', '120x90', `xc:${c}`]);
  convert(['-delay', '20', '-loop', '0', ...frames, join(pics, 'm-moving.gif')]);
  convert(['-delay', '20', '-loop', '0', ...frames, join(pics, 'n-moving.webp')]);
  const base = join(root, 'phone', 'base.jpg');
  convert(['-seed', '3', '-size', '640x480', 'plasma:', base]);
  writeFileSync(join(pics, 'c-caption.jpg'), withXmpDescription(readFileSync(base), caption));
  for (let i = 1; i <= 28; i++) copyFileSync(base, join(pics, `p-${String(i).padStart(2, '0')}.jpg`));
  convert(['-size', '400x400', 'xc:none', '-fill', 'red', '-draw', 'circle 200,200 200,320', join(pics, 's-sticker.png')]);
  // HLG as phones shoot it: 10-bit HEVC in BT.2020, one still frame of saturated colours, where
  // a frame read without its transfer looks far from a tone-mapped one.
  hlg = join(pics, 'v-hlg.mov');
  ffmpeg(['-f', 'lavfi', '-i', 'gradients=size=320x180:rate=25:seed=3:c0=0xff4000:c1=0x00c0ff:c2=0x90ff30:nb_colors=3,trim=end_frame=1,loop=loop=49:size=1',
    '-c:v', 'libx265', '-pix_fmt', 'yuv420p10le', '-x265-params', 'log-level=error',
    '-color_trc', 'arib-std-b67', '-color_primaries', 'bt2020', '-colorspace', 'bt2020nc', hlg]);
  return makeGallery(root, 'phone', rollSettings(pics, { Reduce: 1, Media: 1 }, 'Phone'));
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => { roll = buildRoll(ws); }));
});

after(() => closeSession({ workspace, server, browser }));

// The list's tiles: name (text alternative), item number and thumbnail.
async function tiles(page, url) {
  await page.goto(url(join(roll, 'list.html')));
  return page.evaluate(() => [...document.querySelectorAll('a.cell')].map((a, k) => ({
    alt: a.querySelector('img').alt, no: Number(a.dataset.no || k), thumb: a.querySelector('img').getAttribute('src'),
  })));
}
const numberOf = (all, alt) => all.find((t) => t.alt === alt).no;

// The mean of every channel of a picture file, as libvips computes it.
function meanOf(path) {
  return Number(run('/usr/bin/vips', ['avg', path]).stdout.trim());
}

describe('a phone camera roll', () => {
  test('a Live Photo is one tile whose motion plays over its still in the viewer', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 } });
    try {
      const all = await tiles(page, url);
      assert.equal(all.length, 34, `one tile per item: ${all.map((t) => t.alt)}`);
      assert.deepEqual(all.filter((t) => /IMG_0001/.test(t.alt)).map((t) => t.alt), ['IMG_0001'], 'one tile and one name for the Live Photo');
      const pict = await openViewer(page, url, roll, numberOf(all, 'IMG_0001'));
      // Shown by itself once: the motion element plays over the still.
      const playing = await waitUntil(() => pict.evaluate(() => {
        const m = document.getElementById('motion');
        const still = document.getElementById('photo');
        return m && !m.hidden && m.currentTime > 0.2 && still.tagName === 'IMG' && !still.classList.contains('placeholder')
          ? { src: m.currentSrc, button: !document.getElementById('live').hidden } : null;
      }), { describe: 'the motion plays' });
      assert.match(playing.src, /view\/IMG_0001\.MOV\.mp4$/);
      assert.ok(playing.button, 'the LIVE button is offered');
      await waitUntil(() => pict.evaluate(() => document.getElementById('motion').hidden), { describe: 'the motion ends', timeout: 8000 });
      // Asked for again with its button.
      await pict.click('#live');
      await waitUntil(() => pict.evaluate(() => !document.getElementById('motion').hidden && document.getElementById('motion').currentTime > 0.2), { describe: 'the motion plays again' });
      assert.equal(await pict.evaluate(() => document.getElementById('name').textContent), 'IMG_0001');
      // The picture before it has no motion and no button.
      await page.keyboard.press('ArrowLeft');
      await waitUntil(() => pict.evaluate((text) => document.getElementById('photo').alt === text && document.getElementById('live').hidden && document.getElementById('motion').hidden, caption), { describe: 'a picture without motion' });
      assertNoProblems(page, 'the Live Photo');
    } finally {
      await page.closeAll();
    }
  });

  test('moving pictures have a still thumbnail and move in the viewer, or wait for a click with reduced motion', async () => {
    const url = addressing('http', server);
    for (const reducedMotion of ['no-preference', 'reduce']) {
      const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 }, reducedMotion });
      try {
        const all = await tiles(page, url);
        for (const name of ['m-moving', 'n-moving']) {
          assert.match(all.find((t) => t.alt === name).thumb, /thumbs\/.*\.jpg$/, `${name}: the thumbnail is a still copy`);
          const pict = await openViewer(page, url, roll, numberOf(all, name));
          const first = await waitUntil(() => shownPicture(pict), { describe: `${name} shows` });
          const seen = new Set([first]);
          for (let i = 0; i < 8; i++) {
            await page.waitForTimeout(150);
            const now = await shownPicture(pict);
            if (now) seen.add(now);
          }
          const pressed = await pict.evaluate(() => document.getElementById('live').getAttribute('aria-pressed'));
          if (reducedMotion === 'reduce') {
            assert.equal(seen.size, 1, `${name}: still with reduced motion (${[...seen].map((x) => x.slice(0, 120))})`);
            assert.equal(pressed, 'false');
            await pict.click('#live');
            await waitUntil(async () => {
              const now = await shownPicture(pict);
              if (now) seen.add(now);
              return seen.size > 1;
            }, { describe: `${name} moves after a click` });
          } else {
            assert.ok(seen.size > 1, `${name}: two screenshots over time differ (${[...seen].map((x) => x.slice(0, 120))})`);
            assert.match([...seen][0], /pics\/[mn]-moving\.(gif|webp) /, 'the original moves');
            assert.equal(pressed, 'true');
          }
        }
        assertNoProblems(page, `moving pictures, ${reducedMotion}`);
      } finally {
        await page.closeAll();
      }
    }
  });

  test('the caption the XMP holds is the text alternative and shows in the viewer as text', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 } });
    try {
      // The index page hands the captions to its list.
      await page.goto(url(join(roll, 'index.html')));
      const list = await listFrame(page);
      const alts = await waitUntil(async () => {
        const seen = await list.evaluate(() => [...document.querySelectorAll('a.cell img')].map((i) => i.alt)).catch(() => []);
        return seen.includes('IMG_0001') && seen;
      }, { describe: 'the list shows' });
      assert.equal(alts[0], caption, `the caption is the tile's text alternative: ${alts.slice(0, 3)}`);
      assert.equal(await list.evaluate(() => document.querySelectorAll('#grid b').length), 0, 'no element from the caption in the list');
      const pict = await openViewer(page, url, roll, numberOf(await tiles(page, url), 'c-caption'));
      const shown = await waitUntil(() => pict.evaluate(() => {
        const fields = document.getElementById('fields');
        const photo = document.getElementById('photo');
        const loaded = photo.tagName === 'IMG' && photo.complete && photo.naturalWidth > 0 && !photo.classList.contains('placeholder');
        return fields && fields.innerText.includes('箱根') && loaded ? { text: fields.innerText, bold: fields.querySelectorAll('b').length, alt: document.getElementById('photo').alt } : null;
      }), { describe: 'the caption shows in the viewer' });
      assert.ok(shown.text.includes(caption), `literal text in the viewer: ${shown.text}`);
      assert.equal(shown.bold, 0, 'no element from the caption in the viewer');
      assert.equal(shown.alt, caption);
      assertNoProblems(page, 'the caption');
    } finally {
      await page.closeAll();
    }
  });

  test("the HLG clip's poster is as bright as a tone-mapped frame of it", async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 } });
    try {
      // The thumbnail as list.html names it (the page sets a lazy thumbnail's address only
      // once it comes near the window).
      const poster = /<img src="([^"]+)"[^>]* alt="v-hlg"/.exec(readFileSync(join(roll, 'list.html'), 'latin1'))[1];
      const frameThrough = (filters, name) => {
        const png = join(workspace.root, name);
        ffmpeg(['-i', hlg, '-frames:v', '1', '-vf', `${filters},format=rgb24`, png]);
        return meanOf(png);
      };
      const reference = frameThrough(toneMapped, 'hlg-tone-mapped.png');
      const untouched = frameThrough('format=yuv420p', 'hlg-untouched.png');
      assert.ok(Math.abs(untouched - reference) > reference * 0.2, `the clip tells a tone-mapped frame (${reference}) from one that is not (${untouched})`);
      const mean = meanOf(join(roll, decodeURIComponent(poster)));
      assert.ok(Math.abs(mean - reference) <= reference * 0.1, `${poster}: mean ${mean}, tone-mapped reference ${reference}`);
      assertNoProblems(page, 'the HLG poster');
    } finally {
      await page.closeAll();
    }
  });

  test('on a 1366x768 desktop: 20 and more pictures above the fold, badges on their pictures, the sticker on a checker in dark colours', async (t) => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark' });
    try {
      for (const file of ['list.html', 'index.html']) {
        await page.goto(url(join(roll, file)));
        const list = await listFrame(page);
        await list.waitForLoadState('load');
        const shown = await list.evaluate(readList);
        t.diagnostic(`${file}: ${shown.whole} pictures whole in view, ${shown.columns} columns`);
        assert.ok(shown.whole >= 20, `${file}: ${shown.whole} pictures wholly above the fold`);
      }
      await page.goto(url(join(roll, 'list.html')));
      const badges = await waitUntil(() => page.evaluate(readBadges), { describe: 'the badged thumbnails load' });
      assert.deepEqual(badges.map((b) => `${b.name} ${b.text}`).sort(), ['m-moving "GIF"', 'n-moving "WEBP"', 'v-hlg "0:02"']);
      for (const b of badges) assertBadgeOnPicture(b, 'the list');
      // The landscape poster stands in a square frame: its corner is not the frame's.
      const land = badges.find((b) => b.name === 'v-hlg');
      assert.ok(land.frame.bottom - land.img.bottom > 10, `the landscape poster is not the frame's height (${JSON.stringify(land)})`);
      const sticker = await waitUntil(() => page.evaluate(readSticker, 's-sticker'), { describe: 'the sticker shows' });
      assertStickerOnChecker(sticker, 'dark colours');
      assert.notEqual(sticker.page, 'rgb(255, 255, 255)', 'the page is dark');
      assertNoProblems(page, 'the desktop list');
    } finally {
      await page.closeAll();
    }
  });

  test('axe-core finds nothing, of any impact, on the roll in dark colours', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark', reducedMotion: 'reduce' });
    try {
      const all = await tiles(page, url);
      const open = (alt) => `${url(join(roll, 'index.html'))}#view=list&no=${numberOf(all, alt)}`;
      const found = await axeOnPages(page, [
        ['the list', url(join(roll, 'list.html'))],
        ['the index page', `${url(join(roll, 'index.html'))}#view=list`],
        ['the Live Photo open', open('IMG_0001')],
        ['the GIF open', open('m-moving')],
        ['the captioned picture open', open('c-caption')],
        ['the HLG clip open', open('v-hlg')],
      ]);
      assert.deepEqual(found, []);
      assertNoProblems(page, 'axe');
    } finally {
      await page.closeAll();
    }
  });
});
