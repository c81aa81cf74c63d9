// A gallery of 320 pictures as it loads on a desktop and on a phone: the page must not move
// once painted (cumulative layout shift over the whole load, summed over every frame).
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { buildLargeGallery } from './lib/large.mjs';
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
