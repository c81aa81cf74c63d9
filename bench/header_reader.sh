#!/usr/bin/env bash
# Header reader benchmark: makes COUNT (default 10,000) JPEG files, each with an EXIF block of
# 20-60 KiB after its SOI (a camera's maker notes and thumbnail), in build-bench/pictures/,
# builds bench/header_reader.cpp with the reader, and prints files per second of
# readPictureSize against a loop that only opens each file and reads its first 64 KiB,
# alternating the two twice.
#   bash bench/header_reader.sh [COUNT]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
count=${1:-10000}
out=build-bench
pictures=$out/pictures
mkdir -p "$out"

if [ "$(ls "$pictures" 2>/dev/null | wc -l)" != "$count" ]; then
  rm -rf "$pictures"
  mkdir -p "$pictures"
  seed=$out/seed.jpg
  if command -v convert >/dev/null; then
    convert -size 640x480 gradient:navy-orange -quality 85 "$seed"
  else
    rm -f "$seed" # the script below writes a header-only JPEG instead
  fi
  python3 - "$pictures" "$seed" "$count" <<'PY'
import os, random, struct, sys
folder, seed, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
if os.path.exists(seed):
    jpeg = open(seed, "rb").read()
else:
    jpeg = (b"\xff\xd8\xff\xdb\x00\x43\x00" + bytes(64) +
            b"\xff\xc0\x00\x0b\x08\x01\xe0\x02\x80\x01\x01\x11\x00" +
            b"\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00" + bytes(1000) + b"\xff\xd9")
rng = random.Random(1)
for i in range(count):
    size = rng.randint(20 * 1024, 60 * 1024)
    tiff = b"II*\x00" + struct.pack("<IH", 8, 1) + struct.pack("<HHIHH", 0x112, 3, 1, rng.choice((1, 6)), 0)
    tiff += struct.pack("<I", 0)
    body = b"Exif\x00\x00" + tiff
    body += rng.randbytes(size - 4 - len(body))
    app1 = b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body
    with open(os.path.join(folder, "IMG_%05d.JPG" % i), "wb") as f:
        f.write(jpeg[:2] + app1 + jpeg[2:])
PY
fi

c++ -O2 -std=c++20 -Isrc bench/header_reader.cpp src/generation/pictures/picture_header.cpp src/generation/pictures/exif_info.cpp \
  -o "$out/header_reader"
"$out/header_reader" "$pictures"
