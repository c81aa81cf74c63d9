// A self-contained site ([Publish] Originals=1): served from a folder that holds nothing but the
// site, every link and media source of every page resolves, the originals (元の画像/保存, a
// video that plays as it is, pictures shown as they are) included.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdirSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { launchBrowser, watchedPage } from './lib/browser.mjs';
import { makeGallery, makeWorkspace } from './lib/fixtures.mjs';
import { startServer } from './lib/server.mjs';
import { assertNoProblems } from './lib/checks.mjs';

let workspace;
let browser;
const galleries = [];

function buildGallery(root, name, sources, reduce) {
  const pics = join(root, name, 'pics');
  mkdirSync(pics, { recursive: true });
  copyFileSync(sources[0].picture, join(pics, '海 辺.jpg'));
  copyFileSync(sources[1 % sources.length].picture, join(pics, '100%.jpg'));
  if (reduce) {
    const made = spawnSync('/usr/bin/ffmpeg', ['-hide_banner', '-loglevel', 'error', '-nostdin', '-y',
      '-f', 'lavfi', '-i', 'testsrc=size=160x120:rate=10', '-t', '1', '-c:v', 'libx264', '-pix_fmt', 'yuv420p',
      '-movflags', '+faststart', join(pics, 'clip.mp4')], { encoding: 'utf8' });
    assert.equal(made.status, 0, made.stderr);
  }
  const out = makeGallery(root, name, (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Title: name, TitleS: '', Start: 0, Slide: 0, Time: 1, TUse: 0, TWidth: 160, THeight: 160, LWidth: 4, Reduce: reduce ? 1 : 0, Media: reduce ? 1 : 0 },
    Filelist: { Use: 0, Width: 0, Height: 0 },
    Publish: { Originals: 1 },
  }));
  return { name, out, reduce };
}

/** A page's text as the browser reads it: in the code page its meta element names. */
function pageText(path) {
  const bytes = readFileSync(path);
  const utf8 = /charset=["']?utf-8/i.test(bytes.toString('latin1'));
  return new TextDecoder(utf8 ? 'utf-8' : 'shift_jis').decode(bytes);
}

/** Every address a page names: attributes, and the picture and video arrays of its script. */
function addressesOf(html) {
  const found = [];
  for (const match of html.matchAll(/\b(href|src|poster|srcset)="([^"]*)"/g)) {
    const value = match[2].replaceAll('&amp;', '&');
    if (match[1] !== 'srcset') found.push(value);
    else for (const part of value.split(',')) found.push(part.trim().split(' ')[0]);
  }
  for (const match of html.matchAll(/aryPic(?:List|Video)\[\d+\] = (.*);/g)) {
    const strings = [...match[1].matchAll(/"([^"]*)"/g)].map((m) => m[1]);
    const first = strings[0] ?? '';
    // "link,width,height,name", or "display copy#original=link,width,height,name".
    const [shown, original] = first.split('#original=');
    found.push(shown.split(',')[0]);
    if (original !== undefined) found.push(original.split(',')[0]);
  }
  return found.filter((a) => a && !a.startsWith('#') && !/^(?:[a-z]+:)/i.test(a));
}

before(async () => {
  workspace = makeWorkspace();
  galleries.push(buildGallery(workspace.root, 'copies', workspace.sources, true));
  galleries.push(buildGallery(workspace.root, 'plain', workspace.sources, false));
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  if (workspace && !process.env.MIVO_KEEP_GALLERIES) rmSync(workspace.root, { recursive: true, force: true });
});

describe('a self-contained site', () => {
  test('served alone, every link and media source of every page resolves, originals included', async () => {
    for (const gallery of galleries) {
      const server = await startServer(gallery.out);
      try {
        const pages = readdirSync(gallery.out).filter((f) => f.endsWith('.html'));
        assert.ok(pages.includes('index.html') && pages.includes('list.html'), gallery.name);
        const originals = new Set();
        for (const file of pages) {
          const base = server.url(join(gallery.out, file));
          for (const address of addressesOf(pageText(join(gallery.out, file)))) {
            const url = new URL(address, base);
            const answer = await fetch(url, { method: 'HEAD' });
            assert.equal(answer.status, 200, `${gallery.name}/${file}: ${address}`);
            if (url.pathname.includes('/originals/')) originals.add(url.pathname);
          }
        }
        // The pages link the originals placed in the site (names as the page's code page
        // spells them), not the picture folder: the two pictures, and the video.
        assert.equal(originals.size, gallery.reduce ? 3 : 2, `${gallery.name}: ${[...originals]}`);
        assert.deepEqual(readdirSync(join(gallery.out, 'originals')).filter((f) => !f.startsWith('.')).length, originals.size);

        // And in the browser: the list and the index load without a failed request.
        const page = await watchedPage(browser);
        try {
          for (const file of ['list.html', 'index.html']) {
            await page.goto(server.url(join(gallery.out, file)));
            await page.waitForLoadState('load');
          }
          assertNoProblems(page, gallery.name);
        } finally {
          await page.closeAll();
        }
      } finally {
        await server.close();
      }
    }
  });
});
