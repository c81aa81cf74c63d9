// Moving pictures too big to move from their originals: a GIF loops through its muted MP4 copy
// over its still, or waits for its button when the visitor asks for less motion; a WebP moves
// through its animated WebP copy; nothing the page does fails.
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import { convert, ffmpeg, openViewer, rollSettings, shownPicture } from './lib/roll.mjs';
import { closeSession, openSession } from './lib/session.mjs';

let workspace;
let server;
let browser;
let roll;

function buildRoll({ root }) {
  const pics = join(root, 'big', 'pics');
  mkdirSync(pics, { recursive: true });
  convert(['-size', '640x480', 'xc:teal', join(pics, 'a-still.jpg')]);
  // Over a megabyte: noise keeps them from packing small.
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=10,noise=alls=100:allf=t', '-t', '2', join(pics, 'o-big.gif')]);
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=400x300:rate=10,noise=alls=100:allf=t', '-t', '1', '-c:v', 'libwebp_anim', '-lossless', '1', '-loop', '0', join(pics, 'p-big.webp')]);
  return makeGallery(root, 'big', rollSettings(pics, { LWidth: 4, Reduce: 1, Media: 1 }, 'Big'));
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => { roll = buildRoll(ws); }));
});

after(() => closeSession({ workspace, server, browser }));

describe('Big moving pictures', () => {
  test('a big GIF loops through its muted MP4 copy over its still, a big WebP through its WebP copy', async () => {
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
        const pict = await openViewer(page, url, roll, 1);
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
        await pict.click('#live');
        await waitUntil(() => pict.evaluate(() => document.getElementById('anim').hidden), { describe: 'the button stops it' });
        if (reducedMotion === 'no-preference') {
          const webp = await openViewer(page, url, roll, 2);
          const first = await waitUntil(async () => {
            const now = await shownPicture(webp);
            return now && /view\/p-big\.webp\.webp /.test(now) ? now : null;
          }, { describe: 'the big WebP shows from its animated copy' });
          const seen = new Set([first]);
          await waitUntil(async () => {
            const now = await shownPicture(webp);
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
});
