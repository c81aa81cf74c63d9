#!/usr/bin/env bash
# Times mivo-make against the floors any maker must pay and against ImageMagick's identify.
#   bench/make_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# For 1,000, 10,000 and 50,000 camera-like JPEG files (an EXIF block of 20-60 KiB each) it
# measures, with a warm file cache and then with a cold one:
#   - one single-mode mivo-make run with the log off;
#   - the sequential floor: one thread opens each file and reads its first 64 KiB;
#   - the parallel floor: 16 threads open the files and read the first 4 KiB of each;
#   - `identify -ping -format '%w %h\n'` run once over all the files (one process, the way a
#     script would do it best);
# and mivo-make's peak memory (the median of five runs), and prints one table of times and ratios. The first three are
# run in turns (5 rounds warm, 3 cold) and each keeps its best time.
# Cold runs drop the page cache before each measurement (`sync; echo 3 >
# /proc/sys/vm/drop_caches`), which needs root; without it the cold rows are left out and the
# table says so. MIVO_BENCH_SIZES="1000 5000" picks other folder sizes. Files live in a
# temporary folder (about 2 GB at 50,000) that is removed at the end.
# MIVO_BENCH_BASELINE=<another mivo-make> also runs that build in the same turns (another
# commit, say) and prints a second table: both times, their ratio and both peaks.
# MIVO_BENCH_COLD=0 leaves the cold rows out.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
if [[ ! -x "$make" || ! -f "$html/list.html" ]]; then
  echo "make_bench: build first: $make and $html/ are needed (cmake --build build)" >&2
  exit 1
fi
for tool in /usr/bin/convert identify c++; do
  command -v "$tool" >/dev/null || { echo "make_bench: $tool is missing" >&2; exit 1; }
done
read -r -a sizes <<<"${MIVO_BENCH_SIZES:-1000 10000 50000}"
warm_runs=5
cold_runs=3
threads=16

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
c++ -O2 -std=c++20 -pthread -o "$work/bench_tools" "$root/bench/bench_tools.cpp"
/usr/bin/convert -seed 7 -size 160x120 plasma:fractal -strip -quality 85 "$work/base.jpg"

# A program folder of its own: a copy of mivo-make with the templates and a Mivo.ini.
prog="$work/prog"
mkdir -p "$prog"
cp "$make" "$prog/mivo-make"
cp -r "$html" "$prog/html"
baseline="${MIVO_BENCH_BASELINE:-}"
if [[ -n "$baseline" ]]; then
  mkdir -p "$work/base"
  cp "$baseline" "$work/base/mivo-make"
  cp -r "$html" "$work/base/html"
fi

cold=0
if [[ "${MIVO_BENCH_COLD:-1}" == 1 && $(id -u) -eq 0 ]] && { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
  cold=1
fi
drop_cache() { sync; echo 3 >/proc/sys/vm/drop_caches; }

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }

# Best wall time of a command over `runs` runs; a cold measurement drops the cache first.
best_of() {
  local is_cold=$1 runs=$2 best=999999 t0 t1
  shift 2
  for ((r = 0; r < runs; r++)); do
    ((is_cold)) && drop_cache
    t0=$(now)
    if ! "$@" >/dev/null 2>"$work/stderr.txt"; then
      echo "make_bench: $* failed" >&2
      cat "$work/stderr.txt" >&2
      exit 1
    fi
    t1=$(now)
    best=$(min "$best" "$(elapsed "$t0" "$t1")")
  done
  echo "$best"
}

# identify once over every picture of the folder, by relative name so the list fits the
# command line.
identify_all() {
  (cd "$1" && identify -ping -format '%w %h\n' IMG_*.jpg)
}

