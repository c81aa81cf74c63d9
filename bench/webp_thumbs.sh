#!/usr/bin/env bash
# What the WebP thumbnails save on a list's first load, and what they cost in quality.
#   bench/webp_thumbs.sh [path/to/mivo-make]        (default: build/mivo-make)
# Pictures: MIVO_BENCH_PICTURES (default 300) of 3000x2000, made once into
# build/webp-pictures/: 30 different ones (ImageMagick's fractal plasma under fine grain,
# with a line of text, each from its own seed), repeated under new names up to the count.
# One run of mivo-make with reduced copies (thumbnail box 160x160, 2x 320x320) writes both
# kinds of thumbnail, so both figures of each ratio come from the same run:
#   first load: list.html and every thumbnail as a browser fetches them, at 1x and at 2x:
#     today's  = list.html without the <picture>/<source> markup, and the JPEG thumbnails;
#     with WebP = list.html as written, and the WebP thumbnails;
#     once with list.html as it is, once compressed as a server that compresses pages sends it;
#   quality: each of the 30 pictures' thumbnails (1x and 2x, JPEG and WebP) against a
#     reference of the same size, `vips resize` (Lanczos3) of the full-size picture saved as
#     PNG, by ImageMagick's PSNR; the mean over the pictures.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
count="${MIVO_BENCH_PICTURES:-300}"
kinds=30
for tool in /usr/bin/convert /usr/bin/compare /usr/bin/vips /usr/bin/vipsheader; do
  [[ -x "$tool" ]] || { echo "webp_thumbs: $tool is missing" >&2; exit 1; }
done
[[ -x "$make" ]] || { echo "webp_thumbs: build first ($make)" >&2; exit 1; }

pics="$root/build/webp-pictures/$count"
if [[ ! -f "$pics/.complete" ]]; then
  rm -rf "$pics" && mkdir -p "$pics"
  echo "making $kinds pictures of 3000x2000 as $count files in $pics (once)" >&2
  for ((k = 1; k <= kinds; k++)); do
    convert -seed "$k" -size 750x500 plasma:fractal -resize 3000x2000! \
      \( -size 3000x2000 xc:gray50 -seed "$k" +noise Gaussian -blur "0x0.$((5 + k % 5))" \) \
      -compose overlay -composite -fill white -pointsize 90 -annotate "+$((100 + 40 * k))+1700" "Mivo $k" \
      -quality 92 "$pics/kind_$k.jpg"
  done
  for ((i = 1; i <= count; i++)); do
    cp "$pics/kind_$(((i - 1) % kinds + 1)).jpg" "$pics/$(printf 'IMG_%04d.jpg' "$i")"
  done
  rm "$pics"/kind_*.jpg
  touch "$pics/.complete"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-webp.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prog="$work/prog" out="$work/out"
mkdir -p "$prog" "$out"
cp "$make" "$prog/mivo-make" && cp -r "$html" "$prog/html"
printf '[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nThum=%s\r\nIndex=%s\r\nHtml=""\r\n[Html]\r\nTUse=0\r\nTWidth=160\r\nTHeight=160\r\nReduce=1\r\n' \
  "$pics" "$pics" "$out/index.html" >"$prog/Mivo.ini"
(cd "$prog" && ./mivo-make --jobs 2 >/dev/null)
n_webp=$(find "$out/thumbs" -maxdepth 1 -name '*.webp' | wc -l)
((n_webp == count)) || { echo "webp_thumbs: $n_webp WebP thumbnails for $count pictures (libvips without WebP?)" >&2; exit 1; }

