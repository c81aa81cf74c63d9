#!/usr/bin/env bash
# Builds the libFuzzer targets with the preset "fuzz" (clang with -fsanitize=fuzzer,address,
# undefined) into build-fuzz/ and runs each target for SECONDS seconds (default 600), one after
# the other in one process each. The corpus grows in build-fuzz/corpus/<target> (seeded with a
# few valid inputs, among them a JPEG with a 60 KB EXIF block and BMPs of each kind); a crash
# is saved in build-fuzz/artifacts/<target>/ and makes the script exit non-zero. A target that
# does not build is reported and makes the script exit non-zero too; the others still run.
# Only the fuzz targets and the layers they link are built.
#   bash fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_picture_header fuzz_csv fuzz_heif_exif fuzz_bmp fuzz_copy_record)

if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz/run.sh: SECONDS must be a whole number above 0, not '$seconds'" >&2
  exit 2
fi
for tool in clang++ cmake ninja python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "fuzz/run.sh: $tool is missing (bash scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done
# libFuzzer itself comes with clang's runtime libraries (libclang-rt-14-dev).
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
  clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  echo "fuzz/run.sh: clang++ cannot link libFuzzer (install libclang-rt-14-dev)" >&2
  exit 1
fi

cmake --preset fuzz >/dev/null

seed() { # seed TARGET: puts a few valid inputs into the corpus
  local corpus=build-fuzz/corpus/$1
  python3 - "$1" "$corpus" <<'PY'
import struct, sys
target, corpus = sys.argv[1], sys.argv[2]
def put(name, data):
    open(f"{corpus}/seed_{name}", "wb").write(data)
if target == "fuzz_csv":
    put("filelist", "name,caption,width,height\r\na.jpg,海,640,480\r\nB.JPG,\"x,y\",1,2\r\n".encode("cp932"))
    put("bom", b"\xef\xbb\xbfname,info\r\nb.jpg,caf\xc3\xa9\r\n")
    put("line", b'"a,b",c,"d"e,')
elif target == "fuzz_heif_exif":
    def box(kind, body):
        return struct.pack(">I", 8 + len(body)) + kind + body
    def full(kind, version, body):
        return box(kind, bytes([version, 0, 0, 0]) + body)
    tiff = b"MM\x00*" + struct.pack(">IH", 8, 1) + struct.pack(">HHII", 0x110, 2, 4, 0x41424300) + b"\x00" * 4
    item = struct.pack(">I", 6) + b"Exif\x00\x00" + tiff
    iinf = full(b"iinf", 0, struct.pack(">H", 2) + full(b"infe", 2, struct.pack(">HH", 1, 0) + b"hvc1\x00")
                + full(b"infe", 2, struct.pack(">HH", 2, 0) + b"Exif\x00"))
    ftyp = box(b"ftyp", b"heic\x00\x00\x00\x00mif1heic")
    def heif(in_idat):
        if in_idat:
            iloc = full(b"iloc", 1, bytes([0x44, 0x00]) + struct.pack(">HHHHHII", 1, 2, 1, 0, 1, 0, len(item)))
            return ftyp + full(b"meta", 0, full(b"hdlr", 0, b"\x00" * 4 + b"pict" + b"\x00" * 13) + iinf + iloc + box(b"idat", item))
        def meta(offset):
            iloc = full(b"iloc", 0, bytes([0x44, 0x00]) + struct.pack(">HHHHII", 1, 2, 0, 1, offset, len(item)))
            return full(b"meta", 0, full(b"hdlr", 0, b"\x00" * 4 + b"pict" + b"\x00" * 13) + iinf + iloc)
        # The item starts right after the header of the mdat box that follows the meta box.
        return ftyp + meta(len(ftyp) + len(meta(0)) + 8) + box(b"mdat", item)
    put("heif_mdat", heif(False))
    put("heif_idat", heif(True))
elif target == "fuzz_copy_record":
    head = b"mivo-copies 1\n"
    put("pictures", head + b"a.jpg\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\n"
        + b"b.gif\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\t2\n")
    put("video", head + b"clip.mov\t10\t20\t160\t160\t2048\t1\t160\t90\t320\t180\t800\t450\t1\t61500\t1\t20240501123000\n"
        + b"a.MOV\t10\t20\t160\t160\t2048\t2\t0\t0\t0\t0\t0\t0\t1\t0\t0\t0\t3\n")
    put("outside", head + b"../index.html\t1\t2\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\n"
        + b"link\t1\t2\t160\t160\t2048\t0\t1\t1\t1\t1\t1\t1\n" + b"own.jpg\t1\t2")
elif target == "fuzz_bmp":
    def bmp(width, height, bpp, compression, pixels, palette=b"", masks=(), header=40, colours=0):
        if header == 12:
            info = struct.pack("<IHHHH", 12, width, height, 1, bpp)
        else:
            info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bpp, compression,
                               len(pixels), 2835, 2835, colours, 0)
            info += b"".join(struct.pack("<I", m) for m in masks)
            info = info.ljust(header, b"\x00")
        offset = 14 + len(info) + len(palette)
        return b"BM" + struct.pack("<III", offset + len(pixels), 0, offset) + info + palette + pixels
    palette = b"\x1e\x14\x0a\x00\x00\x00\xff\x00\x00\xff\x00\x00\xff\x00\x00\x00"
    put("rgb24", bmp(3, -2, 24, 0, bytes(range(24))))
    put("pal8", bmp(3, 2, 8, 0, b"\x00\x01\x02\x00\x03\x02\x01\x00", palette, colours=4))
    put("rle8", bmp(4, 3, 8, 1, b"\x03\x01\x00\x00\x00\x02\x02\x01\x00\x03\x02\x03\x01\x00\x00\x01", palette, colours=4))
    put("rle4", bmp(5, 2, 4, 2, b"\x05\x12\x00\x00\x00\x03\x30\x10\x00\x01", palette, colours=4))
    put("core1", bmp(9, 2, 1, 0, b"\xb0\x80\x00\x00\x01\x02\x00\x00", palette[:3] + b"\xff\xff\xff", header=12))
    put("rgb565", bmp(3, 2, 16, 3, bytes(range(16)), masks=(0xF800, 0x07E0, 0x001F)))
    put("argb32", bmp(2, 2, 32, 3, bytes(range(0, 256, 16)), masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000), header=124))
