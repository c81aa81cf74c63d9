// A gallery of 320 pictures as it loads on a desktop and on a phone: the page must not move
// once painted (cumulative layout shift over the whole load, summed over every frame); its
// picture view shows the shooting data, turned pictures upright and quoted captions whole.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { buildLargeGallery, camera } from './lib/large.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';

let workspace;
let large;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    large = buildLargeGallery(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

export const viewports = {
  desktop: { viewport: { width: 1366, height: 768 } },
  phone: { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true },
};

// Every frame adds up its own layout shifts, from its first paint on.
const measureShifts = () => {
  window.__mivoShift = 0;
  window.__mivoShifts = [];
  try {
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) {
        if (entry.hadRecentInput) continue;
        window.__mivoShift += entry.value;
        window.__mivoShifts.push({
          value: entry.value,
          at: Math.round(entry.startTime),
          nodes: (entry.sources || []).map((s) => (s.node && s.node.nodeName) + '.' + (s.node && s.node.className)),
        });
      }
    }).observe({ type: 'layout-shift', buffered: true });
  } catch {
    // A browser without layout-shift entries reports nothing.
  }
};

async function totalShift(page) {
  let total = 0;
  const detail = [];
  for (const frame of page.frames()) {
    if (frame.isDetached()) continue;
    try {
      const r = await frame.evaluate(() => ({ sum: window.__mivoShift || 0, list: window.__mivoShifts || [] }));
      total += r.sum;
      if (r.sum) detail.push(`${frame.url().replace(/^.*\//, '')}: ${JSON.stringify(r.list)}`);
    } catch {
      // A frame that went away.
    }
  }
  return { total, detail };
}

for (const [device, options] of Object.entries(viewports)) {
  for (const protocol of ['file', 'http']) {
    describe(`a 320-picture gallery on a ${device} over ${protocol}`, () => {
      for (const [what, path] of [['index page', () => large.indexPath], ['list page', () => large.listPath]]) {
        test(`the ${what} does not move while it loads`, async () => {
          const url = addressing(protocol, server);
          const page = await watchedPage(browser, options);
          try {
            await page.addInitScript(measureShifts);
            await page.goto(url(path()), { waitUntil: 'load' });
            // Thumbnails in view have arrived.
            await waitUntil(
              async () => {
                for (const frame of page.frames()) {
                  const done = await frame
                    .evaluate(() => {
                      const imgs = [...document.querySelectorAll('#grid img')];
                      if (!imgs.length) return false;
                      return imgs.filter((i) => i.getBoundingClientRect().top < innerHeight).every((i) => i.complete && i.naturalWidth > 0);
                    })
                    .catch(() => false);
                  if (done) return true;
                }
                return false;
              },
              { describe: 'thumbnails in view load' },
            );
            await page.waitForTimeout(800);
            const { total, detail } = await totalShift(page);
            assert.ok(total <= 0.05, `layout shift ${total.toFixed(3)} is at most 0.05\n${detail.join('\n')}`);
            assertNoProblems(page, what);
          } finally {
            await page.closeAll();
          }
        });
      }
    });
  }
}

