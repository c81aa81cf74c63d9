// The picture view of a gallery with reduced copies, as found trying it over http and from
// disk, on a desktop and a phone: saving gives the original, from disk without leaving the
// viewer; zoom follows the picture shown; full screen by touch; captions keep their line
// breaks; the default body tag follows the visitor's colours; and a video item plays.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, readFileSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { axeFindings } from './lib/axe.mjs';
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

function ffmpeg(args) {
  const made = spawnSync('/usr/bin/ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', ...args], { encoding: 'utf8' });
  assert.equal(made.status, 0, `ffmpeg: ${made.stderr}`);
}

/**
 * A gallery with reduced copies and the body tag of a fresh Mivo.ini: two camera-sized
 * pictures side by side, a caption of two lines, and item `video` turned into a video the way
 * the maker writes one (aryPicVideo in the index page, the web video in view/).
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

  // The video: a tiny VP9 WebM, standing for the item named first in the list.
  const video = names.indexOf(awkwardNames[0]);
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25', '-t', '3', '-c:v', 'libvpx-vp9', '-b:v', '150k', '-pix_fmt', 'yuv420p', join(out, 'view', 'clip.webm')]);
  ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25', '-t', '2', '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-movflags', '+faststart', join(out, 'view', 'h264.mp4')]);
  const index = join(out, 'index.html');
  const text = readFileSync(index, 'latin1');
  const lines = text.split('\r\n');
  const last = lines.findLastIndex((line) => line.startsWith('aryPicList['));
  assert.ok(last > 0, 'the index page lists the pictures');
  // Its original is a video too, with a comma in its name, as a camera's export may have.
  const entry = lines.findIndex((line) => line.startsWith(`aryPicList[${video}] = `));
  lines[entry] = lines[entry].replace(/#original=(.*?)[^/]*\.jpg,/, '#original=$1clip,1.mov,');
  copyFileSync(join(out, 'view', 'clip.webm'), join(pics, 'clip,1.mov'));
  // The item after it is a video no browser can play.
  const broken = (video + 1) % names.length;
  writeFileSync(join(out, 'view', 'broken.webm'), Buffer.alloc(2048, 7));
  lines.splice(
    last + 1,
    0,
    'var aryPicVideo = new Array();',
    `aryPicVideo[${video}] = ["./view/clip.webm", "3.00", "video/webm"];`,
    `aryPicVideo[${broken}] = ["./view/broken.webm", "3.00", "video/webm"];`,
  );
  writeFileSync(index, lines.join('\r\n'), 'latin1');
  return {
    out,
    pics,
    names,
    video,
    broken,
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
    // The button shows it is pressed once the page hears of the change (fullscreenchange comes
    // after the element is set).
    await waitUntil(async () => (await button.getAttribute('aria-pressed')) === 'true', { describe: 'the button shows it is pressed' });
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

describe('a video item', () => {
  test('shows a video that plays, Space pauses it, an arrow moves on, 保存 and zoom know it is a video', async (t) => {
    const page = await watchedPage(browser, desktop);
    try {
      const url = addressing('http', server);
      const k = gallery.video;
      const pict = await openItem(page, url, k);
      const video = await pict.evaluate(() => {
        const v = document.getElementById('photo');
        return {
          tag: v.tagName,
          src: decodeURIComponent(v.currentSrc || v.src).replace(/^.*\/site\//, ''),
          poster: decodeURIComponent(v.poster).replace(/^.*\/site\//, ''),
          controls: v.controls,
          playsInline: v.hasAttribute('playsinline'),
          preload: v.preload,
          zoomDisabled: document.getElementById('zoom').disabled,
          save: decodeURIComponent(document.getElementById('download').href).replace(/^.*\/album\//, ''),
        };
      });
      assert.deepEqual(video, {
        tag: 'VIDEO',
        src: 'copies/view/clip.webm',
        poster: `copies/view/${gallery.names[k]}`,
        controls: true,
        playsInline: true,
        preload: 'metadata',
        zoomDisabled: true,
        save: 'pics/clip,1.mov',
      });
      const findings = await axeFindings(page);
      assert.deepEqual(findings, [], 'axe-core finds nothing');

      await pict.locator('#stage').focus();
      await page.keyboard.press(' ');
      const time = () => pict.evaluate(() => document.getElementById('photo').currentTime);
      await waitUntil(async () => (await time()) > 0.3, { describe: 'Space plays the video' });
      await page.keyboard.press(' ');
      await waitUntil(() => pict.evaluate(() => document.getElementById('photo').paused), { describe: 'Space pauses it' });
      const stopped = await time();
      await page.waitForTimeout(400);
      assert.equal(await time(), stopped, 'the paused video stays where it is');

      // H.264 in MP4, as the maker writes web videos: say whether this Chromium plays it.
      const h264 = await pict.evaluate(async () => {
        const v = document.createElement('video');
        v.muted = true;
        v.src = './view/h264.mp4';
        const played = await v.play().then(() => new Promise((done) => setTimeout(() => done(v.currentTime > 0), 500)), () => false);
        return { canPlayType: v.canPlayType('video/mp4; codecs="avc1.42E01E"'), played };
      });
      t.diagnostic(`H.264 MP4 in this Chromium: canPlayType "${h264.canPlayType}", played ${h264.played}`);

      // The item before is a picture: the video stops and zoom comes back.
      await page.keyboard.press('ArrowLeft');
      await waitUntil(() => pict.evaluate(() => document.getElementById('photo').tagName === 'IMG' && document.getElementById('photo').naturalWidth > 0), {
        describe: 'the arrow moves on to the picture before',
      });
      assert.equal(await pict.evaluate(() => document.getElementById('zoom').disabled), false);
      assert.equal(await pict.evaluate(() => [...document.querySelectorAll('video')].filter((v) => !v.paused).length), 0, 'no video plays on');
      assertNoProblems(page, 'video');
    } finally {
      await page.closeAll();
    }
  });

  test('the slide show waits for a video to end, then goes on; a video that cannot play is skipped after the slide time', async () => {
    const page = await watchedPage(browser, desktop);
    try {
      const k = gallery.video;
      const pict = await openItem(page, addressing('http', server), k);
      await pict.locator('#play').click();
      const counter = () => pict.evaluate(() => document.getElementById('counter').textContent);
      // The slide time is 1 s; the video runs 3 s.
      await page.waitForTimeout(1800);
      assert.ok((await counter()).startsWith(`${k + 1} /`), 'the show stays on the video while it plays');
      assert.ok(await pict.evaluate(() => document.getElementById('photo').currentTime > 0.5), 'the video plays in the show');
      await waitUntil(async () => (await counter()).startsWith(`${gallery.broken + 1} /`), { timeout: 6000, describe: 'the show goes on after the video' });
      const shownAt = Date.now();
      await waitUntil(async () => !(await counter()).startsWith(`${gallery.broken + 1} /`), { timeout: 5000, describe: 'the show skips the video that cannot play' });
      const stayed = Date.now() - shownAt;
      assert.ok(stayed > 600 && stayed < 3000, `the video that cannot play stayed the slide time (${stayed} ms)`);
      assertNoProblems(page, 'slide show over a video');
    } finally {
      await page.closeAll();
    }
  });

  test('the list marks the video with its length; the pages of a maker without videos are unchanged by it', async () => {
    const page = await watchedPage(browser, desktop);
    try {
      await page.goto(addressing('http', server)(join(gallery.out, 'list.html')));
      // This maker does not write MV_IMG_TIME yet: no thumbnail shows a length or a play mark.
      const marks = await page.evaluate(() => [...document.querySelectorAll('.frame')].map((f) => getComputedStyle(f, '::after').content + getComputedStyle(f, '::before').content));
      assert.ok(marks.every((m) => m === 'nonenone'), `nothing drawn over the thumbnails: ${marks.join(' ')}`);
      // As the maker with videos writes the row: a play mark and the length.
      await page.evaluate(() => {
        const cell = document.querySelector('.cell');
        cell.setAttribute('data-video', './view/clip.webm');
        cell.querySelector('.frame').setAttribute('data-time', '0:03');
      });
      const first = await page.evaluate(() => {
        const f = document.querySelector('.frame');
        return [getComputedStyle(f, '::after').content, getComputedStyle(f, '::before').backgroundImage !== 'none'];
      });
      assert.deepEqual(first, ['"0:03"', true]);
    } finally {
      await page.closeAll();
    }
  });
});
