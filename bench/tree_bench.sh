#!/usr/bin/env bash
# Times a folder-tree run against a single-mode run over the same pictures, and beside
# thumbsup's nested albums.
#   bench/tree_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# One small JPEG (160x120) is made once and hard-linked N times (MIVO_TREE_PICTURES, default
# 100,000): into 2,000 folders three levels deep (20 x 10 x 10, N/2,000 each) and, for single
# mode, into one folder. Making them is not measured. With a warm cache (one run before the
# measured ones), best of MIVO_TREE_RUNS (default 3), log off:
#   1. tree / single: a folder-tree run without copies against a single-mode run over the
#      same pictures in one folder (the tree's runs write 2,000 albums' pages);
#   2. re-run with copies / re-run without: the tree is made once with reduced copies, then a
#      run with nothing changed and copies on against the same re-run with copies off;
#   3. the peak memory of each run (/usr/bin/time -v, "Maximum resident set size");
#   4. beside thumbsup 2 on a smaller tree (MIVO_TREE_THUMBSUP pictures, default 2,000, same
#      shape): first run and re-run, wall and processor time (user + system), mivo-make with
#      copies on. bench/thumbsup.sh installs thumbsup with npm.
# Prints one table; all ratios come from this one run. Files live in a temporary folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
[[ -x "$make" ]] || { echo "tree_bench: build first ($make)" >&2; exit 1; }
for tool in /usr/bin/convert /usr/bin/time; do
  [[ -x "$tool" ]] || { echo "tree_bench: $tool is missing" >&2; exit 1; }
done
pictures="${MIVO_TREE_PICTURES:-100000}"
small="${MIVO_TREE_THUMBSUP:-2000}"
runs="${MIVO_TREE_RUNS:-3}"
# shellcheck source=bench/thumbsup.sh
source "$root/bench/thumbsup.sh"

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-tree-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
/usr/bin/convert -seed 7 -size 160x120 plasma:fractal -strip -quality 85 "$work/base.jpg"

# tree FOLDER COUNT: COUNT pictures in 20 x 10 x 10 folders; flat FOLDER COUNT: in one.
tree() {
  local folder="$1" count="$2" per=$(($2 / 2000)) a b c k n=0
  ((per > 0)) || per=1
  for ((a = 0; a < 20; a++)); do for ((b = 0; b < 10; b++)); do for ((c = 0; c < 10; c++)); do
    ((n < count)) || return 0
    local leaf="$folder/y$a/m$b/d$c"
    mkdir -p "$leaf"
    for ((k = 0; k < per && n < count; k++, n++)); do ln "$work/base.jpg" "$leaf/IMG_$k.jpg"; done
  done; done; done
}
flat() {
  mkdir -p "$1"
  local k
  for ((k = 0; k < $2; k++)); do ln "$work/base.jpg" "$1/IMG_$k.jpg"; done
}

# prog NAME MODE PICS REDUCE: a program folder of its own with its Mivo.ini.
prog() {
  local dir="$work/prog-$1"
  mkdir -p "$dir"
  cp "$make" "$dir/mivo-make"
  cp -r "$html" "$dir/html"
  printf '[Log]\r\nLevel=0\r\n[Ini]\r\nMode=%s\r\n[Path]\r\nPic=%s\r\nIndex=%s\r\nHtml=html\r\n[Html]\r\nTUse=0\r\nExif=0\r\nReduce=%s\r\n' \
    "$2" "$3" "$work/out-$1/index.html" "$4" >"$dir/Mivo.ini"
  echo "$dir"
}

