#!/usr/bin/env bash
# Times 作成 in the window (under Xvfb) against mivo-make on the same settings:
#   bench/window_bench.sh [build folder]          (default: build)
# MIVO_BENCH_PICTURES (default 20000) small BMP pictures in one single-mode gallery, the log
# off; each run is taken three times and the best is kept. Prints both times and their ratio.
# Needs: cmake --build build --target mivo-make mivo_window_bench program_folder; xvfb-run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
make="$build/mivo-make"
bench="$build/mivo_window_bench"
for f in "$make" "$bench" "$build/html/list.html"; do
  [[ -e "$f" ]] || { echo "window_bench: $f is missing (cmake --build $build --target mivo-make mivo_window_bench program_folder)" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "window_bench: xvfb-run is missing (apt install xvfb)" >&2; exit 1; }
n="${MIVO_BENCH_PICTURES:-20000}"
runs=3

work="$(mktemp -d "${TMPDIR:-/tmp}/mivo-window-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prog="$work/prog"
mkdir -p "$prog" "$work/pics" "$work/out"
cp "$make" "$prog/mivo-make"
cp -r "$build/html" "$prog/html"

# n small pictures: 16 x 12, 24 bits, written in one go.
python3 - "$work/pics" "$n" <<'PY'
import struct, sys
folder, n = sys.argv[1], int(sys.argv[2])
w, h = 16, 12
row = (w * 3 + 3) & ~3
pixels = b"\x80" * (row * h)
head = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
data = head + info + pixels
for i in range(n):
    with open(f"{folder}/p{i:05d}.bmp", "wb") as f:
        f.write(data)
PY
ini() {
  printf '[Log]\r\nLevel=0\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=%s\r\nIndex=%s\r\n[Html]\r\nTUse=0\r\n[Filelist]\r\nUse=0\r\n' \
    "$work/pics" "$work/out/index.html" >"$prog/Mivo.ini"
}
best() { awk 'NR == 1 || $1 < m { m = $1 } END { printf "%.4f", m }'; }

ini
"$prog/mivo-make" >/dev/null # warm the folder
cli=$(for ((r = 0; r < runs; r++)); do
  t0=$EPOCHREALTIME; "$prog/mivo-make" >/dev/null; t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
done | best)

window=$(for ((r = 0; r < runs; r++)); do
  ini
  xvfb-run -a -s "-screen 0 1366x768x24" "$bench" "$prog" | awk '{ print $1 }'
done | best)

echo "pictures:   $n"
echo "mivo-make:  $cli s"
echo "window:     $window s"
awk -v w="$window" -v c="$cli" 'BEGIN { printf "ratio:      %.2f (target 1.2 or less)\n", w / c }'
