// Checks shared by the browser tests: what a visitor of a gallery must be able to see and do.
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { outputDir, repoDir } from './fixtures.mjs';
import { keepsAspect, mainPicture, thumbnailFrame, visibleFrames, visibleLinks, visibleText, waitForPicture, waitUntil } from './pages.mjs';

/** Addresses for one way of opening the galleries: straight from disk or from the test's server. */
export function addressing(protocol, server) {
  return protocol === 'file' ? (path) => pathToFileURL(path).href : (path) => server.url(path);
}

/** Fails with every console error, uncaught exception and failed request the page saw. */
export function assertNoProblems(page, what) {
  assert.deepEqual(page.problems, [], `${what}: the page reported problems`);
}

/**
 * Waits for the thumbnails of `gallery` and checks them: one per picture, in gallery order,
 * alt text = the picture's name, lazily loaded, and every thumbnail in view loaded with the
 * proportions of its picture. Resolves to { frame, thumbs }.
 */
export async function checkThumbnails(page, gallery, what) {
  const n = gallery.pictures.length;
  let seen = null;
  const found = await waitUntil(
    async () => {
      seen = await thumbnailFrame(page, gallery.pictures);
      if (!seen || seen.thumbs.length !== n) return null;
      const inView = seen.thumbs.filter((t) => t.inView);
      if (inView.length === 0 || !inView.every((t) => t.complete && t.naturalWidth > 0)) return null;
      return seen;
    },
    {
      describe: () =>
        `${what}: ${n} thumbnails, those in view loaded; saw ${
          seen ? seen.thumbs.map((t) => `${t.alt}${t.inView ? (t.naturalWidth > 0 ? '(loaded)' : '(in view, not loaded)') : ''}`).join(' ') : 'none'
        }`,
    },
  );
  assert.deepEqual(
    found.thumbs.map((t, k) => (t.alt === gallery.pictures[k]?.caption ? gallery.pictures[k].display : t.alt)),
    gallery.pictures.map((p) => p.display),
    `${what}: thumbnails in gallery order with the pictures' names or captions as alt text`,
  );
  for (const [k, thumb] of found.thumbs.entries()) {
    assert.equal(thumb.loading, 'lazy', `${what}: thumbnail ${k} loads lazily`);
    if (!thumb.inView) continue;
    const picture = gallery.pictures[k];
    assert.ok(
      keepsAspect(thumb, picture),
      `${what}: thumbnail ${k} (${picture.name}, ${picture.width}×${picture.height}) shown as ` +
        `${thumb.width.toFixed(1)}×${thumb.height.toFixed(1)} from ${thumb.naturalWidth}×${thumb.naturalHeight}, object-fit ${thumb.objectFit}`,
    );
    if (!gallery.thumbnails) {
      assert.ok(thumb.attrWidth && thumb.attrHeight, `${what}: full-size thumbnail ${k} carries width and height`);
      assert.ok(
        // The scale is taken in whole percent, so a side may pass the box by a percent.
        Number(thumb.attrWidth) <= gallery.box.width * 1.02 + 1 && Number(thumb.attrHeight) <= gallery.box.height * 1.02 + 1,
        `${what}: thumbnail ${k} fits the ${gallery.box.width}×${gallery.box.height} box (${thumb.attrWidth}×${thumb.attrHeight})`,
      );
    }
  }
  return found;
}

/** Clicks thumbnail k in whichever frame shows the thumbnails. */
export async function clickThumbnail(page, gallery, k) {
  const found = await thumbnailFrame(page, gallery.pictures);
  assert.ok(found, 'thumbnails are shown');
  const thumb = found.frame.locator('img[loading="lazy"]').nth(found.thumbs[k].index - found.thumbs[0].index);
  await thumb.scrollIntoViewIfNeeded();
  await thumb.click();
}

/**
 * Waits until picture k is the one in view, loaded, undistorted, never larger than itself,
 * with its name, and with its filelist columns under their headings when the gallery has them.
 */
export async function checkPictureShown(page, gallery, k, what) {
  const picture = gallery.pictures[k];
  const seen = await waitForPicture(page, picture.name);
  const image = seen.image;
  assert.ok(keepsAspect(image, picture), `${what}: ${picture.name} keeps its proportions (${image.width}×${image.height})`);
  assert.ok(
    image.width <= picture.width + 1 && image.height <= picture.height + 1,
    `${what}: ${picture.name} is not shown larger than ${picture.width}×${picture.height} (${image.width}×${image.height})`,
  );
  const text = await seen.frame.evaluate(() => document.body.innerText);
  assert.ok(text.includes(picture.display), `${what}: the name ${picture.display} is shown`);
  if (picture.caption) {
    assert.ok(text.includes(picture.caption), `${what}: the caption "${picture.caption}" is shown`);
    for (const heading of gallery.filelist.heading) {
      assert.ok(text.includes(heading), `${what}: the filelist heading ${heading} is shown`);
    }
  }
  return seen;
}

/** True when thumbnails are in view and no picture view is shown over or beside them. */
export async function listInFront(page, gallery) {
  if ((await mainPicture(page)) !== null) return false;
  const found = await thumbnailFrame(page, gallery.pictures);
  return found !== null && found.thumbs.some((t) => t.inView);
}

