// Single-mode galleries in Chromium, opened from disk and over http: one with thumbnails,
// slide show, filelist.csv and the index view at a start picture; one with none of these.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { buildPlainGallery, buildSampleGallery, buildSingleGallery } from './lib/fixtures.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import {
  addressing,
  assertNoProblems,
  checkColumns,
  checkHeadings,
  checkLinks,
  checkNoSlideShow,
  checkPictureShown,
  checkSlideShow,
  checkThumbnails,
  clickThumbnail,
  listInFront,
  pressFor,
  screenshot,
  waitUntil,
} from './lib/checks.mjs';

let workspace;
let single;
let plain;
let sample;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    single = buildSingleGallery(ws);
    plain = buildPlainGallery(ws);
    sample = buildSampleGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

for (const protocol of ['file', 'http']) {
  describe(`single mode over ${protocol}`, () => {
    test('the index page opens on the start picture beside the thumbnails; clicks, keys and the slide show move through the pictures', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      try {
        await page.goto(url(single.indexPath));
        await checkHeadings(page, single, 'index view');
        assert.notEqual(single.startIndex, 0, 'the start picture is not simply the first one');
        await checkPictureShown(page, single, single.startIndex, 'index view, start picture');
        await checkThumbnails(page, single, 'index view');
        await checkLinks(page, single.links, 'index view');
        if (protocol === 'file') await screenshot(page, 'index-view', null);

        const n = single.pictures.length;
        const k = 2;
        await clickThumbnail(page, single, k);
        await checkPictureShown(page, single, k, `index view, thumbnail ${k} clicked`);
        await pressFor(page, single, 'ArrowRight', k + 1, 'index view');
        await pressFor(page, single, 'ArrowLeft', k, 'index view');
        await pressFor(page, single, 'End', n - 1, 'index view');
        await pressFor(page, single, 'Home', 0, 'index view');
        await checkSlideShow(page, single, 0, 'index view');

        // Escape leaves the picture for the full list.
        await page.keyboard.press('Escape');
        await waitUntil(() => listInFront(page, single), { describe: 'Escape shows the list' });
        await checkThumbnails(page, single, 'list view after Escape');
        if (protocol === 'file') await screenshot(page, 'index-list', null);
        assertNoProblems(page, 'index page');
      } finally {
        await page.closeAll();
      }
    });

    test('the list page opens each picture in the picture page, which keys navigate and Escape leaves', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      try {
        await page.goto(url(single.listPath));
        await checkHeadings(page, single, 'list page');
        await checkThumbnails(page, single, 'list page');
        await checkColumns(page, single, 'list page');
        await checkLinks(page, single.links, 'list page');
        if (protocol === 'file') await screenshot(page, 'list', null);

        const n = single.pictures.length;
        for (const k of [0, n - 1]) {
          await page.goto(url(single.listPath));
          await checkThumbnails(page, single, 'list page');
          await clickThumbnail(page, single, k);
          await checkPictureShown(page, single, k, `picture page from thumbnail ${k}`);
        }
        await pressFor(page, single, 'ArrowLeft', n - 2, 'picture page');
        await pressFor(page, single, 'Home', 0, 'picture page');
        await pressFor(page, single, 'ArrowRight', 1, 'picture page');
        await checkLinks(page, single.links, 'picture page');
        if (protocol === 'file') await screenshot(page, 'pict', null);
        await checkSlideShow(page, single, 1, 'picture page');

        await page.keyboard.press('Escape');
        await page.waitForURL(/\/list\.html(#.*)?$/);
        await checkThumbnails(page, single, 'list page after Escape');
        assertNoProblems(page, 'list and picture pages');
      } finally {
        await page.closeAll();
      }
    });

    test('the slide-show button of the list page plays from the first picture', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      try {
        await page.goto(url(single.listPath));
        await checkThumbnails(page, single, 'list page');
        await page.getByRole('link', { name: 'スライドショー' }).click();
        await checkPictureShown(page, single, single.startIndex >= 0 ? single.startIndex : 0, 'slide show start');
        const next = (Math.max(single.startIndex, 0) + 1) % single.pictures.length;
        await checkPictureShown(page, single, next, 'slide show after its time');
        assertNoProblems(page, 'slide show');
      } finally {
        await page.closeAll();
      }
    });

    test('without thumbnails, slide show and filelist.csv the index opens on the list and pictures still open', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      try {
        await page.goto(url(plain.indexPath));
        await checkHeadings(page, plain, 'plain index');
        await checkThumbnails(page, plain, 'plain index');
        await checkColumns(page, plain, 'plain index');
        assert.ok(await listInFront(page, plain), 'start type 0 opens on the list');
        await checkLinks(page, plain.links, 'plain index');
        if (protocol === 'file') await screenshot(page, 'index-fit-columns', null);

        const k = 1;
        await clickThumbnail(page, plain, k);
        await checkPictureShown(page, plain, k, 'plain picture');
        await pressFor(page, plain, 'ArrowRight', k + 1, 'plain picture');
        await checkNoSlideShow(page, plain, k + 1, 'plain picture');
        await page.keyboard.press('Escape');
        await waitUntil(() => listInFront(page, plain), { describe: 'Escape shows the list again' });
        assertNoProblems(page, 'plain gallery');
      } finally {
        await page.closeAll();
      }
    });
  });
}

test('the sample album as shipped makes a clean gallery (the README pictures)', async () => {
  const page = await watchedPage(browser);
  try {
    await page.goto(addressing('http', server)(sample.indexPath));
    await checkHeadings(page, sample, 'sample index');
    await checkThumbnails(page, sample, 'sample index');
    await checkColumns(page, sample, 'sample index');
    await screenshot(page, 'sample-index', 'gallery-index.png');
    // The picture page on its own carries the titles and links as well.
    await page.goto(addressing('http', server)(sample.listPath));
    await checkThumbnails(page, sample, 'sample list');
    const k = sample.pictures.findIndex((p) => p.name === 'sunrise.jpg');
    await clickThumbnail(page, sample, k);
    await checkPictureShown(page, sample, k, 'sample picture');
    await screenshot(page, 'sample-picture', 'gallery-picture.png');
    assertNoProblems(page, 'sample album');
  } finally {
    await page.closeAll();
  }
});

test('on a phone the list, the picture and the index view fit the screen', async () => {
  const page = await watchedPage(browser, { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true });
  try {
    await page.goto(addressing('file')(single.listPath));
    await checkThumbnails(page, single, 'phone list');
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
    assert.ok(overflow <= 0, `the list does not scroll sideways on a phone (${overflow} px too wide)`);
    await screenshot(page, 'phone-list', null);
    await clickThumbnail(page, single, 0);
    const seen = await checkPictureShown(page, single, 0, 'phone picture');
    assert.ok(seen.image.width <= 390, 'the picture fits the phone screen');
    await screenshot(page, 'phone-pict', null);

    // The index view puts the picture above a strip of thumbnails.
    await page.goto(addressing('file')(single.indexPath));
    await checkPictureShown(page, single, single.startIndex, 'phone index view');
    await checkThumbnails(page, single, 'phone index view');
    await clickThumbnail(page, single, 0);
    await checkPictureShown(page, single, 0, 'phone index view, first thumbnail');
    await screenshot(page, 'phone-index', null);
    assertNoProblems(page, 'phone');
  } finally {
    await page.closeAll();
  }
});