# measure PROG: runs it once, then `runs` times; prints "best-wall cpu peak-KiB" of the best.
measure() {
  local best="" cpu="" peak=""
  "$1/mivo-make" >/dev/null
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -v -o "$work/time" "$1/mivo-make" >/dev/null
    local wall user sys rss
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$work/time")
    user=$(awk -F': ' '/User time/ {print $2}' "$work/time")
    sys=$(awk -F': ' '/System time/ {print $2}' "$work/time")
    rss=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time")
    if [[ -z "$best" ]] || awk "BEGIN {exit !($wall < $best)}"; then
      best=$wall
      cpu=$(awk "BEGIN {print $user + $sys}")
      peak=$rss
    fi
  done
  echo "$best $cpu $peak"
}

# once COMMAND...: wall and processor time of one run: "wall cpu".
once() {
  /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>&1
  local wall user sys
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$work/time")
  user=$(awk -F': ' '/User time/ {print $2}' "$work/time")
  sys=$(awk -F': ' '/System time/ {print $2}' "$work/time")
  echo "$wall $(awk "BEGIN {print $user + $sys}")"
}

echo "making $pictures pictures twice (a tree of 2,000 folders and one folder)" >&2
tree "$work/tree" "$pictures"
flat "$work/flat" "$pictures"

read -r tree_wall tree_cpu tree_peak < <(measure "$(prog tree 2 "$work/tree" 0)")
read -r flat_wall flat_cpu flat_peak < <(measure "$(prog flat 1 "$work/flat" 0)")
echo "making the tree's copies once" >&2
copies="$(prog copies 2 "$work/tree" 1)"
read -r copy_wall copy_cpu copy_peak < <(measure "$copies")
# The same re-run without copies, over the same pages and copies.
sed -i 's/^Reduce=1/Reduce=0/' "$copies/Mivo.ini"
read -r plain_wall plain_cpu plain_peak < <(measure "$copies")

printf '\n%-52s %9s %9s %10s\n' "run ($pictures pictures, warm, best of $runs)" "wall s" "cpu s" "peak MiB"
row() { printf '%-52s %9.2f %9.2f %10.1f\n' "$1" "$2" "$3" "$(awk "BEGIN {print $4 / 1024}")"; }
row "folder tree, no copies" "$tree_wall" "$tree_cpu" "$tree_peak"
row "single folder, no copies" "$flat_wall" "$flat_cpu" "$flat_peak"
row "folder tree re-run, copies on, nothing changed" "$copy_wall" "$copy_cpu" "$copy_peak"
row "folder tree re-run, copies off" "$plain_wall" "$plain_cpu" "$plain_peak"
printf 'tree / single: %.2fx (goal <= 1.3x); re-run with copies / without: %.2fx (goal <= 1.3x)\n' \
  "$(awk "BEGIN {print $tree_wall / $flat_wall}")" "$(awk "BEGIN {print $copy_wall / $plain_wall}")"

find_thumbsup "$root/build/bench-tools"
tree "$work/small" "$small"
small_prog="$(prog small 2 "$work/small" 1)"
read -r m1_wall m1_cpu < <(once "$small_prog/mivo-make")
read -r m2_wall m2_cpu < <(once "$small_prog/mivo-make")
printf '\n%-40s %14s %14s\n' "beside thumbsup ($small pictures)" "first wall/cpu" "re-run wall/cpu"
printf '%-40s %6.2f/%6.2f  %6.2f/%6.2f\n' "mivo-make, folder tree with copies" "$m1_wall" "$m1_cpu" "$m2_wall" "$m2_cpu"
if [[ -z "$thumbsup_note" ]]; then
  read -r t1_wall t1_cpu < <(once "$thumbsup" --input "$work/small" --output "$work/thumbsup" --albums-from '%path' --no-usage-stats --cleanup)
  read -r t2_wall t2_cpu < <(once "$thumbsup" --input "$work/small" --output "$work/thumbsup" --albums-from '%path' --no-usage-stats --cleanup)
  printf '%-40s %6.2f/%6.2f  %6.2f/%6.2f\n' "thumbsup 2, nested albums (%path)" "$t1_wall" "$t1_cpu" "$t2_wall" "$t2_cpu"
else
  echo "thumbsup: $thumbsup_note"
fi
