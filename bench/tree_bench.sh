#!/usr/bin/env bash
# Times a folder-tree run against a single-mode run over the same pictures, and beside
# thumbsup's nested albums.
#   bench/tree_bench.sh [path/to/mivo-make]        (default: build/mivo-make)
# One small JPEG (160x120) is made once and hard-linked N times (MIVO_TREE_PICTURES, default
# 100,000) from one Python process: into 2,000 folders three levels deep (20 x 10 x 10, N/2,000
# each) and, for single mode, into one folder. Making them is not measured. With a warm cache
# (one run before the measured ones), best of MIVO_TREE_RUNS (default 3), log off:
#   1. tree / single: a folder-tree run without copies against a single-mode run over the
#      same pictures in one folder (the tree's runs write 2,000 albums' pages); such a re-run
#      finds its pages as they were and keeps them, so the tree's first run (its page folder
#      removed before each) is timed too, and set against the floor: the same folders and
#      page bytes written by bench/page_floor.py with nothing else, with the run's durability
#      (temporary name, fdatasync 128 pages at a time, rename);
#   2. re-run with copies / re-run without: the tree is made once with reduced copies, then a
#      run with nothing changed and copies on against the same re-run with copies off
#      (MIVO_TREE_COPIES=0 leaves this part out);
#   3. the peak memory of each run (/usr/bin/time -v, "Maximum resident set size");
#   4. beside thumbsup 2 on a smaller tree (MIVO_TREE_THUMBSUP pictures, default 2,000, same
#      shape): first run and re-run, wall and processor time (user + system), mivo-make with
#      copies on. bench/thumbsup.sh installs thumbsup with npm. MIVO_TREE_THUMBSUP=0 leaves
#      this part out.
# Prints one table; all ratios come from this one run. Files live in a temporary folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
make="${1:-$root/build/mivo-make}"
html="$(dirname "$make")/html"
[[ -f "$html/list.html" ]] || html="$root/html"
[[ -x "$make" ]] || { echo "tree_bench: build first ($make)" >&2; exit 1; }
for tool in /usr/bin/convert /usr/bin/time /usr/bin/python3; do
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

# tree FOLDER COUNT: COUNT pictures in 20 x 10 x 10 folders; flat FOLDER COUNT: in one. One
# process makes every link (one ln each took longer than the runs measured); a file takes at
# most 65,000 links on ext4, so every 50,000 links come from a copy of the picture of their own.
links() {
  /usr/bin/python3 - "$work/base.jpg" "$@" <<'PY'
import os, shutil, sys
base, shape, folder, count = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
made = 0
def link(target):
    global made
    source = f"{base}.{os.path.basename(folder)}.{made // 50000}"
    if made % 50000 == 0:
        shutil.copyfile(base, source)
    os.link(source, target)
    made += 1
if shape == "flat":
    os.makedirs(folder, exist_ok=True)
    for k in range(count):
        link(f"{folder}/IMG_{k}.jpg")
    sys.exit()
per, n = max(count // 2000, 1), 0
for a in range(20):
    for b in range(10):
        for c in range(10):
            if n >= count:
                sys.exit()
            leaf = f"{folder}/y{a}/m{b}/d{c}"
            os.makedirs(leaf, exist_ok=True)
            for k in range(min(per, count - n)):
                link(f"{leaf}/IMG_{k}.jpg")
            n += min(per, count - n)
PY
}
tree() { links tree "$1" "$2"; }
flat() { links flat "$1" "$2"; }

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

# measure PROG [FRESH]: runs it once, then `runs` times; prints "best-wall cpu peak-KiB" of the
# best. With FRESH, that folder (the run's pages) is removed before each run.
measure() {
  local best="" cpu="" peak=""
  "$1/mivo-make" >/dev/null
  for ((r = 0; r < runs; r++)); do
    [[ -z "${2:-}" ]] || { rm -rf "$2"; sync; }
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

tree_prog="$(prog tree 2 "$work/tree" 0)"
read -r tree_wall tree_cpu tree_peak < <(measure "$tree_prog")
read -r flat_wall flat_cpu flat_peak < <(measure "$(prog flat 1 "$work/flat" 0)")
read -r first_wall first_cpu first_peak < <(measure "$tree_prog" "$work/out-tree")
read -r floor_wall floor_folders floor_pages < <(/usr/bin/python3 "$root/bench/page_floor.py" \
  "$work/out-tree" "$work/floor" "$runs")
rm -rf "$work/floor"
# MIVO_TREE_COPIES=0 leaves out part 2: making the copies of every picture takes long.
with_copies="${MIVO_TREE_COPIES:-1}"
if [[ "$with_copies" != 0 ]]; then
  echo "making the tree's copies once" >&2
  copies="$(prog copies 2 "$work/tree" 1)"
  read -r copy_wall copy_cpu copy_peak < <(measure "$copies")
  # The same re-run without copies, over the same pages and copies.
  sed -i 's/^Reduce=1/Reduce=0/' "$copies/Mivo.ini"
  read -r plain_wall plain_cpu plain_peak < <(measure "$copies")
fi

printf '\n%-52s %9s %9s %10s\n' "run ($pictures pictures, warm, best of $runs)" "wall s" "cpu s" "peak MiB"
row() { printf '%-52s %9.2f %9.2f %10.1f\n' "$1" "$2" "$3" "$(awk "BEGIN {print $4 / 1024}")"; }
row "folder tree, no copies" "$tree_wall" "$tree_cpu" "$tree_peak"
row "single folder, no copies" "$flat_wall" "$flat_cpu" "$flat_peak"
row "folder tree, first run (no pages yet)" "$first_wall" "$first_cpu" "$first_peak"
if [[ "$with_copies" != 0 ]]; then
  row "folder tree re-run, copies on, nothing changed" "$copy_wall" "$copy_cpu" "$copy_peak"
  row "folder tree re-run, copies off" "$plain_wall" "$plain_cpu" "$plain_peak"
fi
printf '%-52s %9.2f\n' "floor: $floor_folders folders, $floor_pages pages written" "$floor_wall"
printf 'tree / single: %.2fx wall, %.2fx processor (goal <= 1.3x)\n' \
  "$(awk "BEGIN {print $tree_wall / $flat_wall}")" "$(awk "BEGIN {print $tree_cpu / $flat_cpu}")"
if [[ "$with_copies" != 0 ]]; then
  printf 're-run with copies / without: %.2fx wall, %.2fx processor (goal <= 1.3x)\n' \
    "$(awk "BEGIN {print $copy_wall / $plain_wall}")" "$(awk "BEGIN {print $copy_cpu / $plain_cpu}")"
fi
printf 'tree first run / floor: %.2fx; tree re-run / floor: %.2fx\n' \
  "$(awk "BEGIN {print $first_wall / $floor_wall}")" "$(awk "BEGIN {print $tree_wall / $floor_wall}")"

# MIVO_TREE_THUMBSUP=0 leaves out part 4.
[[ "$small" != 0 ]] || exit 0
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
