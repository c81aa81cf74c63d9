// Captions the pictures hold (XMP description, EXIF ImageDescription) are shown where
// filelist.csv gives none: as the thumbnails' text alternatives in the list and as text in the
// picture view, never as markup, with camera boilerplate left out.
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { assertNoProblems, waitUntil } from './lib/checks.mjs';
import { withExif, withXmpDescription } from './lib/exif.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import { fillPictureFolder, listingOrder } from './lib/gallery.mjs';
import { waitForPicture } from './lib/pages.mjs';
import { closeSession, openSession } from './lib/session.mjs';

const hakone = '箱根の家族旅行';
const hostile = '<script>window.__mivoHacked = 1</script> & <b>太字</b> Ω';

let workspace;
let server;
let browser;
let gallery;

function buildCaptionGallery({ root, sources }) {
  const pics = join(root, 'captions', 'pics');
  const names = ['hakone.jpg', 'hostile.jpg', 'camera.jpg'];
  fillPictureFolder(pics, null, names, sources);
  const rewrite = (name, change) => writeFileSync(join(pics, name), change(readFileSync(join(pics, name))));
  rewrite('hakone.jpg', (jpeg) => withXmpDescription(withExif(jpeg, { description: 'SONY DSC' }), hakone));
  rewrite('hostile.jpg', (jpeg) => withExif(jpeg, { description: hostile }));
  rewrite('camera.jpg', (jpeg) => withExif(jpeg, { description: 'OLYMPUS DIGITAL CAMERA' }));
  const out = makeGallery(root, 'captions', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: '説明', TitleS: '旅', Start: 0, Slide: 0, TUse: 0, TWidth: 160, THeight: 120, LWidth: 3 },
    Filelist: { Use: 0, Width: 0, Height: 0 },
  }));
  return { out, names: listingOrder(names) };
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    gallery = buildCaptionGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

const expected = { 'hakone.jpg': hakone, 'hostile.jpg': hostile, 'camera.jpg': 'camera' };

test('captions the pictures hold are the thumbnails\' text alternatives, as text', async () => {
  const page = await watchedPage(browser);
  await page.goto(server.url(join(gallery.out, 'index.html')));
  const alts = await waitUntil(
    async () => {
      for (const frame of page.frames()) {
        if (!frame.url().includes('list.html')) continue;
        const seen = await frame.evaluate(() => [...document.querySelectorAll('img')].map((img) => img.alt)).catch(() => []);
        if (seen.length === 3 && seen.includes(hakone)) return seen;
      }
      return null;
    },
    { describe: () => 'the list frame shows three thumbnails with the captions handed over' },
  );
  assert.deepEqual(alts, gallery.names.map((name) => expected[name]));
  assert.equal(await page.evaluate(() => window.__mivoHacked), undefined);
  for (const frame of page.frames()) {
    assert.equal(await frame.evaluate(() => document.querySelector('b') === null || !document.body.innerHTML.includes('<b>太字</b>')), true);
  }
  assertNoProblems(page, 'list');
  await page.close();
});

test('the picture view shows the caption a picture holds as text, and none for boilerplate', async () => {
  const page = await watchedPage(browser);
  for (const name of gallery.names) {
    await page.goto(`${server.url(join(gallery.out, 'pict.html'))}#name=${encodeURIComponent(name)}`);
    const seen = await waitForPicture(page, name);
    const shown = await seen.frame.evaluate(() => ({
      fields: document.getElementById('fields').innerText,
      alt: document.getElementById('photo').alt,
      hacked: window.__mivoHacked,
      bold: document.querySelectorAll('#fields b').length,
    }));
    assert.equal(shown.hacked, undefined, name);
    assert.equal(shown.bold, 0, name);
    if (name === 'camera.jpg') {
      assert.equal(shown.fields.trim(), '', `${name}: no caption from camera boilerplate`);
      assert.equal(shown.alt, 'camera');
    } else {
      assert.ok(shown.fields.includes(expected[name]), `${name}: the caption is shown (${shown.fields})`);
      assert.equal(shown.alt, expected[name]);
    }
  }
  assertNoProblems(page, 'viewer');
  await page.close();
});
