// Makes galleries with the built mivo-make: a program folder of its own (the executable,
// the templates, Mivo.ini and Mivo.csv), a picture folder with awkward names, one run.
import { spawnSync } from 'node:child_process';
import { chmodSync, copyFileSync, cpSync, existsSync, mkdirSync, readdirSync, writeFileSync } from 'node:fs';
import { extname, join } from 'node:path';
import { textFileBytes } from './cp932.mjs';
import { imageSize } from './images.mjs';

const pictureExtensions = new Set(['.jpg', '.jpeg', '.gif', '.bmp']);

export function isPicture(name) {
  return pictureExtensions.has(extname(name).toLowerCase());
}

/** The display name of a picture: its file name without the extension. */
export function displayName(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

/**
 * A program folder under `dir`: a copy of mivo-make (a copy, not a link, because the program
 * reads its settings from the folder of the executable) and the templates.
 */
export function makeProgramFolder(dir, buildDir, templateDir) {
  mkdirSync(dir, { recursive: true });
  const exe = join(dir, 'mivo-make');
  copyFileSync(join(buildDir, 'mivo-make'), exe);
  chmodSync(exe, 0o755);
  cpSync(templateDir, join(dir, 'html'), { recursive: true });
  return dir;
}

/** Writes Mivo.ini from { Section: { Key: value } }; an empty value is stored as "". */
export function writeIni(programDir, sections) {
  const lines = [];
  for (const [section, keys] of Object.entries(sections)) {
    lines.push(`[${section}]`);
    for (const [key, value] of Object.entries(keys)) {
      const text = String(value);
      lines.push(`${key}=${text === '' ? '""' : text}`);
    }
  }
  writeFileSync(join(programDir, 'Mivo.ini'), textFileBytes(lines));
}

/** Writes Mivo.csv: one "name,picture folder,thumbnail folder," line per gallery. */
export function writeGalleryList(programDir, rows) {
  const lines = rows.map((row) => `${row.name},${row.pics},${row.thumbs ?? ''},`);
  writeFileSync(join(programDir, 'Mivo.csv'), textFileBytes(lines));
}

/** Runs mivo-make in its folder; throws with its output unless it ends with 完了しました. */
export function runMake(programDir) {
  const result = spawnSync(join(programDir, 'mivo-make'), [], {
    cwd: programDir,
    encoding: 'utf8',
    timeout: 60_000,
  });
  const out = `${result.stdout ?? ''}${result.stderr ?? ''}`;
  const lines = (result.stdout ?? '').split('\n').filter((line) => line !== '');
  // A run that left items out says how many after the word.
  if (result.status !== 0 || !lines.at(-1)?.startsWith('完了しました')) {
    throw new Error(`mivo-make failed (exit ${result.status}, ${result.error ?? ''}):\n${out}`);
  }
  return lines;
}

/** The pictures of the sample album: every picture file under `folder`, sorted by name. */
export function samplePictures(folder) {
  const found = [];
  const walk = (dir) => {
    for (const entry of readdirSync(dir, { withFileTypes: true })) {
      const path = join(dir, entry.name);
      if (entry.isDirectory()) walk(path);
      else if (isPicture(entry.name)) found.push(path);
    }
  };
  if (existsSync(folder)) walk(folder);
  return found.sort();
}

/**
 * Fills a picture folder (and a thumbnail folder when `thumbsDir` is given) with copies of
 * sample pictures under the given names. `sources` are { picture, thumbnail } paths;
 * names[i] takes sources[i % sources.length]. Returns the pictures in name order with
 * their sizes: [{ name, display, width, height, thumbWidth, thumbHeight }].
 */
export function fillPictureFolder(picsDir, thumbsDir, names, sources) {
  mkdirSync(picsDir, { recursive: true });
  if (thumbsDir) mkdirSync(thumbsDir, { recursive: true });
  return names.map((name, i) => {
    const source = sources[i % sources.length];
    const picture = join(picsDir, name);
    copyFileSync(source.picture, picture);
    const size = imageSize(picture);
    const entry = { name, display: displayName(name), width: size.width, height: size.height };
    if (thumbsDir) {
      const thumb = join(thumbsDir, name);
      copyFileSync(source.thumbnail, thumb);
      const thumbSize = imageSize(thumb);
      entry.thumbWidth = thumbSize.width;
      entry.thumbHeight = thumbSize.height;
    }
    return entry;
  });
}

/** filelist.csv in `picsDir` from a header line and one row per picture. */
export function writeFilelist(picsDir, header, rows) {
  writeFileSync(join(picsDir, 'filelist.csv'), textFileBytes([header, ...rows]));
}


/**
 * The order the program lists a folder in: the UTF-8 bytes compared with ASCII letters
 * upper-cased, a shorter name first when one is the start of the other.
 */
export function listingOrder(names) {
  const key = (name) => Buffer.from(name, 'utf8').map((b) => (b >= 0x61 && b <= 0x7a ? b - 32 : b));
  return [...names].sort((a, b) => {
    const x = key(a);
    const y = key(b);
    const n = Math.min(x.length, y.length);
    for (let i = 0; i < n; i++) if (x[i] !== y[i]) return x[i] - y[i];
    if (x.length !== y.length) return x.length - y.length;
    return Buffer.compare(Buffer.from(a), Buffer.from(b));
  });
}
