// The galleries the browser tests open, made once per test file in a temporary folder.
import { spawnSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, mkdtempSync, readdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { imageSize } from './images.mjs';
import {
  fillPictureFolder,
  listingOrder,
  makeProgramFolder,
  runMake,
  samplePictures,
  writeFilelist,
  writeGalleryList,
  writeIni,
  isPicture,
  displayName,
} from './gallery.mjs';

export const webDir = resolve(dirname(fileURLToPath(import.meta.url)), '..');
export const repoDir = resolve(webDir, '../..');
export const outputDir = join(webDir, 'output');
export const buildDir = resolve(process.env.MIVO_BUILD_DIR ?? join(repoDir, 'build'));
// The templates under test: the repository's html/ (MIVO_TEMPLATE_DIR may point elsewhere).
export const templateDir = resolve(process.env.MIVO_TEMPLATE_DIR ?? join(repoDir, 'html'));

/**
 * Makes a gallery as a user would: a program folder of its own (program-`name`), the page
 * folder site/`name`, Mivo.ini from `settings(out)` (sections as writeIni takes them), then
 * `beforeRun(program)` (a gallery list, say) and mivo-make. Returns the page folder.
 */
export function makeGallery(root, name, settings, beforeRun = () => {}) {
  const out = join(root, 'site', name);
  mkdirSync(out, { recursive: true });
  const program = makeProgramFolder(join(root, `program-${name}`), buildDir, templateDir);
  writeIni(program, settings(out));
  beforeRun(program);
  runMake(program);
  return out;
}

/** Names that a link or a code page can trip over: Japanese, a blank, "#", "%", "é". */
export const awkwardNames = ['夕焼け.jpg', '海 辺.jpg', 'no#1.jpg', '100%.jpg', 'café.jpg', 'IMG_0001.jpg', 'IMG_0002.JPG'];

const thumbFolderNames = ['thumbs', 'thumb', 'thumbnails', 'thum', 'sam', 'samples', 'サムネイル'];

/**
 * The sample album's pictures with a thumbnail each: the sample's own thumbnail when a
 * thumbnail folder beside the picture folder holds one of the same name, else one made with
 * ImageMagick into `scratch`.
 */
function sampleSources(scratch) {
  const all = samplePictures(join(repoDir, 'examples'));
  const isThumb = (path) => thumbFolderNames.includes(basename(dirname(path)).toLowerCase());
  const pictures = all.filter((path) => !isThumb(path));
  if (pictures.length === 0) throw new Error(`no sample pictures under ${join(repoDir, 'examples')}`);
  const made = join(scratch, 'made-thumbs');
  mkdirSync(made, { recursive: true });
  return pictures.map((picture, i) => {
    for (const folder of thumbFolderNames) {
      const thumbnail = join(dirname(dirname(picture)), folder, basename(picture));
      if (existsSync(thumbnail)) return { picture, thumbnail };
    }
    const thumbnail = join(made, `${i}-${basename(picture)}`);
    // ImageMagick from Debian's package; a plain "convert" on PATH may be another program.
    const convert = existsSync('/usr/bin/convert') ? '/usr/bin/convert' : 'convert';
    const result = spawnSync(convert, [picture, '-thumbnail', '160x160', thumbnail], { encoding: 'utf8' });
    if (result.status !== 0) throw new Error(`convert failed for ${picture}: ${result.stderr}`);
    return { picture, thumbnail };
  });
}

const links = {
  Name1: 'ホーム',
  Url1: 'https://example.invalid/',
  Name2: '',
  Url2: '',
  Name3: 'ブログ',
  Url3: 'https://example.invalid/blog/',
};

/** A fresh temporary folder with the sample pictures ready to be copied: { root, sources, others }. */
export function makeWorkspace() {
  const root = mkdtempSync(join(tmpdir(), 'mivo-web-'));
  const everything = sampleSources(root);
  // Copies under new names keep the JPEG extension; the GIF and BMP samples keep their own.
  const sources = everything.filter((s) => /\.jpe?g$/i.test(s.picture));
  const others = everything.filter((s) => !/\.jpe?g$/i.test(s.picture));
  if (sources.length === 0) throw new Error('the sample album holds no JPEG picture');
  return { root, sources, others };
}

/**
 * Single mode with everything on: thumbnails, slide show (1 s), filelist.csv with width and
 * height columns, opening on the index view at a start picture, pages in a sub-folder.
 */
export function buildSingleGallery({ root, sources, others }) {
  const album = join(root, 'album');
  const site = join(root, 'site');
  const pics = join(album, 'spring', 'pics');
  const thumbs = join(album, 'spring', 'thumbs');
  const filled = fillPictureFolder(pics, thumbs, awkwardNames, sources).concat(
    fillPictureFolder(pics, thumbs, others.map((o) => basename(o.picture)), others),
  );
  const pictures = listingOrder(filled.map((p) => p.name)).map((name) => filled.find((p) => p.name === name));
  // Every other caption is written as a spreadsheet writes it: in quotes, with a comma and
  // doubled quotes inside; the heading of the caption column is quoted too.
  pictures.forEach((p, i) => {
    p.caption = i % 2 ? `説明${i + 1}, "朝" ${p.display}` : `説明${i + 1} ${p.display}`;
  });
  const csvField = (text) => (/[",]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text);
  writeFilelist(
    pics,
    'ファイル名,"説明, メモ",幅,高さ',
    pictures.map((p) => `${p.name},${csvField(p.caption)},${p.width},${p.height}`),
  );
  const start = '夕焼け.jpg';
  const out = makeGallery(root, 'single', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: thumbs, Index: join(out, 'index.html'), Html: 'pages', Menu: join(out, 'index.html'), MenuH: '', Start: start },
    Html: {
      Body: '<body>',
      Title: '旅のアルバム',
      TitleS: '春の写真',
      Start: 1,
      Slide: 1,
      Time: 1,
      TUse: 1,
      TWidth: 160,
      THeight: 160,
      LWidth: 4,
    },
    Filelist: { Use: 1, Width: 2, Height: 3 },
    Link: links,
  }));
  return {
    kind: 'single',
    title: '旅のアルバム',
    subTitle: '春の写真',
    indexPath: join(out, 'index.html'),
    listPath: join(out, 'pages', 'list.html'),
    pictPath: join(out, 'pages', 'pict.html'),
    pictures,
    thumbnails: true,
    slide: true,
    filelist: { heading: ['幅', '高さ', '説明, メモ'] },
    startType: 1,
    startIndex: pictures.findIndex((p) => p.name === start),
    columns: 4,
    links: [{ name: 'ホーム', url: links.Url1 }, { name: 'ブログ', url: links.Url3 }],
  };
}

