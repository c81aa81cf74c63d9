// A menu-mode run in Chromium, opened from disk and over http: the menu page leads to every
// gallery, and the previous/next links of the galleries join them in a row.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { buildMenuGalleries } from './lib/fixtures.mjs';
import { imagesIn, keepsAspect } from './lib/pages.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import {
  addressing,
  assertNoProblems,
  checkColumns,
  checkHeadings,
  checkLinks,
  checkPictureShown,
  checkSlideShow,
  checkThumbnails,
  clickLink,
  clickThumbnail,
  screenshot,
  waitUntil,
} from './lib/checks.mjs';

let workspace;
let menu;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    menu = buildMenuGalleries(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

/** The links a gallery's pages carry in menu mode: back to the menu, previous, next. */
function galleryLinks(url, i) {
  const all = menu.galleries;
  const links = [{ name: 'ホーム', url: url(menu.menuPath) }];
  if (i > 0) links.push({ name: all[i - 1].name, url: url(all[i - 1].indexPath) });
  if (i + 1 < all.length) links.push({ name: all[i + 1].name, url: url(all[i + 1].indexPath) });
  return links;
}

for (const protocol of ['file', 'http']) {
  describe(`menu mode over ${protocol}`, () => {
    test('the menu page shows a card per gallery with its first picture and leads to each gallery', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      try {
        for (const [i, gallery] of menu.galleries.entries()) {
          await page.goto(url(menu.menuPath));
          const text = await waitUntil(async () => {
            const t = await page.evaluate(() => document.body.innerText);
            return menu.galleries.every((g) => t.includes(g.name)) && t.includes(menu.title) ? t : null;
          }, { describe: 'the menu shows its title and every gallery name' });
          assert.ok(text);
          const card = page.getByRole('link', { name: gallery.name });
          assert.equal(await card.count(), 1, `one card for ${gallery.name}`);
          assert.equal(await card.evaluate((a) => a.href), url(gallery.indexPath), `card ${i} leads to gallery ${i + 1}`);

          const first = gallery.pictures[0];
          const image = await waitUntil(async () => {
            const index = await card.evaluate((a) => {
              const img = a.querySelector('img');
              return img ? [...document.images].indexOf(img) : -1;
            });
            if (index < 0) return null;
            const img = (await imagesIn(page.mainFrame()))[index];
            return img.complete && img.naturalWidth > 0 ? img : null;
          }, { describe: `the first picture of ${gallery.name} loads on its card` });
          assert.equal(image.file, first.name, `card ${i} shows the gallery's first picture`);
          assert.ok(keepsAspect(image, first), `card ${i} keeps the proportions of ${first.name}`);
          if (i === 0 && protocol === 'file') await screenshot(page, 'menu', null);

          await card.click();
          await page.waitForURL(url(gallery.indexPath) + '**');
          await checkHeadings(page, gallery, `gallery ${i + 1}`);
          await checkThumbnails(page, gallery, `gallery ${i + 1}`);
          await checkLinks(page, galleryLinks(url, i), `gallery ${i + 1} index`);
        }
        assertNoProblems(page, 'menu page');
      } finally {
        await page.closeAll();
      }
    });

    test('previous and next links join the galleries; the menu link leads back', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      const all = menu.galleries;
      try {
        await page.goto(url(all[0].listPath));
        for (let i = 0; i < all.length; i++) {
          await checkHeadings(page, all[i], `list page of gallery ${i + 1}`);
          await checkThumbnails(page, all[i], `list page of gallery ${i + 1}`);
          await checkColumns(page, all[i], `list page of gallery ${i + 1}`);
          await checkLinks(page, galleryLinks(url, i), `list page of gallery ${i + 1}`);
          if (i + 1 < all.length) {
            await clickLink(page, all[i + 1].name);
            await page.waitForURL(url(all[i + 1].indexPath) + '**');
            await page.goto(url(all[i + 1].listPath));
          }
        }
        // From the last gallery's picture page back to the one before, and home to the menu.
        const last = all.length - 1;
        await clickThumbnail(page, all[last], 0);
        await checkPictureShown(page, all[last], 0, 'picture page of the last gallery');
        await checkLinks(page, galleryLinks(url, last), 'picture page of the last gallery');
        await clickLink(page, all[last - 1].name);
        await page.waitForURL(url(all[last - 1].indexPath) + '**');
        await checkHeadings(page, all[last - 1], 'gallery reached by the previous link');
        await clickLink(page, 'ホーム');
        await page.waitForURL(url(menu.menuPath) + '**');
        assertNoProblems(page, 'gallery links');
      } finally {
        await page.closeAll();
      }
    });

    test('a gallery with filelist.csv shows its captions, and its slide show plays', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      const gallery = menu.galleries.find((g) => g.filelist);
      try {
        await page.goto(url(gallery.indexPath));
        await checkThumbnails(page, gallery, 'filelist gallery');
        await clickThumbnail(page, gallery, 1);
        await checkPictureShown(page, gallery, 1, 'filelist gallery picture');
        await checkSlideShow(page, gallery, 1, 'filelist gallery');
        assertNoProblems(page, 'filelist gallery');
      } finally {
        await page.closeAll();
      }
    });
  });
}
