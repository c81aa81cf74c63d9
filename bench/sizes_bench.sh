#!/usr/bin/env bash
# Times the reduced copies (縮小画像を作成する) against the tools a user would reach for.
#   bench/sizes_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# Pictures: MIVO_BENCH_PICTURES (default 300) camera-sized JPEGs of 6000x4000, made once into
# build/bench-pictures/ and kept between runs (one picture made with ImageMagick, copied under
# new names). Every maker works with 2 parallel jobs (one per core here). Each figure is set
# beside the decode floor: djpeg (Debian libjpeg-turbo-progs) decoding every picture at the
# scale M/8 Mivo decodes it at, output thrown away.
#   a) mivo-make with the option on (--jobs 2): thumbnails fitted into 160x160 and 320x320 and
#      display copies with a long edge of 2048; first run, re-run with nothing changed, and a
#      run with the option off for comparison; peak memory of the first run;
#   b) vipsthumbnail (Debian libvips-tools) making the 320 and 2048 copies, one pass per size,
#      2 processes via xargs; the floor, mivo-make and vipsthumbnail take turns, 3 rounds;
#   c) ImageMagick convert -thumbnail, one process per picture and size (all three), 2 at a time;
#   d) thumbsup 2 from npm (--concurrency 2 --thumb-size 320 --large-size 2048), installed under
#      build/bench-tools/ on the first run, left out with a note where it cannot be installed.
# Warm cache: every tool reads the same files, read once before the timings.
# MIVO_BENCH_MAKERS=mivo times the floor and mivo-make alone; =fast adds vipsthumbnail only.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench/thumbsup.sh
source "$root/bench/thumbsup.sh"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
count="${MIVO_BENCH_PICTURES:-300}"
jobs=2
for tool in /usr/bin/convert /usr/bin/vipsthumbnail /usr/bin/vipsheader /usr/bin/djpeg /usr/bin/time; do
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
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

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
best3() { { timed "$@"; echo; timed "$@"; echo; timed "$@"; echo; } | sort -g | head -1; }

# The decode floor: what decoding alone costs at the scale Mivo decodes at (djpeg from
# libjpeg-turbo-progs, output thrown away), every picture, as many at a time as Mivo's jobs.
# The set is one picture under many names, so one scale holds for all; it is chosen as Mivo
# chooses it (copy_geometry.h): the smallest M/8 whose decoded size covers twice the
# 2048-pixel display copy, 8/8 in place of 5/8 to 7/8.
read -r pw ph < <(vipsheader -f width "$pics/IMG_0001.jpg" | tr '\n' ' '; vipsheader -f height "$pics/IMG_0001.jpg")
eighths=$(awk -v w="$pw" -v h="$ph" 'BEGIN {
  s = w / 2048; if (h / 2048 > s) s = h / 2048; if (s < 1) s = 1
  vw = int(w / s + 0.5); vh = int(h / s + 0.5)
  for (m = 1; m <= 4; m++) if (int((w * m + 7) / 8) >= 2 * vw && int((h * m + 7) / 8) >= 2 * vh) break
  if (m > 4) m = 8
  print m }')
floor_run() { (cd "$pics" && ls IMG_*.jpg | xargs -P "$jobs" -n 1 djpeg -scale "$eighths/8" -outfile /dev/null); }

vips_pass() { # vips_pass SIZE FOLDER QUALITY
  mkdir -p "$work/vips/$2"
  (cd "$pics" && ls IMG_*.jpg | xargs -P "$jobs" -n 8 vipsthumbnail -s "$1" -o "$work/vips/$2/%s.jpg[Q=$3,strip]")
}
# vipsthumbnail makes the 2x thumbnail (320) and the display copy (2048), one pass per size.
vips_all() { vips_pass 320x320 t2 80 && vips_pass '2048x2048>' view 85; }
mivo_first() { rm -rf "$work/site/thumbs" "$work/site/view"; mivo; }

makers="${MIVO_BENCH_MAKERS:-all}"
only_mivo=0
[[ "$makers" == mivo ]] && only_mivo=1
with_vips=1
((only_mivo)) && with_vips=0
# The makers take turns, three rounds, so that whatever else the machine does meanwhile falls on
# all of them alike; each figure is its best round.
# Beside the seconds, the processor time (user + system) each round took, which the rest of
# the machine disturbs less: the mean of the three rounds.
floor_time="" mivo_first_time="" vips_time="not run"
best() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b < a) print b; else print a }'; }
timed_cpu() { # timed_cpu NAME COMMAND...: seconds; the processor time goes to $work/cpu.NAME
  local name=$1 t0 t1
  shift
  t0=$(now)
  ("$@" && times >"$work/times")
  t1=$(now)
  tail -1 "$work/times" |
    awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); print u[1] * 60 + u[2] + s[1] * 60 + s[2] }' \
      >>"$work/cpu.$name"
  elapsed "$t0" "$t1"
}
cpu_mean() { [[ -f "$work/cpu.$1" ]] && awk '{ s += $1; n++ } END { printf "%.1f", s / n }' "$work/cpu.$1" || echo "-"; }
ini 1
for round in 1 2 3; do
  floor_time=$(best "$floor_time" "$(timed_cpu floor floor_run)")
  mivo_first_time=$(best "$mivo_first_time" "$(timed_cpu mivo mivo_first)")
  if ((with_vips)); then
    t=$(timed_cpu vips vips_all)
    [[ "$vips_time" == "not run" ]] && vips_time=$t || vips_time=$(best "$vips_time" "$t")
  fi
