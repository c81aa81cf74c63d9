// A folder-tree run in Chromium, opened from disk and over http: from the root to an album of
// an album, a picture there, and back up by the path above the title; every link of every
// page on the way leads to a file the run made.
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import { fillPictureFolder } from './lib/gallery.mjs';
import { waitUntil } from './lib/pages.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, checkPictureShown, clickThumbnail } from './lib/checks.mjs';

let workspace;
let tree;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    const pics = join(ws.root, 'album', 'tree');
    const kyoto = fillPictureFolder(join(pics, '2024', '京都 #1'), null, ['IMG_10.jpg', 'IMG_2.jpg'], ws.sources);
    fillPictureFolder(join(pics, '2024', '夏'), null, ['海.jpg'], ws.sources.slice(1));
    fillPictureFolder(pics, null, ['top.jpg'], ws.sources);
    const site = makeGallery(ws.root, 'tree', (out) => ({
      Ini: { Mode: 2 },
      Path: { Pic: pics, Index: join(out, 'index.html'), Html: 'albums', Start: '' },
      Html: { Title: 'ツリー', TitleS: '写真', Start: 0, Slide: 0, TUse: 0, TWidth: 160, THeight: 160, LWidth: 3 },
      Filelist: { Use: 0 },
    }));
    tree = {
      site,
      root: join(site, 'index.html'),
      year: join(site, 'albums', '2024', 'index.html'),
      kyoto: join(site, 'albums', '2024', '京都 _1', 'index.html'),
      // Natural order: IMG_2 before IMG_10.
      kyotoGallery: { pictures: [kyoto[1], kyoto[0]] },
    };
  }));
});

after(() => closeSession({ workspace, server, browser }));

/** The file an address of this session names, or null for one outside it. */
function fileOf(protocol, href) {
  const address = new URL(href);
  address.hash = '';
  address.search = '';
  if (protocol === 'file') return address.protocol === 'file:' ? fileURLToPath(address) : null;
  const base = new URL(server.url(workspace.root + '/'));
  if (address.origin !== base.origin) return null;
  return join(workspace.root, decodeURIComponent(address.pathname.slice(base.pathname.length)));
}

/** Every link and image of the page and its frames leads to a file the run made. */
async function checkEveryLink(page, protocol, what) {
  for (const frame of page.frames()) {
    let targets;
    try {
      targets = await frame.evaluate(() =>
        [...document.querySelectorAll('a[href], img[src]')]
          .map((e) => (e.tagName === 'A' ? e.href : e.src))
          .filter((u) => u && !u.startsWith('javascript:') && !u.startsWith('data:')),
      );
    } catch {
      continue;
    }
    for (const target of targets) {
      const file = fileOf(protocol, target);
      if (file === null || target.includes('example.invalid')) continue;
      assert.ok(existsSync(file), `${what}: ${target} leads to a file (${file})`);
    }
  }
}

/** Follows the link named `name` in the page or one of its frames. */
async function follow(page, name) {
  const link = await waitUntil(async () => {
    for (const frame of page.frames()) {
      const found = frame.getByRole('link', { name, exact: true });
      if ((await found.count()) > 0 && (await found.first().isVisible())) return found.first();
    }
    return null;
  }, { describe: () => `a visible link ${name}` });
  await link.click();
}

for (const protocol of ['file', 'http']) {
  describe(`folder tree over ${protocol}`, () => {
    test('root -> album -> album -> picture -> back up, every link resolving', async () => {
      const url = addressing(protocol, server);
      const page = await watchedPage(browser);
      try {
        await page.goto(url(tree.root));
        await follow(page, /^2024/);
        await page.waitForURL(url(tree.year) + '**');
        await checkEveryLink(page, protocol, 'the album of albums');
        await follow(page, /京都 #1/);
        await page.waitForURL(url(tree.kyoto) + '**');
        // Where it is, each step a link.
        const crumbs = page.locator('nav.crumbs a');
        await waitUntil(async () => (await crumbs.count()) === 4);
        assert.deepEqual(await crumbs.allInnerTexts(), ['写真', '2024', '京都 #1', '上へ']);
        await clickThumbnail(page, tree.kyotoGallery, 0);
        await checkPictureShown(page, tree.kyotoGallery, 0, 'first picture of 京都 #1');
        await checkEveryLink(page, protocol, 'the picture view of 京都 #1');
        await page.goto(url(tree.kyoto));
        await follow(page, '上へ');
        await page.waitForURL(url(tree.year) + '**');
        await follow(page, '写真');
        await page.waitForURL(url(tree.root) + '**');
        // The root lists its albums above its own pictures.
        const cards = page.locator('#albums a.album');
        await waitUntil(async () => (await cards.count()) === 1);
        assert.match(await cards.first().innerText(), /2024[\s\S]*3 件/);
        await checkEveryLink(page, protocol, 'the root');
        assertNoProblems(page, 'folder tree');
      } finally {
        await page.closeAll();
      }
    });
  });
}
