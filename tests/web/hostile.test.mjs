// A gallery whose file names, captions and filelist heading try to become markup or script,
// opened in Chromium from disk and over http: nothing runs, nothing breaks, every thumbnail
// loads, and the names and captions are shown as the text they are.
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';
import { textFileBytes } from './lib/cp932.mjs';
import { makeGallery } from './lib/fixtures.mjs';
import { writeFilelist } from './lib/gallery.mjs';
import { closeSession, openSession } from './lib/session.mjs';

// Each name as its bytes: a string is written as UTF-8; the Buffer is "あ" in cp932, as a
// Windows zip unpacks it, and is not UTF-8 at all.
const hostileNames = [
  '<svg onload=alert(1)>.jpg',
  'x" onerror="alert(2).jpg',
  "<!--<script>.jpg",
  'a&amp;.jpg',
  'back\\slash.jpg',
  'tab\there.jpg',
  "it's \"quoted\".jpg",
  Buffer.from([0x82, 0xa0, 0x2e, 0x6a, 0x70, 0x67]),
  'plain.jpg',
];
const captions = {
  'plain.jpg': '<!--<script>',
  '<svg onload=alert(1)>.jpg': '</script><script>alert(3)</script>',
  'back\\slash.jpg': 'C:\\dir\\x & <b>bold</b>',
};
const heading = 'ファイル名,説明 </textarea><img src=x onerror=alert(4)>';

/** The name as the pages show it: invalid bytes become U+FFFD, the extension goes. */
function displayOf(name) {
  const text = Buffer.isBuffer(name) ? name.toString('utf8') : name;
  return text.slice(0, text.lastIndexOf('.'));
}

/** The program's listing order: bytes compared with ASCII letters upper-cased. */
function listingOrder(names) {
  const key = (name) => Buffer.from(name).map((b) => (b >= 0x61 && b <= 0x7a ? b - 32 : b));
  return [...names].sort((a, b) => Buffer.compare(key(a), key(b)) || Buffer.compare(Buffer.from(a), Buffer.from(b)));
}

function buildHostileGallery({ root, sources }) {
  const pics = join(root, 'hostile', 'pics');
  mkdirSync(pics, { recursive: true });
  hostileNames.forEach((name, i) => {
    const path = Buffer.concat([Buffer.from(pics + '/'), Buffer.from(name)]);
    copyFileSync(sources[i % sources.length].picture, path);
  });
  writeFilelist(
    pics,
    heading,
    Object.entries(captions).map(([name, caption]) => `${name},${caption}`),
  );
  const out = makeGallery(root, 'hostile', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: '', Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: 'Hostile', TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 120, THeight: 120, LWidth: 4 },
    Filelist: { Use: 1, Width: 0, Height: 0 },
    Link: { Name1: '', Url1: '', Name2: '', Url2: '', Name3: '', Url3: '' },
  }));
  return {
    indexPath: join(out, 'index.html'),
    listPath: join(out, 'list.html'),
    pictPath: join(out, 'pict.html'),
    pictures: listingOrder(hostileNames).map((name) => ({
      display: displayOf(name),
      caption: captions[Buffer.isBuffer(name) ? '' : name] ?? null,
    })),
  };
}

/** Menu mode with gallery names that try to end the script or to pose as a card's link. */
function buildHostileMenu({ root, sources }) {
  const names = ['<!--<script>', 'x,javascript:alert(5)//001/index.html,'];
  const rows = names.map((name, i) => {
    const pics = join(root, 'hostile-menu', `pics${i}`);
    mkdirSync(pics, { recursive: true });
    copyFileSync(sources[i % sources.length].picture, join(pics, 'a.jpg'));
    return { name, pics };
  });
  const out = makeGallery(root, 'hostile-menu', (out) => ({
    Ini: { Mode: 0 },
    Path: { Pic: '', Thum: '', Index: join(out, 'menu.html'), Html: '', Menu: join(out, 'menu.html'), MenuH: '', Start: '' },
    Html: { Title: 'Menu', TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 120, THeight: 120, LWidth: 3 },
    Filelist: { Use: 0, Width: 0, Height: 0 },
    Link: { Name1: 'ホーム', Url1: '', Name2: '', Url2: '', Name3: '', Url3: '' },
  }), (program) => {
    // A name holding a comma is written quoted, as the list file reads it back.
    const quote = (text) => (/[",]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text);
    writeFileSync(join(program, 'Mivo.csv'), textFileBytes(rows.map((r) => `${quote(r.name)},${r.pics},,`)));
  });
  return { menuPath: join(out, 'menu.html'), names };
}

let workspace;
let gallery;
let menu;
let server;
let browser;

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    gallery = buildHostileGallery(ws);
    menu = buildHostileMenu(ws);
  }));
});

after(() => closeSession({ workspace, server, browser }));

