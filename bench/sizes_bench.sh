#!/usr/bin/env bash
# Times the reduced copies (縮小画像を作成する) against the tools a user would reach for.
#   bench/sizes_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# Pictures: MIVO_BENCH_PICTURES (default 300) camera-sized JPEGs of 6000x4000, made once into
# build/bench-pictures/ and kept between runs (one picture made with ImageMagick, copied under
# new names). Every maker makes the same three sizes of each picture with 2 parallel jobs:
# thumbnails fitted into 160x160 and 320x320 and display copies with a long edge of 2048.
#   a) mivo-make with the option on (--jobs 2): first run, re-run with nothing changed, and a
#      run with the option off for comparison; peak memory of the first run;
#   b) vipsthumbnail (Debian libvips-tools), one pass per size, 2 processes via xargs;
#   c) ImageMagick convert -thumbnail, one process per picture and size, 2 at a time;
#   d) thumbsup from npm, when MIVO_BENCH_THUMBSUP names its executable (not installed here).
# Warm cache: every tool reads the same files, read once before the timings.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
count="${MIVO_BENCH_PICTURES:-300}"
jobs=2
for tool in /usr/bin/convert /usr/bin/vipsthumbnail /usr/bin/time; do
  [[ -x "$tool" ]] || { echo "sizes_bench: $tool is missing" >&2; exit 1; }
done
[[ -x "$make" ]] || { echo "sizes_bench: build first ($make)" >&2; exit 1; }

pics="$root/build/bench-pictures/$count"
if [[ ! -f "$pics/.complete" ]]; then
  mkdir -p "$pics"
  echo "making $count pictures of 6000x4000 in $pics (once)" >&2
  /usr/bin/convert -seed 3 -size 1500x1000 plasma:fractal -resize 6000x4000! -quality 92 "$pics/base.tmp.jpg"
  for ((i = 1; i <= count; i++)); do cp "$pics/base.tmp.jpg" "$pics/$(printf 'IMG_%04d.jpg' "$i")"; done
  rm "$pics/base.tmp.jpg"
  touch "$pics/.complete"
fi
cat "$pics"/*.jpg >/dev/null # warm the cache

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-sizes-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

prog="$work/prog"
mkdir -p "$prog" "$work/site"
cp "$make" "$prog/mivo-make"
cp -r "$html" "$prog/html"
ini() { # ini REDUCE: Mivo.ini in cp932 with CR LF (ASCII here)
  printf '[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nThum=%s\r\nIndex=%s\r\nHtml=""\r\n[Html]\r\nTUse=0\r\nTWidth=160\r\nTHeight=160\r\nReduce=%s\r\n' \
    "$pics" "$pics" "$work/site/index.html" "$1" >"$prog/Mivo.ini"
}
mivo() { (cd "$prog" && ./mivo-make --jobs "$jobs" >/dev/null); }
timed() { local t0 t1; t0=$(now); "$@"; t1=$(now); elapsed "$t0" "$t1"; }

ini 0
mivo_off=$(timed mivo)
ini 1
rm -rf "$work/site/thumbs" "$work/site/view"
peak=$( { /usr/bin/time -f '%M' bash -c "cd '$prog' && ./mivo-make --jobs $jobs >/dev/null"; } 2>&1 | tail -1)
mivo_first_t0=$(now)
rm -rf "$work/site/thumbs" "$work/site/view"
mivo
mivo_first=$(elapsed "$mivo_first_t0" "$(now)")
mivo_again=$(timed mivo)

vips_pass() { # vips_pass SIZE FOLDER
  mkdir -p "$work/vips/$2"
  (cd "$pics" && ls IMG_*.jpg | xargs -P "$jobs" -n 8 vipsthumbnail -s "$1" -o "$work/vips/$2/%s.jpg[Q=80,strip]")
}
vips_all() { vips_pass 160x160 t1 && vips_pass 320x320 t2 && vips_pass '2048x2048>' view; }
vips_time=$(timed vips_all)

im_all() {
  mkdir -p "$work/im"
  (cd "$pics" && ls IMG_*.jpg | xargs -P "$jobs" -I{} sh -c \
    'convert "$1" -auto-orient -thumbnail 160x160 -quality 80 "$2/t1-$1" &&
     convert "$1" -auto-orient -thumbnail 320x320 -quality 80 "$2/t2-$1" &&
     convert "$1" -auto-orient -thumbnail "2048x2048>" -quality 85 "$2/v-$1"' _ {} "$work/im")
}
im_time=$(timed im_all)

thumbsup_time="not run (set MIVO_BENCH_THUMBSUP)"
if [[ -n "${MIVO_BENCH_THUMBSUP:-}" ]]; then
  thumbsup_time=$(timed "$MIVO_BENCH_THUMBSUP" --input "$pics" --output "$work/thumbsup" \
    --concurrency "$jobs" --thumb-size 320 --large-size 2048 >/dev/null)
fi

printf '%s pictures of 6000x4000, %s jobs, warm cache\n' "$count" "$jobs"
printf '%-44s %10s\n' "maker" "seconds"
printf '%-44s %10s\n' "mivo-make, option off" "$mivo_off"
printf '%-44s %10s\n' "mivo-make, option on, first run" "$mivo_first"
printf '%-44s %10s\n' "mivo-make, option on, nothing changed" "$mivo_again"
printf '%-44s %10s\n' "vipsthumbnail, three passes" "$vips_time"
printf '%-44s %10s\n' "ImageMagick convert, one process per size" "$im_time"
printf '%-44s %10s\n' "thumbsup" "$thumbsup_time"
printf 'mivo-make peak memory (first run): %s KiB\n' "$peak"