size_of() { stat -c %s "$@" | awk '{ s += $1 } END { print s + 0 }'; }
page_new=$(size_of "$out/list.html")
page_old=$(sed -e 's/<picture><source [^>]*>//g' -e 's#</picture>##g' "$out/list.html" | wc -c)
# As a server that compresses pages sends it (gzip -6, as nginx's and Apache's default level).
gz_new=$(gzip -6 -c "$out/list.html" | wc -c)
gz_old=$(sed -e 's/<picture><source [^>]*>//g' -e 's#</picture>##g' "$out/list.html" | gzip -6 -c | wc -c)
sum_jpeg() { (cd "$1" && find . -maxdepth 1 -name 'IMG_*.jpg' -print0 | xargs -0 stat -c %s | awk '{ s += $1 } END { print s + 0 }'); }
sum_webp() { (cd "$1" && find . -maxdepth 1 -name 'IMG_*.jpg.webp' -print0 | xargs -0 stat -c %s | awk '{ s += $1 } END { print s + 0 }'); }
j1=$(sum_jpeg "$out/thumbs") w1=$(sum_webp "$out/thumbs")
j2=$(sum_jpeg "$out/thumbs/2x") w2=$(sum_webp "$out/thumbs/2x")

psnr() { { compare -metric PSNR "$1" "$2" null: 2>&1 || true; } | awk '{ print $1 }'; }
: >"$work/psnr"
for ((i = 1; i <= kinds && i <= count; i++)); do
  name=$(printf 'IMG_%04d.jpg' "$i")
  read -r w h < <(vipsheader -f width "$pics/$name" | tr '\n' ' '; vipsheader -f height "$pics/$name")
  for dir in "$out/thumbs" "$out/thumbs/2x"; do
    read -r cw ch < <(vipsheader -f width "$dir/$name" | tr '\n' ' '; vipsheader -f height "$dir/$name")
    vips resize "$pics/$name" "$work/ref.png" "$(awk -v a="$cw" -v b="$w" 'BEGIN { printf "%.10f", a / b }')" \
      --vscale "$(awk -v a="$ch" -v b="$h" 'BEGIN { printf "%.10f", a / b }')"
    vips copy "$dir/$name.webp" "$work/webp.png"
    echo "$([[ $dir == */2x ]] && echo 2x || echo 1x) $(psnr "$dir/$name" "$work/ref.png") $(psnr "$work/webp.png" "$work/ref.png")" >>"$work/psnr"
  done
done

echo "first load of a list of $count pictures (list.html and its thumbnails, bytes):"
printf '  %-4s %14s %14s %8s\n' "" "today (JPEG)" "with WebP" "ratio"
for d in 1x 2x; do
  if [[ $d == 1x ]]; then old=$((page_old + j1)) new=$((page_new + w1)); else old=$((page_old + j2)) new=$((page_new + w2)); fi
  printf '  %-4s %14d %14d %8s\n' "$d" "$old" "$new" "$(awk -v a="$new" -v b="$old" 'BEGIN { printf "%.3f", a / b }')"
done
echo "  (list.html: $page_old bytes today, $page_new with the <picture> markup)"
echo "the same with list.html compressed (gzip -6: $gz_old and $gz_new bytes), and thumbnails alone:"
for d in 1x 2x; do
  if [[ $d == 1x ]]; then j=$j1 w=$w1; else j=$j2 w=$w2; fi
  printf '  %-4s %14d %14d %8s   thumbnails %d -> %d, %s\n' "$d" $((gz_old + j)) $((gz_new + w)) \
    "$(awk -v a=$((gz_new + w)) -v b=$((gz_old + j)) 'BEGIN { printf "%.3f", a / b }')" "$j" "$w" \
    "$(awk -v a="$w" -v b="$j" 'BEGIN { printf "%.3f", a / b }')"
done
echo "thumbnail PSNR against a same-size Lanczos3 reference, mean over $kinds pictures (dB):"
printf '  %-4s %10s %10s %8s\n' "" JPEG WebP change
for d in 1x 2x; do
  awk -v d="$d" '$1 == d { n++; j += $2; w += $3 } END { printf "  %-4s %10.2f %10.2f %+8.2f\n", d, j / n, w / n, w / n - j / n }' "$work/psnr"
done