/**
 * Single mode with everything off: full-size pictures in a 200 × 150 box, no slide show, no
 * filelist.csv, opening on the list, columns fitted to the window, pages beside the index.
 */
export function buildPlainGallery({ root, sources }) {
  const album = join(root, 'album');
  const site = join(root, 'site');
  const pics = join(album, 'summer', 'pics');
  const filled = fillPictureFolder(pics, null, awkwardNames.slice(0, 5).concat(['z.jpg']), sources.slice().reverse());
  const pictures = listingOrder(filled.map((p) => p.name)).map((name) => filled.find((p) => p.name === name));
  const out = makeGallery(root, 'plain', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: pics, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: {
      Title: 'Plain album',
      TitleS: 'Summer',
      Start: 0,
      Slide: 0,
      Time: 1,
      TUse: 0,
      TWidth: 200,
      THeight: 150,
      LWidth: 0,
    },
    Filelist: { Use: 0, Width: 0, Height: 0 },
    Link: { ...links, Name1: '', Url1: '' },
  }));
  return {
    kind: 'single',
    title: 'Plain album',
    subTitle: 'Summer',
    indexPath: join(out, 'index.html'),
    listPath: join(out, 'list.html'),
    pictPath: join(out, 'pict.html'),
    pictures,
    thumbnails: false,
    box: { width: 200, height: 150 },
    slide: false,
    filelist: null,
    startType: 0,
    startIndex: -1,
    columns: 0,
    links: [{ name: 'ブログ', url: links.Url3 }],
  };
}

/**
 * Menu mode: three galleries (thumbnails; full-size pictures; filelist.csv), slide show
 * (1 s), gallery folders in a sub-folder of the menu page's folder.
 */