for (const protocol of ['file', 'http']) {
  describe(`the 320-picture gallery's picture view over ${protocol}`, () => {
    test('shows shooting data, turned pictures upright and captions whole', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser, viewports.desktop);
      try {
        const pictFrame = () => page.frames().find((f) => /pict\.html#embed/.test(f.url()));
        const shown = async (picture) => {
          await waitUntil(
            async () => {
              const f = pictFrame();
              if (!f) return false;
              // The name may change a moment before the new picture replaces the old one.
              return f.evaluate(([name, file]) => {
                const img = document.getElementById('photo');
                return document.getElementById('name').textContent === name && decodeURIComponent(img.currentSrc).includes(file) && img.complete && img.naturalWidth > 0 && !img.classList.contains('placeholder');
              }, [picture.display, picture.name]);
            },
            { describe: `${picture.name} is shown` },
          );
          return pictFrame().evaluate(() => {
            const r = document.getElementById('photo').getBoundingClientRect();
            return {
              exif: document.getElementById('exif').innerText,
              fields: document.getElementById('fields').innerText,
              counter: document.getElementById('counter').textContent,
              width: r.width,
              height: r.height,
            };
          });
        };
        const [landscape, portrait, , rotated] = large.pictures;
        await page.goto(`${url(large.indexPath)}#view=list&name=${landscape.name}`);
        let seen = await shown(landscape);
        for (const text of [camera.model, camera.lens, '2025-04-05 06:07:08', '1/250 s', 'f/2.8', 'ISO 400', '35 mm']) {
          assert.ok(seen.exif.includes(text), `the shooting data shows ${text}: ${seen.exif}`);
        }
        assert.ok(seen.fields.includes(landscape.caption), `the quoted caption is whole: ${seen.fields}`);
        assert.match(seen.counter, /1 \/ 320/);

        await page.keyboard.press('ArrowRight');
        seen = await shown(portrait);
        assert.equal(seen.exif.trim(), '', 'a picture without EXIF shows no shooting data');
        assert.ok(seen.height > seen.width, 'the portrait stands');

        await page.keyboard.press('ArrowRight');
        await page.keyboard.press('ArrowRight');
        seen = await shown(rotated);
        assert.ok(seen.height > seen.width * 1.3, `the picture stored on its side stands upright (${seen.width}x${seen.height})`);
        const entry = await page.evaluate(() => aryPicList[3]);
        assert.match(entry, /,800,1200,photo-004/, 'the maker gives the turned size');

        await page.keyboard.press('End');
        seen = await shown(large.pictures[319]);
        assert.match(seen.counter, /320 \/ 320/);
        assertNoProblems(page, 'large gallery');
      } finally {
        await page.closeAll();
      }
    });
  });
}

describe('the 320-picture gallery on a slow line', () => {
  test('the list holds back its thumbnails while the picture view is open and resumes after', async () => {
    const url = addressing('http', server);
    const page = await watchedPage(browser, viewports.desktop);
    try {
      // Thumbnails take their time, so some are still on their way when the viewer opens.
      await page.route('**/thumbs/**', (route) => setTimeout(() => route.continue().catch(() => {}), 1500));
      await page.goto(url(large.indexPath));
      const list = await waitUntil(() => page.frames().find((f) => /list\.html#embed/.test(f.url())) ?? null, {
        describe: 'the list frame',
      });
      await waitUntil(() => page.evaluate(() => document.getElementById('shell').classList.contains('ready')), {
        describe: 'the list has answered',
      });
      await list.locator('[data-no="0"]').click();
      const state = () =>
        list.evaluate(() => {
          const imgs = [...document.querySelectorAll('#grid img')];
          return {
            held: imgs.filter((i) => i.hasAttribute('data-held') && !i.getAttribute('src')).length,
            loading: imgs.filter((i) => i.getAttribute('src') && !i.complete).length,
          };
        });
      const open = await waitUntil(async () => {
        const s = await state();
        return s.held > 0 ? s : null;
      }, { describe: 'thumbnails on their way are held back' });
      assert.equal(open.loading, 0, 'no thumbnail loads behind the open viewer');
      // Escape goes to the viewer once it has loaded and holds the focus; a key pressed while
      // its page is still on its way would land in the empty frame before it.
      await waitUntil(
        async () => {
          const f = page.frames().find((frame) => /pict\.html#embed/.test(frame.url()));
          if (!f) return false;
          return f.evaluate(() => {
            const img = document.getElementById('photo');
            return document.hasFocus() && img.complete && img.naturalWidth > 0 && !img.classList.contains('placeholder');
          });
        },
        { describe: 'the picture view shows its picture and holds the focus' },
      );
      await page.keyboard.press('Escape');
      await waitUntil(async () => (await state()).held === 0, { describe: 'the held thumbnails go on loading' });
      await waitUntil(
        () => list.evaluate(() => [...document.querySelectorAll('#grid img')].filter((i) => i.getBoundingClientRect().top < innerHeight).every((i) => i.complete && i.naturalWidth > 0)),
        { describe: 'the thumbnails in view arrive', timeout: 15000 },
      );
    } finally {
      await page.closeAll();
    }
  });
});
