#!/usr/bin/env bash
# How close the display copies come to a reference made from the full-size picture.
#   bench/copy_quality.sh [path/to/mivo-make] [path/to/earlier/mivo-make]
# Pictures: 20 with fine detail made with vips (zone plates, grain of 1 to 3 pixels, text,
# stripes, a contrast-sensitivity pattern), at 6000x4000, 4000x3000 and 3000x2000 so that the
# decoder works at 3/8, 5/8 and 3/4, made once into build/quality-pictures/. The reference is `vips resize` of the full-size picture to
# the copy's size (its default Lanczos3 kernel), saved as PNG; each copy's PSNR against it is
# printed in dB, for this mivo-make and for the earlier one (without one given: `vips
# thumbnail` saved as Mivo saved it before the direct decoder, Q=85, strip, optimize_coding).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
earlier="${2:-}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
for tool in /usr/bin/convert /usr/bin/compare /usr/bin/vips; do
  [[ -x "$tool" ]] || { echo "copy_quality: $tool is missing" >&2; exit 1; }
done

pics="$root/build/quality-pictures"
if [[ ! -f "$pics/.complete" ]]; then
  rm -rf "$pics" && mkdir -p "$pics/tmp"
  echo "making 20 pictures with fine detail in $pics (once)" >&2
  t="$pics/tmp"
  sizes=(6000x4000 4000x3000 3000x2000)
  for i in $(seq 1 20); do
    size=${sizes[$((i % 3))]}
    w=${size%x*} h=${size#*x}
    out="$pics/$(printf 'Q_%02d.jpg' "$i")[Q=92]"
    case $((i % 6)) in
      0) # a zone plate: every frequency up to the finest, tinted
        vips zone "$t/a.v" "$w" "$h" && vips linear "$t/a.v" "$out" "100 120 127" "128 100 128" --uchar ;;
      1) # noise blurred to grain of 1 to 3 pixels, per band
        vips gaussnoise "$t/a.v" "$w" "$h" --sigma 70 --mean 128 &&
          vips gaussblur "$t/a.v" "$t/b.v" "0.$((4 + i % 6))" &&
          vips linear "$t/b.v" "$out" "1 0.8 1.2" "0 20 -10" --uchar ;;
      2) # text, in lines of a few pixels (grey)
        vips text "$t/a.v" "Mivo turns picture folders into galleries, $i" --dpi $((60 + 8 * i)) --font "sans 10" &&
          vips invert "$t/a.v" "$t/b.v" && vips replicate "$t/b.v" "$t/c.v" 60 400 &&
          vips crop "$t/c.v" "$out" 0 0 "$w" "$h" ;;
      3) # a test pattern whose contrast falls with frequency
        vips eye "$t/a.v" "$w" "$h" --factor "0.$((3 + i % 5))" &&
          vips linear "$t/a.v" "$out" "127 110 127" "128 128 100" --uchar ;;
      4) # fine stripes
        vips sines "$t/a.v" "$w" "$h" --hfreq $((200 + 40 * i)) --vfreq $((90 + 30 * i)) &&
          vips linear "$t/a.v" "$out" "110 90 120" "128 140 120" --uchar ;;
      5) # a zone plate under grain
        vips zone "$t/a.v" "$w" "$h" && vips gaussnoise "$t/b.v" "$w" "$h" --sigma 0.3 --mean 0 &&
          vips add "$t/a.v" "$t/b.v" "$t/c.v" && vips linear "$t/c.v" "$out" "90 100 80" "128 120 130" --uchar ;;
    esac
  done
  rm -rf "$t"
  touch "$pics/.complete"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-quality.XXXXXX")"
trap 'rm -rf "$work"' EXIT
make_copies() { # make_copies MIVO-MAKE OUT
  local prog="$work/prog"
  rm -rf "$prog" && mkdir -p "$prog" "$2"
  cp "$1" "$prog/mivo-make" && cp -r "$html" "$prog/html"
  printf '[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nThum=%s\r\nIndex=%s\r\nHtml=""\r\n[Html]\r\nTUse=0\r\nTWidth=160\r\nTHeight=160\r\nReduce=1\r\n' \
    "$pics" "$pics" "$2/index.html" >"$prog/Mivo.ini"
  (cd "$prog" && ./mivo-make --jobs 2 >/dev/null)
}
make_copies "$make" "$work/new"
if [[ -n "$earlier" ]]; then
  make_copies "$earlier" "$work/old"
  label="earlier mivo-make"
else
  mkdir -p "$work/old/view"
  for f in "$pics"/Q_*.jpg; do
    vips thumbnail "$f" "$work/old/view/$(basename "$f")[Q=85,strip,optimize_coding]" 2048 --height 2048 --size down
  done
  label="vips thumbnail"
fi

psnr() { { compare -metric PSNR "$1" "$2" null: 2>&1 || true; } | awk '{ print $1 }'; }
printf '%-10s %-10s %-10s %12s %12s %8s\n' picture size copy "this (dB)" "before (dB)" "change"
for f in "$pics"/Q_*.jpg; do
  name=$(basename "$f")
  read -r w h < <(vipsheader -f width "$f" | tr '\n' ' '; vipsheader -f height "$f")
  read -r cw ch < <(vipsheader -f width "$work/new/view/$name" | tr '\n' ' '; vipsheader -f height "$work/new/view/$name")
  vips resize "$f" "$work/ref.png" "$(awk -v a="$cw" -v b="$w" 'BEGIN { printf "%.10f", a / b }')" \
    --vscale "$(awk -v a="$ch" -v b="$h" 'BEGIN { printf "%.10f", a / b }')"
  new=$(psnr "$work/new/view/$name" "$work/ref.png")
  old=$(psnr "$work/old/view/$name" "$work/ref.png")
  printf '%-10s %-10s %-10s %12s %12s %8s\n' "$name" "${w}x$h" "${cw}x$ch" "$new" "$old" \
    "$(awk -v a="$new" -v b="$old" 'BEGIN { printf "%+.2f", a - b }')"
done | tee "$work/table"
awk 'NR > 0 { n++; s += $6; if (n == 1 || $6 < m) m = $6 } END { printf "mean change %+.2f dB, worst %+.2f dB over %d pictures (against %s)\n", s / n, m, n, "'"$label"'" }' "$work/table"
