// A gallery made by mivo-make from a phone-like folder with HEIC・PNG・WebP・動画も載せる on:
// HEIC, AVIF, PNG with transparency, WebP, TIFF, an EXIF-rotated JPEG, an H.264 MP4, a HEVC
// MOV turned by its rotation metadata, a VP9 WebM, an MP4 whose index is at its end and a text
// file named .mp4. Every item shows once, upright; every video's poster shows and the video
// plays in the picture view.
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { axeFindings } from './lib/axe.mjs';
import { watchedPage } from './lib/browser.mjs';
import { withExif } from './lib/exif.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import { ffmpeg, run } from './lib/roll.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';

let workspace;
let server;
let browser;
let gallery;

const testVideo = ['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25', '-f', 'lavfi', '-i', 'sine=frequency=440', '-t', '2'];

// Landscape pictures whose top left corner is red and the rest blue: a picture turned the wrong
// way shows it elsewhere, or stands the wrong way round.
function buildGallery({ root }) {
  const pics = join(root, 'phone', 'pics');
  mkdirSync(pics, { recursive: true });
  const base = join(root, 'phone', 'base.png');
  run('/usr/bin/convert', ['-size', '600x400', 'xc:blue', '-fill', 'red', '-draw', 'rectangle 0,0 149,99', base]);
  run('/usr/bin/vips', ['copy', base, join(pics, 'p1.heic')]);
  run('/usr/bin/vips', ['copy', base, join(pics, 'p2.avif')]);
  run('/usr/bin/convert', ['-size', '600x400', 'xc:none', '-fill', 'red', '-draw', 'rectangle 0,0 149,99', join(pics, 'p3.png')]);
  run('/usr/bin/vips', ['copy', base, join(pics, 'p4.webp')]);
  run('/usr/bin/vips', ['copy', base, join(pics, 'p5.tif')]);
  // Stored on its side, shown as the others by its EXIF orientation (6: turn right to show).
  const side = join(root, 'phone', 'side.jpg');
  run('/usr/bin/convert', [base, '-rotate', '-90', side]);
  writeFileSync(join(pics, 'p6.jpg'), withExif(readFileSync(side), { orientation: 6 }));
  ffmpeg([...testVideo, '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-c:a', 'aac', '-movflags', '+faststart', join(pics, 'v1.mp4')]);
  // ffmpeg writes the rotation of a phone held upright only when it copies the stream.
  const flat = join(root, 'phone', 'flat.mov');
  ffmpeg([...testVideo, '-c:v', 'libx265', '-tag:v', 'hvc1', '-pix_fmt', 'yuv420p', '-c:a', 'aac', flat]);
  ffmpeg(['-i', flat, '-c', 'copy', '-metadata:s:v:0', 'rotate=90', join(pics, 'v2.mov')]);
  ffmpeg([...testVideo, '-c:v', 'libvpx-vp9', '-b:v', '200k', '-c:a', 'libopus', join(pics, 'v3.webm')]);
  ffmpeg([...testVideo, '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-c:a', 'aac', join(pics, 'v4.mp4')]);
  writeFileSync(join(pics, 'v5.mp4'), 'this is no video\n');
  const out = makeGallery(root, 'phone', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: 'Phone', TitleS: 'camera roll', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, THeight: 160, LWidth: 4, Reduce: 1, Media: 1 },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  }));
  return {
    out,
    pictures: ['p1', 'p2', 'p3', 'p4', 'p5', 'p6'],
    videos: ['v1', 'v2', 'v3', 'v4'],
    portrait: new Set(['v2']),
  };
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    gallery = buildGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