/** Clicks the link whose own text is `name` (decorations added by style sheets aside). */
export async function clickLink(page, name) {
  const escaped = name.replace(/[.*+?^$()|[\]{}\\]/g, '\\$&');
  const exact = new RegExp(`^\\s*${escaped}\\s*$`);
  await page.locator('a').filter({ hasText: exact }).first().click();
}

/** Presses `key` and waits for picture k. */
export async function pressFor(page, gallery, key, k, what) {
  await page.keyboard.press(key);
  return checkPictureShown(page, gallery, k, `${what} after ${key}`);
}

/**
 * With picture `from` in view and the slide show on: space starts it, the next picture comes
 * after about the slide time (1 s), space stops it again.
 */
export async function checkSlideShow(page, gallery, from, what) {
  const n = gallery.pictures.length;
  const started = Date.now();
  await page.keyboard.press(' ');
  await waitForPicture(page, gallery.pictures[(from + 1) % n].name, 6000);
  const first = Date.now() - started;
  assert.ok(first >= 800, `${what}: the slide show waits its time before the next picture (${first} ms)`);
  await waitForPicture(page, gallery.pictures[(from + 2) % n].name, 6000);
  await page.keyboard.press(' ');
  await page.waitForTimeout(400); // a picture already on its way may still arrive
  const stopped = (await mainPicture(page)).image.file;
  await page.waitForTimeout(1600);
  assert.equal((await mainPicture(page)).image.file, stopped, `${what}: space stops the slide show`);
  return gallery.pictures.findIndex((p) => p.name === stopped);
}

/** Checks that no slide show starts: no visible control, and space changes nothing. */
export async function checkNoSlideShow(page, gallery, k, what) {
  const text = await visibleText(page);
  assert.ok(!text.includes('スライドショー'), `${what}: no slide-show control without the slide show`);
  await page.keyboard.press(' ');
  await page.waitForTimeout(1500);
  assert.equal((await mainPicture(page)).image.file, gallery.pictures[k].name, `${what}: space starts nothing`);
}

/** The given links are shown with their addresses, and no link without a name is. */
export async function checkLinks(page, expected, what) {
  const links = await visibleLinks(page);
  for (const link of expected) {
    const hit = links.find((l) => l.text === link.name);
    assert.ok(hit, `${what}: link ${link.name} shown; links: ${links.map((l) => l.text).join(', ')}`);
    assert.equal(hit.href, link.url, `${what}: link ${link.name} leads to ${link.url}`);
  }
  const unnamed = links.filter((l) => l.text === '' && l.label === '');
  assert.deepEqual(unnamed.map((l) => l.href), [], `${what}: no link without a name is shown`);
}

/** Title and sub-title are shown. */
export async function checkHeadings(page, gallery, what) {
  const text = await waitUntil(async () => {
    const t = await visibleText(page);
    return t.includes(gallery.title) && t.includes(gallery.subTitle) ? t : null;
  }, { describe: async () => `${what}: title ${gallery.title} and sub-title ${gallery.subTitle} in: ${(await visibleText(page)).slice(0, 300)}` });
  return text;
}

/** Saves a screenshot in the output folder; with MIVO_UPDATE_DOCS=1 also as docs/<docName>. */
export async function screenshot(page, name, docName) {
  mkdirSync(outputDir, { recursive: true });
  await page.waitForTimeout(450); // let fades finish
  const path = join(outputDir, `${name}.png`);
  await page.screenshot({ path });
  if (docName && process.env.MIVO_UPDATE_DOCS === '1') {
    mkdirSync(join(repoDir, 'docs'), { recursive: true });
    copyFileSync(path, join(repoDir, 'docs', docName));
  }
}

export { visibleFrames, visibleText, waitUntil, mainPicture };

/**
 * The thumbnail table's columns: the setting is the least number a row holds (as many as there
 * are pictures), and a row holds more only where cells as wide as the thumbnail box (the
 * widest thumbnail) fit; with 0 (fit the window) the names are not shown.
 */
export async function checkColumns(page, gallery, what) {
  const found = await thumbnailFrame(page, gallery.pictures);
  const names = new Set(gallery.pictures.flatMap((p) => [p.display, p.caption].filter(Boolean)));
  const { row, cell, box } = await found.frame.evaluate((alts) => {
    const imgs = [...document.images].filter((img) => alts.includes(img.alt));
    const cells = imgs.map((img) => (img.closest('a') ?? img).getBoundingClientRect());
    return {
      row: cells.filter((r) => Math.abs(r.top - cells[0].top) < 2).length,
      cell: cells[0].width,
      box: Math.max(0, ...imgs.map((img) => Number(img.getAttribute('width')) || 0)),
    };
  }, [...names]);
  if (gallery.columns > 0) {
    const least = Math.min(gallery.columns, gallery.pictures.length);
    assert.ok(row >= least, `${what}: at least ${least} thumbnails per row (${row})`);
    if (row > least && box > 0) assert.ok(cell >= box, `${what}: more than ${least} per row only in cells of the box (${cell} px for ${box})`);
  } else {
    assert.ok(row > 1, `${what}: the thumbnails fill the window's width (${row} in the first row)`);
    const text = await found.frame.evaluate(() => document.body.innerText);
    const shown = gallery.pictures.filter((p) => text.includes(p.display)).map((p) => p.display);
    assert.deepEqual(shown, [], `${what}: no file names when the columns fit the window`);
  }
}