/** A watched page that also counts every dialog (alert, confirm, prompt) as a problem. */
async function guardedPage() {
  const page = await watchedPage(browser, { viewport: { width: 1400, height: 1000 } });
  page.on('dialog', (dialog) => {
    page.problems.push(`dialog: ${dialog.message()}`);
    dialog.dismiss().catch(() => {});
  });
  return page;
}

/** In every frame: no element carries an injected handler, and no injected element exists. */
async function assertNothingInjected(page, what) {
  for (const frame of page.frames()) {
    const found = await frame.evaluate(() =>
      [...document.querySelectorAll('*')]
        .filter((e) => [...e.attributes].some((a) => /^on/i.test(a.name)) || e.matches('.name *, dd *, dt *, h2 *, .frame svg'))
        .map((e) => e.outerHTML.slice(0, 80)),
    );
    assert.deepEqual(found, [], `${what}: injected elements in ${frame.url()}`);
  }
}

for (const protocol of ['file', 'http']) {
  describe(`hostile names over ${protocol}`, () => {
    test('every thumbnail loads under its own name and nothing in the names runs', async () => {
      const url = addressing(protocol, server);
      const page = await guardedPage();
      try {
        await page.goto(url(gallery.indexPath));
        const listFrame = await waitUntil(() => page.frames().find((f) => f.url().includes('list.html')) ?? null, {
          describe: 'the list page is shown in its frame',
        });
        const expected = gallery.pictures.map((p) => p.display);
        let seen = [];
        await waitUntil(
          async () => {
            seen = await listFrame.evaluate(() =>
              [...document.querySelectorAll('img[loading="lazy"]')].map((img) => ({
                alt: img.getAttribute('alt'),
                loaded: img.complete && img.naturalWidth > 0,
                name: img.closest('a')?.querySelector('.name')?.textContent ?? null,
              })),
            );
            return seen.length === expected.length && seen.every((s) => s.loaded);
          },
          { describe: () => `all ${expected.length} thumbnails loaded; saw ${JSON.stringify(seen)}` },
        );
        assert.deepEqual(
          seen.map((s) => s.alt),
          gallery.pictures.map((p) => (p.caption ? p.caption.trim() : p.display)),
          'alt texts are the captions, else the names, in listing order',
        );
        assert.deepEqual(seen.map((s) => s.name), expected, 'the names are shown as text');
        const pics = await page.evaluate(() => aryPicList.length);
        assert.equal(pics, expected.length, 'the index page holds every picture in aryPicList');
        await assertNothingInjected(page, 'index page');
        assertNoProblems(page, 'index page');
      } finally {
        await page.closeAll();
      }
    });

    test('the picture page shows every picture under its name, captions and heading as text', async () => {
      const url = addressing(protocol, server);
      const page = await guardedPage();
      try {
        for (const [k, picture] of gallery.pictures.entries()) {
          // A new load each time: only the hash would differ, and a hash change alone is no load.
          await page.goto('about:blank');
          await page.goto(`${url(gallery.pictPath)}#no=${k}`);
          await waitUntil(
            () =>
              page.evaluate(
                ({ name, caption }) => {
                  const img = document.getElementById('photo');
                  return (
                    document.getElementById('name').textContent === name &&
                    (caption === null || document.getElementById('fields').textContent.includes(caption)) &&
                    img.complete && img.naturalWidth > 0 && !img.classList.contains('placeholder')
                  );
                },
                { name: picture.display, caption: picture.caption },
              ),
            { describe: `picture ${k} (${picture.display}) shown, with its caption if it has one` },
          );
          if (picture.caption === null) continue;
          const text = await page.evaluate(() => document.getElementById('fields').textContent);
          assert.ok(text.includes('説明 </textarea><img src=x onerror=alert(4)>'), `the heading is text: ${text}`);
        }
        await assertNothingInjected(page, 'picture page');
        assertNoProblems(page, 'picture page');
      } finally {
        await page.closeAll();
      }
    });

    test('gallery names neither end the menu script nor move where a card links', async () => {
      const url = addressing(protocol, server);
      const page = await guardedPage();
      try {
        await page.goto(url(menu.menuPath));
        const cards = await waitUntil(
          async () => {
            const found = await page.evaluate(() =>
              [...document.querySelectorAll('#cards a')].map((a) => ({ href: a.getAttribute('href'), name: a.querySelector('.name')?.textContent })),
            );
            return found.length === 2 ? found : null;
          },
          { describe: 'two gallery cards' },
        );
        assert.deepEqual(
          cards.map((c) => c.href),
          ['./001/index.html', './002/index.html'],
          'each card links into its own numbered folder beside the menu page',
        );
        assert.equal(cards[0].name, '<!--<script>');
        assert.equal(cards[1].name, 'x，javascript:alert(5)//001/index.html，');
        await page.locator('#cards a').first().click();
        await waitUntil(() => page.frames().some((f) => f.url().includes('001/list.html')), { describe: 'the first gallery opens' });
        await assertNothingInjected(page, 'first gallery');
        assertNoProblems(page, 'menu and first gallery');
      } finally {
        await page.closeAll();
      }
    });
  });
}