export function buildMenuGalleries({ root, sources }) {
  const album = join(root, 'album');
  const site = join(root, 'site');
  const rows = [];
  const menuGalleries = [];
  const plans = [
    { name: '春 #1', thumbs: true, names: ['さくら.jpg', 'a b.jpg', '50%.jpg'] },
    { name: 'なつ', thumbs: false, names: ['海.jpg', 'é.jpg'] },
    { name: 'Autumn & leaves', thumbs: true, names: ['紅葉.jpg', 'x#y.jpg', 'z.jpg', 'w.jpg'], filelist: true },
  ];
  plans.forEach((plan, g) => {
    const pics = join(album, `menu${g + 1}`, 'pics');
    const thumbs = plan.thumbs ? join(album, `menu${g + 1}`, 'thumbs') : null;
    const filled = fillPictureFolder(pics, thumbs, plan.names, sources.slice(g));
    const pictures = listingOrder(filled.map((p) => p.name)).map((name) => filled.find((p) => p.name === name));
    if (plan.filelist) {
      pictures.forEach((p, i) => {
        p.caption = `${plan.name} ${i + 1}`;
      });
      writeFilelist(pics, 'name,caption,width,height', pictures.map((p) => `${p.name},${p.caption},${p.width},${p.height}`));
    }
    rows.push({ name: plan.name, pics, thumbs: thumbs ?? '' });
    menuGalleries.push({ name: plan.name, pictures, thumbnails: plan.thumbs, filelist: plan.filelist ? { heading: ['caption'] } : null });
  });
  const menuPath = join(site, 'menu', 'index.html');
  const menuFolder = makeGallery(root, 'menu', () => ({
    Ini: { Mode: 0 },
    Path: { Pic: rows[0].pics, Thum: rows[0].pics, Index: menuPath, Html: '', Menu: menuPath, MenuH: 'galleries', Start: '' },
    Html: {
      Title: '写真館',
      TitleS: '季節',
      Start: 0,
      Slide: 1,
      Time: 1,
      TUse: 1,
      TWidth: 160,
      THeight: 160,
      LWidth: 3,
    },
    Filelist: { Use: 1, Width: 2, Height: 3 },
    Link: links,
  }), (program) => writeGalleryList(program, rows));
  return {
    kind: 'menu',
    title: '写真館',
    menuPath,
    galleries: menuGalleries.map((g, i) => {
      const folder = join(menuFolder, 'galleries', String(i + 1).padStart(3, '0'));
      return {
        ...g,
        kind: 'menu-gallery',
        title: '写真館',
        subTitle: g.name,
        indexPath: join(folder, 'index.html'),
        listPath: join(folder, 'list.html'),
        pictPath: join(folder, 'pict.html'),
        box: { width: 160, height: 160 },
        slide: true,
        startType: 0,
        startIndex: -1,
        columns: 3,
      };
    }),
  };
}


/**
 * The sample album as it ships (examples/album with examples/thumbnails and its filelist.csv),
 * made like the starter settings make it: the gallery shown in the README.
 */
export function buildSampleGallery({ root }) {
  const pics = join(root, 'sample', 'album');
  const thumbs = join(root, 'sample', 'thumbnails');
  cpSync(join(repoDir, 'examples', 'album'), pics, { recursive: true });
  cpSync(join(repoDir, 'examples', 'thumbnails'), thumbs, { recursive: true });
  const captions = {
    'harbor.jpg': '夕暮れの港',
    'leaf.gif': '若葉',
    'sunrise.jpg': '海から昇る朝日',
    'tiles.bmp': '表参道のタイル',
    'tower.jpg': '曇り空の塔',
  };
  const pictures = listingOrder(readdirSync(pics).filter(isPicture)).map((name) => ({
    name,
    display: displayName(name),
    ...imageSize(join(pics, name)),
    caption: captions[name],
  }));
  const out = makeGallery(root, 'sample', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: thumbs, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: 'sunrise.jpg' },
    Html: { Title: 'サンプルアルバム', TitleS: '港と季節の写真', Start: 0, Slide: 1, Time: 5, TUse: 1, TWidth: 160, THeight: 160, LWidth: 4 },
    Filelist: { Use: 1, Width: 2, Height: 3 },
    Link: { Name1: 'ホーム', Url1: 'https://example.invalid/', Name2: '', Url2: '', Name3: '', Url3: '' },
  }));
  return {
    kind: 'single',
    title: 'サンプルアルバム',
    subTitle: '港と季節の写真',
    indexPath: join(out, 'index.html'),
    listPath: join(out, 'list.html'),
    pictPath: join(out, 'pict.html'),
    pictures,
    thumbnails: true,
    filelist: { heading: ['説明'] },
    columns: 4,
  };
}