describe('a gallery of a phone folder', () => {
  test('every item once, upright, each video with its poster and length; no-JS links reach the web video', async () => {
    const page = await watchedPage(browser, { viewport: { width: 1280, height: 1000 } });
    try {
      await page.goto(addressing('http', server)(join(gallery.out, 'list.html')));
      const cells = await waitUntil(async () => {
        const found = await page.$$eval('a.cell', (list) => list.map((a) => {
          const img = a.querySelector('img');
          if (!img.complete || img.naturalWidth === 0) return null;
          const canvas = document.createElement('canvas');
          canvas.width = img.naturalWidth;
          canvas.height = img.naturalHeight;
          const context = canvas.getContext('2d');
          context.drawImage(img, 0, 0);
          const corner = context.getImageData(2, 2, 1, 1).data;
          return {
            name: img.alt,
            width: img.naturalWidth,
            height: img.naturalHeight,
            corner: [corner[0], corner[1], corner[2]],
            href: a.getAttribute('href'),
            video: a.dataset.video,
            time: a.querySelector('[data-time]').dataset.time,
          };
        }));
        return found.every(Boolean) ? found : null;
      }, { describe: 'every thumbnail loads' });
      assert.deepEqual(cells.map((c) => c.name), [...gallery.pictures, ...gallery.videos]);
      for (const cell of cells) {
        const portrait = gallery.portrait.has(cell.name);
        assert.equal(cell.height > cell.width, portrait, `${cell.name} stands ${portrait ? 'upright' : 'landscape'} (${cell.width}x${cell.height})`);
        if (gallery.pictures.includes(cell.name)) {
          // The red corner stays top left: turned right, and transparency on white for the PNG.
          const [r, g, b] = cell.corner;
          if (cell.name === 'p6') assert.ok(r > 200 && b < 80, `${cell.name}: red top left (${cell.corner})`);
          else assert.ok(r > 200 && g < 80 && b < 80, `${cell.name}: red top left (${cell.corner})`);
          assert.equal(cell.video, '', `${cell.name} is no video`);
          assert.equal(cell.time, '');
        } else {
          assert.equal(cell.time, '0:02', `${cell.name} shows its length`);
          assert.equal(cell.href, cell.video, `${cell.name}: the link without script is the web video`);
        }
      }
      const byName = Object.fromEntries(cells.map((c) => [c.name, c]));
      assert.ok(/\/pics\/v1\.mp4$/.test(byName.v1.video), `an MP4 that plays is linked as it is (${byName.v1.video})`);
      assert.ok(/\/pics\/v3\.webm$/.test(byName.v3.video), `a VP9 WebM is linked as it is (${byName.v3.video})`);
      assert.equal(byName.v2.video, './view/v2.mov.mp4', 'HEVC is made into H.264');
      assert.equal(byName.v4.video, './view/v4.mp4.mp4', 'an index at the end is moved to the front');
      assertNoProblems(page, 'the list');
      assert.deepEqual(await axeFindings(page), []);
    } finally {
      await page.closeAll();
    }
  });

  test('each video plays in the picture view; arrows move on to the next item', async () => {
    const page = await watchedPage(browser, { viewport: { width: 1280, height: 800 } });
    try {
      const first = gallery.pictures.length;
      await page.goto(`${addressing('http', server)(join(gallery.out, 'index.html'))}#view=list&no=${first}`);
      const pict = await waitUntil(() => page.frames().find((f) => /pict\.html#embed/.test(f.url())), { describe: 'the picture view opens' });
      for (const [i, name] of gallery.videos.entries()) {
        const shown = await waitUntil(() => pict.evaluate(() => {
          const v = document.getElementById('photo');
          return v.tagName === 'VIDEO' && v.readyState >= 1 ? v.currentSrc : null;
        }), { describe: `${name} is shown as a video` });
        assert.ok(shown.includes(name), `${name}: ${shown}`);
        const [w, h] = await pict.evaluate(() => [document.getElementById('photo').videoWidth, document.getElementById('photo').videoHeight]);
        assert.equal(h > w, gallery.portrait.has(name), `${name} plays the way it was filmed (${w}x${h})`);
        await pict.evaluate(() => document.getElementById('photo').play());
        await waitUntil(() => pict.evaluate(() => document.getElementById('photo').currentTime > 0.2), { describe: `${name} plays` });
        assert.deepEqual(await axeFindings(page), [], `${name}: axe`);
        if (i + 1 < gallery.videos.length) await page.keyboard.press('ArrowRight');
      }
      assertNoProblems(page, 'the videos');
    } finally {
      await page.closeAll();
    }
  });
});
