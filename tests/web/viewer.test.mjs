// The picture view over the list as a visitor meets it: a modal dialog with zoom, full screen
// and a download link, the picture asked for loaded before its neighbours, captions whole.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { buildSingleGallery } from './lib/fixtures.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, checkPictureShown, clickThumbnail, listInFront, waitUntil } from './lib/checks.mjs';

let workspace;
let single;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    single = buildSingleGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

const pictFrameOf = (page) => page.frames().find((f) => /pict\.html#embed/.test(f.url()));
const listFrameOf = (page) => page.frames().find((f) => /list\.html#embed/.test(f.url()));

const devices = {
  desktop: { viewport: { width: 1366, height: 768 } },
  phone: { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true },
};

for (const [device, deviceOptions] of Object.entries(devices)) {
  for (const protocol of ['file', 'http']) {
    describe(`the picture view on a ${device} over ${protocol}`, () => {
      test('is a modal dialog that keeps focus, zooms to 1:1, offers the original and gives focus back to its thumbnail', async () => {
        const url = addressing(protocol, server);
        const page = await watchedPage(browser, deviceOptions);
        try {
          await page.goto(`${url(single.indexPath)}#view=list`);
          const k = 3;
          const picture = single.pictures[k];
          assert.match(picture.caption, /, "/, 'the picture has a quoted caption with a comma and a quote');
          await waitUntil(
            () => listFrameOf(page)?.evaluate((no) => document.querySelector(`[data-no="${no}"] img`).alt, k),
            { describe: 'the thumbnails get their alternatives' },
          );
          const thumbAlt = await listFrameOf(page).evaluate((no) => document.querySelector(`[data-no="${no}"] img`).alt, k);
          assert.equal(thumbAlt, picture.caption, 'the thumbnail\'s text alternative is its caption, whole');
          await clickThumbnail(page, single, k);
          await checkPictureShown(page, single, k, 'viewer over the list');
          const pict = pictFrameOf(page);
          const dialog = await pict.evaluate(() => {
            const v = document.getElementById('viewer');
            return { role: v.getAttribute('role'), modal: v.getAttribute('aria-modal'), label: v.getAttribute('aria-label') };
          });
          assert.deepEqual([dialog.role, dialog.modal], ['dialog', 'true'], 'the viewer is a modal dialog');
          assert.ok(dialog.label, 'the dialog has a label');
          const inert = await page.evaluate(() => [document.getElementById('list-frame').inert, document.getElementById('bar').inert]);
          assert.deepEqual(inert, [true, true], 'the list and the bar behind the viewer are inert');

          // The caption is the picture's text alternative, whole.
          const alt = await pict.evaluate(() => document.getElementById('photo').alt);
          assert.equal(alt, picture.caption);

          for (const key of ['Shift+Tab', 'Shift+Tab', 'Shift+Tab', 'Tab', 'Tab', 'Tab', 'Tab', 'Tab', 'Tab', 'Tab']) {
            await page.keyboard.press(key);
            const inside = await page.evaluate(() => document.activeElement && document.activeElement.id);
            assert.equal(inside, 'pict-frame', `focus stays in the viewer after ${key}`);
          }

          const download = await pict.evaluate(() => {
            const a = document.getElementById('download');
            return { href: decodeURIComponent(a.href), name: a.getAttribute('download'), target: a.target };
          });
          assert.ok(download.href.endsWith(`/${picture.name}`), `the download link leads to the original (${download.href})`);
          // From disk browsers do not download: there the original opens in a tab of its own.
          if (protocol === 'file') assert.deepEqual([download.name, download.target], [null, '_blank']);
          else assert.equal(download.name, picture.name);

          const size = () => pict.evaluate(() => {
            const p = document.getElementById('photo');
            return { w: Math.round(p.getBoundingClientRect().width), natural: p.naturalWidth };
          });
          await pict.locator('#stage').focus();
          await page.keyboard.press('+');
          await waitUntil(async () => { const s = await size(); return s.w === s.natural; }, { describe: '+ shows the picture at 1:1' });
          await page.keyboard.press('-');
          const fitted = await size();
          assert.ok(fitted.w <= fitted.natural, '- fits the picture again');
          await pict.locator('#stage').dblclick();
          await waitUntil(async () => { const s = await size(); return s.w === s.natural; }, { describe: 'a double click shows 1:1' });
          await page.keyboard.press('f');
          await waitUntil(() => pict.evaluate(() => !!document.fullscreenElement), { describe: 'F enters full screen' });
          await page.keyboard.press('f');
          await waitUntil(() => pict.evaluate(() => !document.fullscreenElement), { describe: 'F leaves full screen' });

          if (protocol === 'http') {
            // The picture asked for has arrived before either neighbour was asked for.
            const timing = await pict.evaluate(() =>
              performance.getEntriesByType('resource').map((e) => ({ name: decodeURIComponent(e.name), start: e.startTime, end: e.responseEnd })),
            );
            const of = (p) => timing.find((t) => t.name.endsWith(`/pics/${p.name}`));
            const current = of(picture);
            assert.ok(current, 'the picture was fetched');
            for (const n of [single.pictures[k - 1], single.pictures[k + 1]]) {
              const t = of(n);
              if (t) assert.ok(t.start >= current.end - 1, `${n.name} was asked for only after ${picture.name} had arrived`);
            }
          }

          await page.keyboard.press('Escape');
          await waitUntil(() => listInFront(page, single), { describe: 'Escape shows the list' });
          const back = await listFrameOf(page).evaluate(() => document.activeElement && document.activeElement.getAttribute('data-no'));
          assert.equal(back, String(k), 'focus is back on the thumbnail that was opened');
          assert.equal(await page.evaluate(() => document.getElementById('list-frame').inert), false);
          assertNoProblems(page, 'viewer');
        } finally {
          await page.closeAll();
        }
      });

      if (device === 'phone') {
        test('on a phone, spreading two fingers shows the picture at 1:1 and closing them fits it again', async () => {
          const url = addressing(protocol, server);
          const page = await watchedPage(browser, deviceOptions);
          try {
            const k = 3;
            await page.goto(`${url(single.indexPath)}#view=list&no=${k}`);
            await checkPictureShown(page, single, k, 'phone viewer');
            const pict = pictFrameOf(page);
            const box = await pict.locator('#stage').boundingBox();
            const cx = box.x + box.width / 2;
            const cy = box.y + box.height / 2;
            const cdp = await page.context().newCDPSession(page);
            const pinch = async (from, to) => {
              const points = (d) => [{ x: cx - d, y: cy, id: 1 }, { x: cx + d, y: cy, id: 2 }];
              await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: points(from) });
              for (let step = 1; step <= 6; step++) {
                await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: points(from + ((to - from) * step) / 6) });
              }
              await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
            };
            const zoomed = () => pict.evaluate(() => document.getElementById('stage').classList.contains('zoomed'));
            await pinch(20, 140);
            await waitUntil(zoomed, { describe: 'spreading two fingers zooms to 1:1' });
            await pinch(140, 20);
            await waitUntil(async () => !(await zoomed()), { describe: 'closing two fingers fits the picture' });
            await checkPictureShown(page, single, k, 'the pinch did not move to another picture');
            assertNoProblems(page, 'phone viewer');
          } finally {
            await page.closeAll();
          }
        });
      }

      test('links name their picture: #name= opens it, #no= still works, a new fragment is followed, and without script a thumbnail is a plain link', async () => {
        const url = addressing(protocol, server);
        const page = await watchedPage(browser, deviceOptions);
        try {
          const k = 5;
          const picture = single.pictures[k];
          await page.goto(`${url(single.pictPath)}#name=${encodeURIComponent(picture.name)}`);
          await checkPictureShown(page, single, k, '#name= on the picture page');
          await page.keyboard.press('ArrowRight');
          await checkPictureShown(page, single, k + 1, 'the next picture');
          assert.ok(
            decodeURIComponent(page.url()).endsWith(`#name=${single.pictures[k + 1].name}`),
            `the address names the picture shown (${page.url()})`,
          );
          await page.evaluate(() => { location.hash = '#no=2'; });
          await checkPictureShown(page, single, 2, 'a new #no= fragment');
          await page.evaluate((name) => { location.hash = `#name=${encodeURIComponent(name)}`; }, single.pictures[0].name);
          await checkPictureShown(page, single, 0, 'a new #name= fragment');

          await page.goto(`${url(single.indexPath)}#view=list&name=${encodeURIComponent(picture.name)}`);
          await checkPictureShown(page, single, k, '#name= on the index page');
          assertNoProblems(page, 'deep links');
        } finally {
          await page.closeAll();
        }

        const context = await browser.newContext({ ...deviceOptions, javaScriptEnabled: false });
        try {
          const plain = await context.newPage();
          await plain.goto(url(single.listPath));
          const hrefs = await plain.$$eval('#grid a', (as) => as.map((a) => decodeURIComponent(a.href)));
          assert.equal(hrefs.length, single.pictures.length);
          single.pictures.forEach((p, i) => assert.ok(hrefs[i].endsWith(`/pics/${p.name}`), `thumbnail ${i} links to ${p.name} (${hrefs[i]})`));
          await plain.locator('#grid a').nth(1).click();
          await plain.waitForURL((u) => decodeURIComponent(u.href).endsWith(`/pics/${single.pictures[1].name}`));
        } finally {
          await context.close();
        }
      });
    });
  }
}
