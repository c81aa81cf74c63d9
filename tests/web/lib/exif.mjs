// Writes an EXIF block (big-endian TIFF) into a JPEG: the orientation and what the viewer
// shows as shooting data. Only the tags the tests need, laid out as cameras lay them out.

const ASCII = 2;
const SHORT = 3;
const LONG = 4;
const RATIONAL = 5;

function ascii(tag, text, encoding = 'latin1') {
  const bytes = Buffer.from(`${text}\0`, encoding);
  return { tag, type: ASCII, count: bytes.length, bytes };
}
function short(tag, value) {
  const bytes = Buffer.alloc(2);
  bytes.writeUInt16BE(value);
  return { tag, type: SHORT, count: 1, bytes };
}
function long(tag, value) {
  const bytes = Buffer.alloc(4);
  bytes.writeUInt32BE(value);
  return { tag, type: LONG, count: 1, bytes };
}
function rational(tag, [num, den]) {
  const bytes = Buffer.alloc(8);
  bytes.writeUInt32BE(num);
  bytes.writeUInt32BE(den, 4);
  return { tag, type: RATIONAL, count: 1, bytes };
}

/** One IFD at `offset` (from the TIFF header) with its out-of-line values after it. */
function ifd(entries, offset) {
  entries.sort((a, b) => a.tag - b.tag);
  const head = Buffer.alloc(2 + entries.length * 12 + 4);
  head.writeUInt16BE(entries.length);
  const data = [];
  let dataOffset = offset + head.length;
  entries.forEach((e, i) => {
    const at = 2 + i * 12;
    head.writeUInt16BE(e.tag, at);
    head.writeUInt16BE(e.type, at + 2);
    head.writeUInt32BE(e.count, at + 4);
    if (e.bytes.length <= 4) {
      e.bytes.copy(head, at + 8);
    } else {
      head.writeUInt32BE(dataOffset, at + 8);
      const padded = e.bytes.length % 2 ? Buffer.concat([e.bytes, Buffer.alloc(1)]) : e.bytes;
      data.push(padded);
      dataOffset += padded.length;
    }
  });
  return Buffer.concat([head, ...data]);
}

/**
 * The JPEG `jpeg` with an EXIF APP1 segment right after its start marker. `tags`:
 * { orientation, make, model, date, exposure: [num, den], fNumber: [num, den], iso,
 * focalLength: [num, den], lens, description (written as UTF-8, as phones do) } (any may be
 * left out).
 */
export function withExif(jpeg, tags) {
  const zeroth = [];
  if (tags.description) zeroth.push(ascii(0x010e, tags.description, 'utf8'));
  if (tags.make) zeroth.push(ascii(0x010f, tags.make));
  if (tags.model) zeroth.push(ascii(0x0110, tags.model));
  if (tags.orientation) zeroth.push(short(0x0112, tags.orientation));
  const exif = [];
  if (tags.exposure) exif.push(rational(0x829a, tags.exposure));
  if (tags.fNumber) exif.push(rational(0x829d, tags.fNumber));
  if (tags.iso) exif.push(short(0x8827, tags.iso));
  if (tags.date) exif.push(ascii(0x9003, tags.date));
  if (tags.focalLength) exif.push(rational(0x920a, tags.focalLength));
  if (tags.lens) exif.push(ascii(0xa434, tags.lens));
  let tiff;
  const header = Buffer.from([0x4d, 0x4d, 0x00, 0x2a, 0, 0, 0, 8]);
  if (exif.length) {
    // The Exif IFD pointer needs IFD0's size first: lay IFD0 out once with a dummy pointer.
    const pointer = long(0x8769, 0);
    const first = ifd([...zeroth, pointer], 8);
    pointer.bytes.writeUInt32BE(8 + first.length);
    tiff = Buffer.concat([header, ifd([...zeroth, pointer], 8), ifd(exif, 8 + first.length)]);
  } else {
    tiff = Buffer.concat([header, ifd(zeroth, 8)]);
  }
  const body = Buffer.concat([Buffer.from('Exif\0\0', 'latin1'), tiff]);
  const segment = Buffer.alloc(4);
  segment.writeUInt16BE(0xffe1);
  segment.writeUInt16BE(body.length + 2, 2);
  return Buffer.concat([jpeg.subarray(0, 2), segment, body, jpeg.subarray(2)]);
}

/** The JPEG `jpeg` with an XMP APP1 segment right after its start marker whose dc:description
 * (x-default) is `text`. */
export function withXmpDescription(jpeg, text) {
  const escaped = text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  const packet =
    "<?xpacket begin='\ufeff' id='W5M0MpCehiHzreSzNTczkc9d'?>" +
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>" +
    "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>" +
    `<dc:description><rdf:Alt><rdf:li xml:lang='x-default'>${escaped}</rdf:li></rdf:Alt></dc:description>` +
    "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
  const body = Buffer.concat([Buffer.from('http://ns.adobe.com/xap/1.0/\0', 'latin1'), Buffer.from(packet, 'utf8')]);
  const segment = Buffer.alloc(4);
  segment.writeUInt16BE(0xffe1);
  segment.writeUInt16BE(body.length + 2, 2);
  return Buffer.concat([jpeg.subarray(0, 2), segment, body, jpeg.subarray(2)]);
}
