// A gallery the size a photographer publishes: 320 pictures made with ImageMagick, mixing
// landscape, portrait, panorama and pictures stored sideways with an EXIF orientation, each
// with a thumbnail, shooting data on some, and a filelist.csv whose captions are partly quoted.
import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { withExif } from './exif.mjs';
import { makeGallery } from './fixtures.mjs';
import { displayName, writeFilelist } from './gallery.mjs';

const convert = existsSync('/usr/bin/convert') ? '/usr/bin/convert' : 'convert';

function magick(args) {
  const result = spawnSync(convert, args, { encoding: 'utf8' });
  if (result.status !== 0) throw new Error(`convert ${args.join(' ')} failed: ${result.stderr}`);
}

export const camera = {
  make: 'Mivo Optics',
  model: 'MV-1 Mark II',
  lens: 'MV 24-70mm F2.8',
  date: '2025:04:05 06:07:08',
  exposure: [1, 250],
  fNumber: [28, 10],
  iso: 400,
  focalLength: [35, 1],
};

/** The four kinds of picture: stored size, shown size and EXIF tags. */
const kinds = [
  { kind: 'landscape', stored: [1200, 800], shown: [1200, 800], color: '#3a7bd5', exif: { ...camera } },
  { kind: 'portrait', stored: [800, 1200], shown: [800, 1200], color: '#c0392b', exif: null },
  { kind: 'panorama', stored: [2400, 500], shown: [2400, 500], color: '#16a085', exif: null },
  // Stored lying on its side; orientation 6 turns it upright.
  { kind: 'rotated', stored: [1200, 800], shown: [800, 1200], color: '#8e44ad', exif: { ...camera, orientation: 6 } },
];

export function buildLargeGallery({ root }, count = 320) {
  const scratch = join(root, 'large-sources');
  mkdirSync(scratch, { recursive: true });
  const sources = kinds.map((k) => {
    const picture = join(scratch, `${k.kind}.jpg`);
    const [w, h] = k.stored;
    magick(['-size', `${w}x${h}`, `gradient:${k.color}-#f5f5f5`, '-strip', '-quality', '70', picture]);
    const thumbnail = join(scratch, `${k.kind}-thumb.jpg`);
    // The thumbnail is made upright, as a photo program makes it.
    const [sw, sh] = k.shown;
    magick(['-size', `${sw}x${sh}`, `gradient:${k.color}-#f5f5f5`, '-thumbnail', '160x160', '-strip', thumbnail]);
    if (k.exif) writeFileSync(picture, withExif(readFileSync(picture), k.exif));
    return { ...k, picture, thumbnail };
  });

  const album = join(root, 'album-large');
  const pics = join(album, 'pics');
  const thumbs = join(album, 'thumbs');
  mkdirSync(pics, { recursive: true });
  mkdirSync(thumbs, { recursive: true });
  const pictures = [];
  for (let i = 0; i < count; i++) {
    const source = sources[i % sources.length];
    const name = `photo-${String(i + 1).padStart(3, '0')}.jpg`;
    copyFileSync(source.picture, join(pics, name));
    copyFileSync(source.thumbnail, join(thumbs, name));
    const caption = i % 5 === 0 ? `京都, 清水寺の朝 "${i + 1}"` : `写真${i + 1}`;
    pictures.push({
      name,
      display: displayName(name),
      kind: source.kind,
      width: source.shown[0],
      height: source.shown[1],
      exif: source.exif,
      caption,
    });
  }
  const csvField = (text) => (/[",\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text);
  writeFilelist(pics, 'ファイル名,"説明, 場所"', pictures.map((p) => `${p.name},${csvField(p.caption)}`));

  const out = makeGallery(root, 'large', (out) => ({
    Ini: { Mode: 1 },
    Path: { Pic: pics, Thum: thumbs, Index: join(out, 'index.html'), Html: '', Menu: join(out, 'index.html'), MenuH: '', Start: '' },
    Html: { Body: '<body>', Title: '大きなアルバム', TitleS: '三百枚', Start: 0, Slide: 1, Time: 2, TUse: 1, TWidth: 160, THeight: 160, LWidth: 5 },
    Filelist: { Use: 1, Width: 0, Height: 0 },
    Link: { Name1: 'ホーム', Url1: 'https://example.invalid/', Name2: '', Url2: '', Name3: '', Url3: '' },
  }));
  return {
    kind: 'single',
    title: '大きなアルバム',
    subTitle: '三百枚',
    indexPath: join(out, 'index.html'),
    listPath: join(out, 'list.html'),
    pictPath: join(out, 'pict.html'),
    pictures,
    thumbnails: true,
    slide: true,
    filelist: { heading: ['説明, 場所'] },
    startType: 0,
    startIndex: -1,
    columns: 5,
  };
}
