// Every shipped page in light and dark colours, checked by axe-core in each of its frames:
// no finding of any impact (moderate and minor included) and one level-one heading.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { axeFindings } from './lib/axe.mjs';
import { watchedPage } from './lib/browser.mjs';
import { buildMenuGalleries, buildPlainGallery, buildSingleGallery } from './lib/fixtures.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';

let workspace;
let single;
let plain;
let menu;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    single = buildSingleGallery(ws);
    plain = buildPlainGallery(ws);
    menu = buildMenuGalleries(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

const pages = [
  ['the index page in its list view', () => single.indexPath, '#view=list'],
  ['the index page in its index view', () => single.indexPath, '#view=index'],
  ['the index page with the picture over the list', () => single.indexPath, '#view=list&no=1'],
  ['the list page on its own', () => single.listPath, ''],
  ['the picture page on its own', () => single.pictPath, '#no=1'],
  ['the list page of full-size pictures', () => plain.listPath, ''],
  ['the menu page', () => menu.menuPath, ''],
];

const devices = {
  desktop: { viewport: { width: 1366, height: 768 } },
  phone: { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true },
};

for (const [device, deviceOptions] of Object.entries(devices)) {
  for (const colorScheme of ['light', 'dark']) {
    for (const protocol of ['file', 'http']) {
      describe(`axe-core on a ${device} in ${colorScheme} colours over ${protocol}`, () => {
        test('no shipped page has an axe-core finding', async () => {
          const url = addressing(protocol, server);
          const page = await watchedPage(browser, { ...deviceOptions, colorScheme, reducedMotion: 'reduce' });
          const found = [];
          try {
            for (const [what, path, hash] of pages) {
              await page.goto('about:blank');
              await page.goto(url(path()) + hash);
              await waitUntil(() => page.evaluate(() => document.readyState === 'complete'), { describe: `${what} loads` });
              // Let the frames settle and the picture arrive.
              await page.waitForTimeout(700);
              for (const line of await axeFindings(page)) found.push(`${what}: ${line}`);
            }
            assert.deepEqual(found, []);

            // A plain body tag, and the one a fresh Mivo.ini holds, follow the visitor's preference.
            const background = async (path) => {
              await page.goto(url(path));
              return page.evaluate(() => getComputedStyle(document.body).backgroundColor);
            };
            for (const [what, path] of [['plain body', single.listPath], ['default body', plain.listPath]]) {
              const own = await background(path);
              assert.equal(own === 'rgb(255, 255, 255)', colorScheme === 'light', `${what} in ${colorScheme}: ${own}`);
            }
            assertNoProblems(page, 'pages');
          } finally {
            await page.closeAll();
          }
        });
      });
    }
  }
}
