// Pixel sizes of JPEG, GIF and BMP files, read from their headers.
import { readFileSync } from 'node:fs';

function jpegSize(b) {
  let i = 2;
  while (i + 9 < b.length) {
    if (b[i] !== 0xff) {
      i++;
      continue;
    }
    const marker = b[i + 1];
    if (marker === 0xff) {
      i++;
      continue;
    }
    if (marker === 0xd8 || marker === 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
      i += 2;
      continue;
    }
    const length = b.readUInt16BE(i + 2);
    const isFrame = marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc;
    if (isFrame) return { width: b.readUInt16BE(i + 7), height: b.readUInt16BE(i + 5) };
    i += 2 + length;
  }
  return null;
}

/** { width, height } of a JPEG, GIF or BMP file, or null when the header is not understood. */
export function imageSize(path) {
  const b = readFileSync(path);
  if (b.length >= 4 && b[0] === 0xff && b[1] === 0xd8) return jpegSize(b);
  if (b.length >= 10 && b.toString('latin1', 0, 3) === 'GIF') {
    return { width: b.readUInt16LE(6), height: b.readUInt16LE(8) };
  }
  if (b.length >= 26 && b.toString('latin1', 0, 2) === 'BM') {
    const headerSize = b.readUInt32LE(14);
    if (headerSize === 12) return { width: b.readUInt16LE(18), height: b.readUInt16LE(20) };
    return { width: b.readInt32LE(18), height: Math.abs(b.readInt32LE(22)) };
  }
  return null;
}
