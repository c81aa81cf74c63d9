// Steps the camera-roll tests share: making media with Debian's ffmpeg and ImageMagick, the
// settings of a single gallery made from one phone folder, opening the viewer on an item,
// and what the list and the viewer show (pictures in view, badges, a transparent sticker).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { join } from 'node:path';
import { axeFindings } from './axe.mjs';
import { waitUntil } from './pages.mjs';

/** Runs `program` with `args`; fails the test with its error output unless it ends well. */
export function run(program, args) {
  const made = spawnSync(program, args, { encoding: 'utf8' });
  assert.equal(made.status, 0, `${program} ${args.join(' ')}: ${made.stderr}`);
  return made;
}

/** Debian's ffmpeg, quiet, never asking. */
export const ffmpeg = (args) => run('/usr/bin/ffmpeg', ['-hide_banner', '-loglevel', 'error', '-nostdin', '-y', ...args]);

/** ImageMagick from Debian's package (a plain "convert" on PATH may be another program). */
export const convert = (args) => run('/usr/bin/convert', args);

/**
 * Mivo.ini for a single gallery of the folder `pics`, the pages beside the index page in the
 * page folder: a fresh Mivo.ini's settings (box 160x160, no copies) with `html` over them.
 */
export function rollSettings(pics, html = {}, title = 'Roll') {
  return (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: title, TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, THeight: 160, ...html },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  });
}

/** The list's frame of `page`: the page itself, or the index page's frame that holds the list. */
export function listFrame(page) {
  return waitUntil(() => page.frames().find((f) => /list\.html/.test(f.url())), { describe: 'the list' });
}

/** Opens the index page of the gallery in `out` on item `no`; resolves to the viewer's frame. */
export async function openViewer(page, url, out, no) {
  await page.goto(`${url(join(out, 'index.html'))}#view=list&no=${no}`);
  return waitUntil(() => page.frames().find((f) => /pict\.html#embed/.test(f.url())), { describe: `the viewer opens on ${no}` });
}

/**
 * The picture on screen as the visitor sees it (a canvas would only ever draw a moving
 * picture's first frame), with the file it comes from; null while none is shown.
 */
export async function shownPicture(pict) {
  const shown = await pict.evaluate(() => {
    const img = document.getElementById('photo');
    return img && img.tagName === 'IMG' && img.complete && img.naturalWidth > 0 && !img.classList.contains('placeholder') ? img.currentSrc : null;
  });
  if (!shown) return null;
  const shot = await (await pict.$('#photo')).screenshot({ animations: 'allow' });
  return `${shown} ${shot.toString('base64')}`;
}

/**
 * Evaluated in the list: thumbnails wholly in the window, columns, the grid's width, and how
 * many thumbnails in view touch their frame on neither side (do not fill their cell).
 */
export function readList() {
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

/**
 * Evaluated in the list: every badge (a video's length, GIF, WEBP) with the corner it is drawn
 * at, its picture's box and its frame's; null until every badged thumbnail has loaded.
 */
export function readBadges() {
  const cells = [...document.querySelectorAll('a.cell')].filter((a) => {
    const pic = a.querySelector('[data-time]');
    return pic && getComputedStyle(pic, '::after').content !== 'none';
  });
  if (!cells.every((a) => a.querySelector('img').complete)) return null;
  return cells.map((a) => {
    const img = a.querySelector('img').getBoundingClientRect();
    const pic = a.querySelector('[data-time]');
    const box = pic.getBoundingClientRect();
    const badge = getComputedStyle(pic, '::after');
    const frame = a.querySelector('.frame').getBoundingClientRect();
    return {
      name: a.querySelector('img').alt,
      video: Boolean(a.dataset.video),
      thumb: a.querySelector('img').getAttribute('src'),
      text: badge.content,
      // The badge's own corner: 4 px in from the box it is placed in.
      right: box.right - parseFloat(badge.right),
      bottom: box.bottom - parseFloat(badge.bottom),
      img: { left: img.left, top: img.top, right: img.right, bottom: img.bottom },
      frame: { right: frame.right, bottom: frame.bottom },
    };
  });
}

/** Fails unless the badge `b` (from readBadges) sits on its picture's lower right corner. */
export function assertBadgeOnPicture(b, what) {
  assert.ok(b.right <= b.img.right && b.right >= b.img.right - 6, `${what}: ${b.name}'s badge's right edge is on the picture (${b.right} in ${JSON.stringify(b.img)})`);
  assert.ok(b.bottom <= b.img.bottom && b.bottom >= b.img.bottom - 6, `${what}: ${b.name}'s badge's bottom edge is on the picture (${b.bottom} in ${JSON.stringify(b.img)})`);
}

/**
 * Evaluated in the list with a thumbnail's name: in its JPEG thumbnail (what a browser without
 * WebP shows; a WebP thumbnail keeps the transparency), the colour drawn where the picture is
 * clear (its corner), at its centre, and the page's colour; null until it has loaded.
 */
export async function readSticker(name) {
  const shown = [...document.images].find((i) => i.alt === name);
  if (!shown || !shown.complete || shown.naturalWidth === 0) return null;
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
}

/** Fails unless a sticker read by readSticker (a red disc) stands on a neutral mid grey. */
export function assertStickerOnChecker(seen, what) {
  const [r, g, b] = seen.corner;
  assert.ok(r > 110 && r < 180 && Math.abs(r - g) < 6 && Math.abs(r - b) < 6, `${what}: a neutral mid grey where the sticker is clear (${seen.corner})`);
  assert.ok(seen.centre[0] > 200 && seen.centre[1] < 60, `${what}: the sticker itself (${seen.centre})`);
}

/**
 * axe-core's findings on each of `pages`, [what, address] pairs, loaded one after the other
 * in `page` and left half a second to settle.
 */
export async function axeOnPages(page, pages) {
  const found = [];
  for (const [what, address] of pages) {
    await page.goto('about:blank');
    await page.goto(address);
    await waitUntil(() => page.evaluate(() => document.readyState === 'complete'), { describe: `${what} loads` });
    await page.waitForTimeout(500);
    for (const line of await axeFindings(page)) found.push(`${what}: ${line}`);
  }
  return found;
}