# Peak memory in KiB of one mivo-make run (of the program folder $1, by default the one
# measured): /usr/bin/time -v, else the kernel's VmHWM.
peak_kib() {
  local folder="${1:-$prog}"
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -v "$folder/mivo-make" 2>"$work/time.txt" >/dev/null
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt"
  else
    "$folder/mivo-make" >/dev/null &
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

# The median of five peaks: the allocator's choice between the heap and fresh mappings for
# the large arrays moves one run's peak by a few MB either way, with the threads' timing.
median_peak_kib() {
  local runs=() r
  for r in 1 2 3 4 5; do runs+=("$(peak_kib "$@")"); done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p
}

rows=()
base_rows=()
declare -A per_pic
for n in "${sizes[@]}"; do
  pics="$work/pics"
  out="$work/out"
  rm -rf "$pics" "$out"
  mkdir -p "$pics" "$out"
  echo "make_bench: $n pictures..." >&2
  "$work/bench_tools" make "$pics" "$n" "$work/base.jpg"
  printf '[Log]\r\nLevel=0\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nIndex=%s\r\n[Html]\r\nTUse=0\r\n[Filelist]\r\nUse=0\r\n' \
    "$pics" "$out/index.html" >"$prog/Mivo.ini"

  # A first run checks the result and warms the cache; it is not timed.
  if ! "$prog/mivo-make" >"$work/stdout.txt" 2>"$work/stderr.txt"; then
    echo "make_bench: mivo-make failed: $(tail -n 1 "$work/stdout.txt")" >&2
    cat "$work/stderr.txt" >&2
    exit 1
  fi
  listed=$(grep -c 'IMG_' "$out/index.html" || true)
  if ((listed < n)); then
    echo "make_bench: the index page lists $listed of $n pictures" >&2
    exit 1
  fi
  measured=$(identify_all "$pics" | wc -l)
  if ((measured != n)); then
    echo "make_bench: identify measured $measured of $n pictures" >&2
    exit 1
  fi
  mem=$(median_peak_kib)
  if [[ -n "$baseline" ]]; then
    cp "$prog/Mivo.ini" "$work/base/Mivo.ini"
    base_mem=$(median_peak_kib "$work/base")
  fi

  for is_cold in 0 1; do
    if ((is_cold && !cold)); then
      continue
    fi
    runs=$((is_cold ? cold_runs : warm_runs))
    # The three are taken in turns, one run each per round, so that a slow spell of the
    # machine or the disk falls on all of them alike; each keeps its best run.
    seq=999999 par=999999 mivo=999999 base=999999
    for ((round = 0; round < runs; round++)); do
      seq=$(min "$seq" "$(best_of "$is_cold" 1 "$work/bench_tools" read "$pics")")
      par=$(min "$par" "$(best_of "$is_cold" 1 "$work/bench_tools" pread "$pics" "$threads")")
      mivo=$(min "$mivo" "$(best_of "$is_cold" 1 "$prog/mivo-make")")
      if [[ -n "$baseline" ]]; then
        base=$(min "$base" "$(best_of "$is_cold" 1 "$work/base/mivo-make")")
      fi
    done
    ident=$(best_of "$is_cold" 1 identify_all "$pics")
    label=$([[ $is_cold -eq 1 ]] && echo cold || echo warm)
    pp=$(awk -v s="$mivo" -v n="$n" 'BEGIN { printf "%.2f", s / n * 1e6 }')
    per_pic["$label,$n"]=$pp
    peak=$([[ $is_cold -eq 0 ]] && awk -v m="$mem" 'BEGIN { printf "%.1f", m / 1024 }' || echo "")
    rows+=("$(awk -v n="$n" -v c="$label" -v m="$mivo" -v pp="$pp" -v s="$seq" -v p="$par" \
      -v i="$ident" -v peak="$peak" 'BEGIN {
      printf "| %d | %s | %.3f | %.1f | %.3f | %.2fx | %.3f | %.2fx | %.2f | %.0fx | %s |",
        n, c, m, pp, s, m / s, p, m / p, i, i / m, peak }')")
    if [[ -n "$baseline" ]]; then
      base_rows+=("$(awk -v n="$n" -v c="$label" -v m="$mivo" -v b="$base" -v cold="$is_cold" \
        -v mm="$mem" -v bm="$base_mem" 'BEGIN {
        printf "| %d | %s | %.3f | %.3f | %.3f | %s | %s |", n, c, m, b, m / b,
          cold ? "" : sprintf("%.1f", mm / 1024), cold ? "" : sprintf("%.1f", bm / 1024) }')")
    fi
  done
done

echo
echo "| pictures | cache | mivo-make s | µs/picture | sequential 64 KiB s | mivo-make / sequential | $threads threads × 4 KiB s | mivo-make / parallel | identify once s | identify / mivo-make | peak MB |"
echo "| ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"
printf '%s\n' "${rows[@]}"
echo
if [[ -n "$baseline" ]]; then
  echo "| pictures | cache | mivo-make s | baseline s | mivo-make / baseline | peak MB | baseline peak MB |"
  echo "| ---: | --- | ---: | ---: | ---: | ---: | ---: |"
  printf '%s\n' "${base_rows[@]}"
  echo
fi
if [[ "${#sizes[@]}" -gt 1 ]]; then
  for label in warm cold; do
    first=${per_pic["$label,${sizes[0]}"]:-}
    last=${per_pic["$label,${sizes[-1]}"]:-}
    [[ -z "$first" || -z "$last" ]] && continue
    awk -v a="$first" -v b="$last" -v f="${sizes[0]}" -v l="${sizes[-1]}" -v c="$label" 'BEGIN {
      printf "time per picture at %d vs %d (%s): %.2fx\n", l, f, c, b / a }'
  done
fi
echo "Best of $warm_runs runs warm, $cold_runs cold, taken in turns (identify: one run each);" \
  "$(nproc) cores;" \
  "mivo-make with its default number of header-reading workers, log off."
if ((!cold)); then
  echo "No cold-cache rows: dropping the page cache needs root (run as root for them)."
else
  echo "Cold rows: the page cache was dropped before every measurement."
fi
