// The picture view of a gallery with reduced copies, as found trying it over http and from
// disk, on a desktop and a phone: saving gives the original, from disk without leaving the
// viewer; zoom follows the picture shown; full screen by touch; captions keep their line
// breaks; the default body tag follows the visitor's colours.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { watchedPage } from './lib/browser.mjs';
import { awkwardNames, makeGallery } from './lib/fixtures.mjs';
import { fillPictureFolder, listingOrder, writeFilelist } from './lib/gallery.mjs';
import { closeSession, openSession } from './lib/session.mjs';
import { addressing, assertNoProblems, waitUntil } from './lib/checks.mjs';

let workspace;
let server;
let browser;
let gallery;
let coloured;

const phone = { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true };
const desktop = { viewport: { width: 1366, height: 768 } };

function convert(args) {
  const made = spawnSync('/usr/bin/convert', args);
  assert.equal(made.status, 0, `convert ${args.join(' ')}`);
}

/**
 * A gallery with reduced copies and the body tag of a fresh Mivo.ini: two camera-sized
 * pictures side by side and a caption of two lines.
 */
function buildGallery({ root, sources }) {
  const pics = join(root, 'album', 'pics');
  const filled = fillPictureFolder(pics, null, awkwardNames.slice(0, 3), sources);
  for (const [name, seed] of [['big1.jpg', '3'], ['big2.jpg', '5']]) {
    convert(['-seed', seed, '-size', '3000x2000', 'plasma:fractal', '-quality', '90', join(pics, name)]);
    filled.push({ name });
  }
  const names = listingOrder(filled.map((p) => p.name));
  const twoLines = '朝の港\r\n二行目の説明';
  writeFilelist(pics, 'ファイル名,説明', names.map((name) => (name === 'big1.jpg' ? `${name},"${twoLines}"` : `${name},写真 ${name}`)));
  const out = makeGallery(root, 'copies', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: 'Copies', TitleS: 'viewer', Start: 0, Slide: 1, Time: 1, TUse: 0, TWidth: 160, THeight: 120, LWidth: 4, Reduce: 1 },
    Filelist: { Use: 1, Width: 0, Height: 0 },
  }));

  return {
    out,
    pics,
    names,
    big1: names.indexOf('big1.jpg'),
    big2: names.indexOf('big2.jpg'),
    twoLines: twoLines.replace('\r\n', '\n'),
  };
}

before(async () => {
  ({ workspace, server, browser } = await openSession((ws) => {
    gallery = buildGallery(ws);
    const pics = join(ws.root, 'own', 'pics');
    fillPictureFolder(pics, null, ['a.jpg'], ws.sources);
    coloured = makeGallery(ws.root, 'own', (out) => ({
      Ini: { Mode: 1 },
      Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
      Html: { Body: '<body bgcolor="white" text="navy">', Title: 'Own', TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, Reduce: 1 },
    }));
  }));
});

after(() => closeSession({ workspace, server, browser }));