else:
    sof = b"\xff\xc0\x00\x11\x08\x00\x1e\x00\x28\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01"
    sos = b"\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00\x00\xff\xd9"
    def exif(little, orientation, pad=40):
        e = "<" if little else ">"
        tiff = (b"II*\x00" if little else b"MM\x00*") + struct.pack(e + "I", 8)
        tiff += struct.pack(e + "H", 1) + struct.pack(e + "HHIHH", 0x112, 3, 1, orientation, 0)
        tiff += struct.pack(e + "I", 0)
        body = b"Exif\x00\x00" + tiff + b"\xff\xd8" + sof + b"\x00" * pad
        return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body
    jfif = b"\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    put("jpeg", b"\xff\xd8" + jfif + sof + sos)
    put("exif_ii", b"\xff\xd8" + exif(True, 6) + sof + sos)
    put("exif_big", b"\xff\xd8" + exif(True, 5, 60000) + b"\xff\xdb\x00\x04\x00\x00" + sof + sos)
    put("exif_mm", b"\xff\xd8" + exif(False, 8) + b"\xff\xff\xff\xd0" + sof.replace(b"\xc0", b"\xc2", 1) + sos)
    put("gif", b"GIF89a\x80\x02\xe0\x01\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")
    put("bmp_info", b"BM" + struct.pack("<IIII", 70, 0, 62, 40) + struct.pack("<iiHHIIiiII", 8, -8, 1, 1, 0, 8, 0, 0, 2, 0) + b"\x00" * 16)
    put("bmp_core", b"BM" + struct.pack("<IIII", 40, 0, 32, 12) + struct.pack("<HHHH", 8, 8, 1, 1) + b"\x00" * 14)
PY
}

status=0
for target in "${targets[@]}"; do
  echo "== building $target"
  if ! cmake --build --preset fuzz -j "$(nproc)" --target "$target"; then
    echo "== $target did not build" >&2
    status=1
    continue
  fi
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  # The targets write their files below TMPDIR: a crash leaves them here, not in /tmp.
  scratch=build-fuzz/tmp/$target
  rm -rf "$scratch"
  mkdir -p "$corpus" "$artifacts" "$scratch"
  seed "$target"
  echo "== $target for ${seconds}s"
  TMPDIR="$PWD/$scratch" ./build-fuzz/"$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=70000 -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$corpus" || { status=$?; echo "== $target failed (exit $status); see $artifacts/" >&2; }
done
exit $status