done
# Peak memory of one more first run; then a re-run with nothing changed and the option off.
rm -rf "$work/site/thumbs" "$work/site/view"
peak=$({ /usr/bin/time -f '%M' bash -c "cd '$prog' && ./mivo-make --jobs $jobs >/dev/null"; } 2>&1 | tail -1)
mivo_again=$(best3 mivo)
ini 0
mivo_off=$(best3 mivo)

im_all() {
  mkdir -p "$work/im"
  (cd "$pics" && ls IMG_*.jpg | xargs -P "$jobs" -I{} sh -c \
    'convert "$1" -auto-orient -thumbnail 160x160 -quality 80 "$2/t1-$1" &&
     convert "$1" -auto-orient -thumbnail 320x320 -quality 80 "$2/t2-$1" &&
     convert "$1" -auto-orient -thumbnail "2048x2048>" -quality 85 "$2/v-$1"' _ {} "$work/im")
}
im_time="not run"
[[ "$makers" == all ]] && im_time=$(timed im_all)

# thumbsup: installed once under build/bench-tools/ with npm, with the two Debian packages it
# calls (installed here when run as root); left out with a note when it cannot be had.
thumbsup_time="not run"
thumbsup_note=""
if [[ "$makers" != all ]]; then
  thumbsup_note="MIVO_BENCH_MAKERS=$makers"
else
find_thumbsup "$root/build/bench-tools/thumbsup"
if [[ -z "$thumbsup_note" ]]; then
  thumbsup_run() {
    "$thumbsup" --input "$pics" --output "$work/thumbsup" --concurrency "$jobs" \
      --thumb-size 320 --large-size 2048 --log default >/dev/null 2>&1
  }
  thumbsup_time=$(timed thumbsup_run || true)
  thumbsup_again=$(timed thumbsup_run || true)
  if [[ -f "$work/thumbsup/index.html" ]]; then
    thumbsup_note="thumbsup $("$thumbsup" --version | tr -d '[:space:]'); nothing changed: $thumbsup_again s"
  else
    thumbsup_time="failed"
    thumbsup_note="thumbsup made no index.html"
  fi
fi
fi

ratio() { # ratio A B: A / B, or "-" when either is not a time
  awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b > 0) printf "%.2fx", a / b; else print "-" }'
}
printf '%s pictures of %sx%s, %s jobs, warm cache, decoded at %s/8\n' "$count" "$pw" "$ph" "$jobs" "$eighths"
printf '%-46s %10s %10s %10s %10s\n' "maker" "seconds" "/ floor" "cpu s" "/ floor"
for m in floor mivo vips; do eval "cpu_$m=\$(cpu_mean $m)"; done
printf '%-46s %10s %10s %10s %10s\n' "decode floor (djpeg -scale $eighths/8)" "$floor_time" "$(ratio "$floor_time" "$floor_time")" "$cpu_floor" "$(ratio "$cpu_floor" "$cpu_floor")"
printf '%-46s %10s %10s %10s %10s\n' "mivo-make, option on, first run" "$mivo_first_time" "$(ratio "$mivo_first_time" "$floor_time")" "$cpu_mivo" "$(ratio "$cpu_mivo" "$cpu_floor")"
printf '%-46s %10s %10s %10s %10s\n' "vipsthumbnail, 320 and 2048, one pass each" "$vips_time" "$(ratio "$vips_time" "$floor_time")" "$cpu_vips" "$(ratio "$cpu_vips" "$cpu_floor")"
printf '%-46s %10s %10s\n' "ImageMagick convert, one process per size" "$im_time" "$(ratio "$im_time" "$floor_time")"
printf '%-46s %10s %10s\n' "thumbsup" "$thumbsup_time" "$(ratio "$thumbsup_time" "$floor_time")"
[[ -n "$thumbsup_note" ]] && printf '  (%s)\n' "$thumbsup_note"
printf '%-46s %10s\n' "mivo-make, option on, nothing changed" "$mivo_again"
printf '%-46s %10s\n' "mivo-make, option off" "$mivo_off"
printf 'vipsthumbnail / mivo-make first run: %s (best of 3 rounds each, taken in turns; processor time %s)\n' \
  "$(ratio "$vips_time" "$mivo_first_time")" "$(ratio "$cpu_vips" "$cpu_mivo")"
printf 'nothing changed / option off: %s (best of 3 runs each)\n' "$(ratio "$mivo_again" "$mivo_off")"
printf 'mivo-make peak memory (first run): %s KiB\n' "$peak"