const pictFrameOf = (page) => page.frames().find((f) => /pict\.html#embed/.test(f.url()));

/** Opens item k over the list of the index page; resolves to the picture frame once it shows. */
async function openItem(page, url, k) {
  await page.goto(`${url(join(gallery.out, 'index.html'))}#view=list&no=${k}`);
  const pict = await waitUntil(() => pictFrameOf(page), { describe: 'the picture view opens' });
  await waitUntil(() => pict.evaluate(() => {
    const p = document.getElementById('photo');
    return p.tagName === 'VIDEO' || (p.naturalWidth > 0 && !p.classList.contains('placeholder'));
  }), { describe: `item ${k} is shown` });
  return pict;
}

describe('saving from the picture view', () => {
  test('over http 保存 downloads the original, not the display copy', async () => {
    const page = await watchedPage(browser, desktop);
    try {
      const pict = await openItem(page, addressing('http', server), gallery.big1);
      const [download] = await Promise.all([page.waitForEvent('download'), pict.locator('#download').click()]);
      assert.equal(download.suggestedFilename(), 'big1.jpg');
      const saved = readFileSync(await download.path());
      assert.ok(saved.equals(readFileSync(join(gallery.pics, 'big1.jpg'))), `the saved file is the original (${saved.length} bytes, original ${statSync(join(gallery.pics, 'big1.jpg')).size})`);
      assertNoProblems(page, 'saving over http');
    } finally {
      await page.closeAll();
    }
  });

  test('from disk 保存 opens the original in a new tab and the viewer keeps its controls', async () => {
    const page = await watchedPage(browser, desktop);
    try {
      const pict = await openItem(page, addressing('file', server), gallery.big1);
      const [tab] = await Promise.all([page.context().waitForEvent('page'), pict.locator('#download').click()]);
      await tab.waitForLoadState();
      assert.match(decodeURIComponent(tab.url()), /\/album\/pics\/big1\.jpg$/, 'the new tab shows the original');
      await page.waitForTimeout(300);
      assert.match(pict.url(), /pict\.html#embed/, 'the picture frame still holds the viewer');
      assert.ok(await pict.locator('#download').isVisible(), 'the toolbar is still there');
      await page.bringToFront();
      await pict.locator('#next').click();
      await waitUntil(() => pict.evaluate((n) => document.getElementById('counter').textContent.startsWith(`${n} /`), gallery.big2 + 1), {
        describe: 'the viewer still moves on',
      });
      assertNoProblems(page, 'saving from disk');
    } finally {
      await page.closeAll();
    }
  });
});

test('+ pressed while the next picture loads: 等倍 shows what the picture does, and + keeps working', async () => {
  const page = await watchedPage(browser, desktop);
  try {
    // The next picture takes a second to arrive.
    let release;
    const held = new Promise((done) => { release = done; });
    await page.route(/\/view\/big2\.jpg$/, async (route) => { await held; await route.continue(); });
    const pict = await openItem(page, addressing('http', server), gallery.big1);
    const state = () => pict.evaluate(() => {
      const p = document.getElementById('photo');
      return {
        file: decodeURIComponent(p.currentSrc || p.src || '').replace(/^.*\//, ''),
        pressed: document.getElementById('zoom').getAttribute('aria-pressed') === 'true',
        actual: Math.round(p.getBoundingClientRect().width) === p.naturalWidth,
      };
    });
    await pict.locator('#stage').focus();
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('+');
    setTimeout(release, 800);
    const shown = await waitUntil(async () => { const s = await state(); return s.file === 'big2.jpg' ? s : null; }, { describe: 'big2 arrives' });
    assert.equal(shown.pressed, shown.actual, `等倍 pressed ${shown.pressed}, picture at 1:1 ${shown.actual}`);
    await page.keyboard.press(shown.pressed ? '-' : '+');
    await page.keyboard.press('+');
    const zoomed = await state();
    assert.deepEqual([zoomed.pressed, zoomed.actual], [true, true], '+ shows the new picture at 1:1');
    assertNoProblems(page, 'zoom while loading');
  } finally {
    await page.closeAll();
  }
});

test('on a phone a button takes the viewer to full screen and back; a caption keeps its line break', async () => {
  const page = await watchedPage(browser, phone);
  try {
    const pict = await openItem(page, addressing('http', server), gallery.big1);
    const button = pict.locator('#fullscreen');
    assert.ok(await button.isVisible(), 'a full-screen button shows on a phone');
    await button.tap();
    await waitUntil(() => pict.evaluate(() => !!document.fullscreenElement), { describe: 'the button enters full screen' });
    assert.equal(await button.getAttribute('aria-pressed'), 'true');
    await button.tap();
    await waitUntil(() => pict.evaluate(() => !document.fullscreenElement), { describe: 'the button leaves full screen' });

    const shownCaption = await pict.evaluate(() => [...document.querySelectorAll('#fields dd')].map((dd) => dd.innerText));
    assert.ok(shownCaption.includes(gallery.twoLines), `the caption shows on two lines: ${JSON.stringify(shownCaption)}`);
    assertNoProblems(page, 'phone viewer');
  } finally {
    await page.closeAll();
  }
});

test('the body tag of a fresh Mivo.ini follows the visitor\'s dark colours; a body tag with colours of its own keeps them', async () => {
  const page = await watchedPage(browser, { ...desktop, colorScheme: 'dark' });
  try {
    const url = addressing('http', server);
    const background = async (path) => {
      await page.goto(url(path));
      return page.evaluate(() => getComputedStyle(document.body).backgroundColor);
    };
    for (const name of ['list.html', 'pict.html']) {
      const bg = await background(join(gallery.out, name));
      assert.notEqual(bg, 'rgb(255, 255, 255)', `${name} in dark colours (${bg})`);
    }
    assert.equal(await background(join(coloured, 'list.html')), 'rgb(255, 255, 255)', 'white with navy text stays white');
    assert.equal(await page.evaluate(() => getComputedStyle(document.body).color), 'rgb(0, 0, 128)');
  } finally {
    await page.closeAll();
  }
});

