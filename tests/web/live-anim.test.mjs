// A phone's roll with a Live Photo and moving pictures: the Live Photo is one tile and one
// name whose motion plays over its still in the viewer (once by itself, then on its button);
// a moving GIF and a moving WebP have a still thumbnail with a badge on the picture and move in
// the viewer, unless the visitor asks for less motion (then a button plays them); a GIF too big
// to move from its original loops through its MP4 copy over its still; axe-core finds nothing
// on the list or the viewer.
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
let roll;

function run(program, args) {
  const made = spawnSync(program, args, { encoding: 'utf8' });
  assert.equal(made.status, 0, `${program} ${args.join(' ')}: ${made.stderr}`);
}
const ffmpeg = (args) => run('/usr/bin/ffmpeg', ['-hide_banner', '-loglevel', 'error', '-nostdin', '-y', ...args]);

function buildRoll({ root }) {
  const pics = join(root, 'live', 'pics');
  mkdirSync(pics, { recursive: true });
  run('/usr/bin/convert', ['-size', '640x480', 'xc:teal', join(pics, 'IMG_0001.JPG')]);
  // The motion: two seconds of a moving pattern, as a phone writes it beside the still.
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=15', '-t', '2', '-c:v', 'libx264', '-pix_fmt', 'yuv420p', join(pics, 'IMG_0001.MOV')]);
  run('/usr/bin/convert', ['-size', '640x480', 'xc:orange', join(pics, 'IMG_0002.JPG')]);
  // Four frames of different colours, a fifth of a second each, looping.
  const frames = ['red', 'lime', 'blue', 'yellow'].flatMap((c) => ['-size', '120x90', `xc:${c}`]);
  run('/usr/bin/convert', ['-delay', '20', '-loop', '0', ...frames, join(pics, 'm-moving.gif')]);
  run('/usr/bin/convert', ['-delay', '20', '-loop', '0', ...frames, join(pics, 'n-moving.webp')]);
  // Over a megabyte: noise keeps the GIF from packing small.
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=10,noise=alls=100:allf=t', '-t', '2', join(pics, 'o-big.gif')]);
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=400x300:rate=10,noise=alls=100:allf=t', '-t', '1', '-c:v', 'libwebp_anim', '-lossless', '1', '-loop', '0', join(pics, 'p-big.webp')]);
  return makeGallery(root, 'live', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: 'Live', TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, THeight: 160, LWidth: 4, Reduce: 1, Media: 1 },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  }));
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => { roll = buildRoll(ws); }));
});

after(() => closeSession({ workspace, server, browser }));

