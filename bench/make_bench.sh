#!/usr/bin/env bash
# Times mivo-make against the floor any maker must pay and against ImageMagick's identify.
#   bench/make_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# For 1,000, 10,000 and 50,000 camera-like JPEG files (an EXIF block of 20-60 KiB each) it
# runs one single-mode mivo-make with the log off, a baseline loop that only opens each file
# and reads its first 64 KiB, and `identify -ping -format '%w %h\n'` once per file, and prints
# one table. identify is timed on the first 1,000 files and scaled up for larger folders.
# MIVO_BENCH_SIZES="1000 5000" picks other folder sizes. Files live in a temporary folder
# (about 2 GB at 50,000) that is removed at the end.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
if [[ ! -x "$make" || ! -f "$html/list.html" ]]; then
  echo "make_bench: build first: $make and $html/ are needed (cmake --build build)" >&2
  exit 1
fi
for tool in /usr/bin/convert identify c++; do
  command -v "$tool" >/dev/null || { echo "make_bench: $tool is missing" >&2; exit 1; }
done
read -r -a sizes <<<"${MIVO_BENCH_SIZES:-1000 10000 50000}"
identify_sample=1000
runs=3

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
c++ -O2 -std=c++20 -o "$work/bench_tools" "$root/bench/bench_tools.cpp"
/usr/bin/convert -seed 7 -size 160x120 plasma:fractal -strip -quality 85 "$work/base.jpg"

# A program folder of its own: a copy of mivo-make with the templates and a Mivo.ini.
prog="$work/prog"
mkdir -p "$prog"
cp "$make" "$prog/mivo-make"
cp -r "$html" "$prog/html"

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }

# Peak memory in KiB of one mivo-make run: /usr/bin/time -v, else the kernel's VmHWM.
peak_kib() {
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -v "$prog/mivo-make" 2>"$work/time.txt" >/dev/null
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt"
  else
    "$prog/mivo-make" >/dev/null &
    local pid=$! hwm=0 v
    while kill -0 "$pid" 2>/dev/null; do
      v=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
      [[ -n "$v" ]] && hwm=$v
      sleep 0.01
    done
    wait "$pid"
    echo "$hwm"
  fi
}

rows=()
per_pic_first=""
per_pic_last=""
for n in "${sizes[@]}"; do
  pics="$work/pics"
  out="$work/out"
  rm -rf "$pics" "$out"
  mkdir -p "$pics" "$out"
  echo "make_bench: $n pictures..." >&2
  "$work/bench_tools" make "$pics" "$n" "$work/base.jpg"
  printf '[Log]\r\nLevel=0\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nIndex=%s\r\n[Html]\r\nTUse=0\r\n[Filelist]\r\nUse=0\r\n' \
    "$pics" "$out/index.html" >"$prog/Mivo.ini"

  # Every run reads warm files: the first read after writing them is not timed.
  "$work/bench_tools" read "$pics" >/dev/null
  base=999999
  for ((r = 0; r < runs; r++)); do
    t0=$(now); "$work/bench_tools" read "$pics" >/dev/null; t1=$(now)
    base=$(min "$base" "$(elapsed "$t0" "$t1")")
  done

  mivo=999999
  for ((r = 0; r < runs; r++)); do
    t0=$(now)
    if ! "$prog/mivo-make" >"$work/stdout.txt" 2>"$work/stderr.txt"; then
      echo "make_bench: mivo-make failed: $(tail -n 1 "$work/stdout.txt")" >&2
      cat "$work/stderr.txt" >&2
      exit 1
    fi
    t1=$(now)
    mivo=$(min "$mivo" "$(elapsed "$t0" "$t1")")
  done
  listed=$(grep -c 'IMG_' "$out/index.html" || true)
  if ((listed < n)); then
    echo "make_bench: the index page lists $listed of $n pictures" >&2
    exit 1
  fi
  mem=$(peak_kib)

  sample=$((n < identify_sample ? n : identify_sample))
  mapfile -t files < <(find "$pics" -name '*.jpg' | sort | head -n "$sample")
  t0=$(now)
  for f in "${files[@]}"; do
    identify -ping -format '%w %h\n' "$f"
  done >/dev/null
  t1=$(now)
  ident=$(awk -v s="$(elapsed "$t0" "$t1")" -v n="$n" -v k="$sample" 'BEGIN { printf "%.4f", s * n / k }')
  scaled=$([[ $sample -lt $n ]] && echo "*" || echo "")

  per_pic=$(awk -v s="$mivo" -v n="$n" 'BEGIN { printf "%.3f", s / n * 1e6 }')
  [[ -z "$per_pic_first" ]] && per_pic_first=$per_pic
  per_pic_last=$per_pic
  rows+=("$(awk -v n="$n" -v m="$mivo" -v b="$base" -v i="$ident" -v mem="$mem" -v star="$scaled" -v pp="$per_pic" 'BEGIN {
    printf "| %d | %.3f | %.0f | %.1f | %.3f | %.0f | %.2fx | %.1f%s | %.0fx | %.1f |",
      n, m, n / m, pp, b, n / b, m / b, i, star, i / m, mem / 1024 }')")
done

echo
echo "| pictures | mivo-make s | pictures/s | µs/picture | baseline s | pictures/s | mivo-make / baseline | identify s | identify / mivo-make | peak MB |"
echo "| ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"
printf '%s\n' "${rows[@]}"
echo
if [[ "${#sizes[@]}" -gt 1 ]]; then
  awk -v a="$per_pic_first" -v b="$per_pic_last" -v f="${sizes[0]}" -v l="${sizes[-1]}" 'BEGIN {
    printf "time per picture at %d vs %d: %.2fx\n", l, f, b / a }'
fi
echo "* identify timed on the first $identify_sample files, one call each, and scaled to the folder."
echo "Best of $runs runs for mivo-make and the baseline; warm file cache; $(nproc) cores."
