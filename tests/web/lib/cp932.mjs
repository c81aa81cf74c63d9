// Code page 932 text for the files Mivo reads (Mivo.ini, Mivo.csv, filelist.csv).
// Node can decode Shift_JIS but not encode it, so the encoder is the decoder's table turned
// round: every two-byte sequence is decoded once and the first byte pair that gives a
// character is the one written for it.
import { Buffer } from 'node:buffer';

let table = null;

function encoderTable() {
  if (table) return table;
  table = new Map();
  const decoder = new TextDecoder('shift_jis', { fatal: true });
  const leads = [];
  for (let b = 0x81; b <= 0x9f; b++) leads.push(b);
  for (let b = 0xe0; b <= 0xfc; b++) leads.push(b);
  for (const lead of leads) {
    for (let trail = 0x40; trail <= 0xfc; trail++) {
      if (trail === 0x7f) continue;
      let text;
      try {
        text = decoder.decode(Uint8Array.of(lead, trail));
      } catch {
        continue;
      }
      if (text.length === 1 && !table.has(text)) table.set(text, [lead, trail]);
    }
  }
  // Half-width katakana are single bytes.
  for (let b = 0xa1; b <= 0xdf; b++) {
    table.set(String.fromCharCode(0xff61 + (b - 0xa1)), [b]);
  }
  return table;
}

/** True when every character of `text` has a code in code page 932. */
export function fitsCp932(text) {
  const map = encoderTable();
  for (const ch of text) {
    const code = ch.codePointAt(0);
    if (code < 0x80) continue;
    if (!map.has(ch)) return false;
  }
  return true;
}

/** The cp932 bytes of `text`; throws when a character has no code there. */
export function encodeCp932(text) {
  const map = encoderTable();
  const bytes = [];
  for (const ch of text) {
    const code = ch.codePointAt(0);
    if (code < 0x80) {
      bytes.push(code);
      continue;
    }
    const pair = map.get(ch);
    if (!pair) {
      throw new Error(`cp932 has no code for U+${code.toString(16).toUpperCase().padStart(4, '0')}`);
    }
    bytes.push(...pair);
  }
  return Buffer.from(bytes);
}

/**
 * The bytes of a text file as Mivo reads it: lines ended by CR LF, in cp932, or in UTF-8
 * with a byte order mark when some character does not fit cp932.
 */
export function textFileBytes(lines) {
  const text = lines.map((line) => line + '\r\n').join('');
  if (fitsCp932(text)) return encodeCp932(text);
  return Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(text, 'utf8')]);
}