async function openViewer(page, url, no) {
  await page.goto(`${url(join(roll, 'index.html'))}#view=list&no=${no}`);
  return waitUntil(() => page.frames().find((f) => /pict\.html#embed/.test(f.url())), { describe: 'the viewer opens' });
}

// The picture on screen as the visitor sees it (a canvas would only ever draw a moving
// picture's first frame), with the file it comes from.
async function sample(pict) {
  const shown = await pict.evaluate(() => {
    const img = document.getElementById('photo');
    return img && img.tagName === 'IMG' && img.complete && img.naturalWidth > 0 && !img.classList.contains('placeholder') ? img.currentSrc : null;
  });
  if (!shown) return null;
  const shot = await (await pict.$('#photo')).screenshot({ animations: 'allow' });
  return `${shown} ${shot.toString('base64')}`;
}

describe('Live Photos and moving pictures', () => {
  test('a Live Photo is one tile whose motion plays over its still in the viewer', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 } });
    try {
      await page.goto(url(join(roll, 'list.html')));
      const names = await page.evaluate(() => [...document.querySelectorAll('a.cell img')].map((i) => i.alt));
      assert.deepEqual(names, ['IMG_0001', 'IMG_0002', 'm-moving', 'n-moving', 'o-big', 'p-big']);
      const pict = await openViewer(page, url, 0);
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
      // Another picture has no motion and no button.
      await page.keyboard.press('ArrowRight');
      await waitUntil(() => pict.evaluate(() => document.getElementById('name').textContent === 'IMG_0002' && document.getElementById('live').hidden && document.getElementById('motion').hidden), { describe: 'a plain picture' });
      assertNoProblems(page, 'the Live Photo');
    } finally {
      await page.closeAll();
    }
  });

  test('moving pictures have a badge on their still thumbnail and move in the viewer, or wait for a click with reduced motion', async () => {
    const url = addressing('http', server);
    for (const reducedMotion of ['no-preference', 'reduce']) {
      const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 }, reducedMotion });
      try {
        await page.goto(url(join(roll, 'list.html')));
        const badges = await page.evaluate(() => [...document.querySelectorAll('a.cell .pic')].map((pic) => {
          const img = pic.querySelector('img').getBoundingClientRect();
          return { name: pic.querySelector('img').alt, text: getComputedStyle(pic, '::after').content, thumb: pic.querySelector('img').getAttribute('src'), img: { right: img.right, bottom: img.bottom } };
        }));
        for (const [name, text] of [['m-moving', '"GIF"'], ['n-moving', '"WEBP"']]) {
          const b = badges.find((x) => x.name === name);
          assert.equal(b.text, text, `${name} has its badge`);
          assert.match(b.thumb, /thumbs\/.*\.jpg$/, `${name}: the thumbnail is a still copy`);
        }
        assert.equal(badges.find((x) => x.name === 'IMG_0001').text, 'none', 'the Live Photo has no badge');
        for (const no of [2, 3]) {
          const pict = await openViewer(page, url, no);
          const first = await waitUntil(() => sample(pict), { describe: 'the picture shows' });
          const seen = new Set([first]);
          for (let i = 0; i < 8; i++) {
            await page.waitForTimeout(150);
            const now = await sample(pict);
            if (now) seen.add(now);
          }
          const pressed = await pict.evaluate(() => document.getElementById('live').getAttribute('aria-pressed'));
          if (reducedMotion === 'reduce') {
            assert.equal(seen.size, 1, `${no}: still with reduced motion (${[...seen].map((x) => x.slice(0, 120))})`);
            assert.equal(pressed, 'false');
            await pict.click('#live');
            await waitUntil(async () => {
              const now = await sample(pict);
              if (now) seen.add(now);
              return seen.size > 1;
            }, { describe: `${no} moves after a click` });
          } else {
            assert.ok(seen.size > 1, `${no}: the animation moves (${[...seen].map((x) => x.slice(0, 120))})`);
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

  test('a big GIF loops through its muted MP4 copy over its still, or waits for a click with reduced motion', async () => {
    const url = addressing('http', server);
    const playing = (pict) => pict.evaluate(() => {
      const v = document.getElementById('anim');
      const still = document.getElementById('photo');
      return v && !v.hidden && !v.paused && v.currentTime > 0.3 && still.tagName === 'IMG' && !still.classList.contains('placeholder')
        ? { src: v.currentSrc, muted: v.muted, loop: v.loop, box: [v.offsetWidth, v.offsetHeight], still: [still.offsetWidth, still.offsetHeight] } : null;
    });
    for (const reducedMotion of ['no-preference', 'reduce']) {
      const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 }, reducedMotion });
      try {
        const pict = await openViewer(page, url, 4);
        await waitUntil(() => pict.evaluate(() => document.getElementById('name').textContent === 'o-big'), { describe: 'the big GIF shows' });
        if (reducedMotion === 'reduce') {
          await page.waitForTimeout(800);
          assert.ok(await pict.evaluate(() => document.getElementById('anim').hidden), 'still with reduced motion');
          assert.equal(await pict.evaluate(() => document.getElementById('live').getAttribute('aria-pressed')), 'false');
          await pict.click('#live');
        }
        const shown = await waitUntil(() => playing(pict), { describe: `the MP4 copy plays (${reducedMotion})` });
        assert.match(shown.src, /view\/o-big\.gif\.mp4$/);
        assert.ok(shown.muted && shown.loop, 'muted and looping');
        assert.deepEqual(shown.box, shown.still, 'over the still, in its box');
        // Looping: still playing after its two seconds.
        await page.waitForTimeout(2500);
        assert.ok(await playing(pict), 'it loops');
        // Stopped with its button.
        await pict.click('#live');
        await waitUntil(() => pict.evaluate(() => document.getElementById('anim').hidden), { describe: 'the button stops it' });
        // A big WebP moves as an image, through its animated WebP copy.
        if (reducedMotion === 'no-preference') {
          const webp = await openViewer(page, url, 5);
          const first = await waitUntil(async () => {
            const now = await sample(webp);
            return now && /view\/p-big\.webp\.webp /.test(now) ? now : null;
          }, { describe: 'the big WebP shows from its animated copy' });
          const seen = new Set([first]);
          await waitUntil(async () => {
            const now = await sample(webp);
            if (now) seen.add(now);
            return seen.size > 1;
          }, { describe: 'the big WebP moves' });
        }
        assertNoProblems(page, `the big GIF, ${reducedMotion}`);
      } finally {
        await page.closeAll();
      }
    }
  });

  test('axe-core finds nothing on the list and the viewer of a Live Photo', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, { viewport: { width: 1366, height: 768 }, colorScheme: 'dark', reducedMotion: 'reduce' });
    try {
      const found = [];
      for (const [what, path] of [['the list', 'list.html'], ['the Live Photo open', 'index.html#view=list&no=0'], ['the GIF open', 'index.html#view=list&no=2']]) {
        await page.goto('about:blank');
        await page.goto(`${url(join(roll, path.replace(/#.*$/, '')))}${path.includes('#') ? path.slice(path.indexOf('#')) : ''}`);
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
