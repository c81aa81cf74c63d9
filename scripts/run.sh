#!/usr/bin/env bash
# Builds Mivo into build/ (the program folder) and starts it on the sample album. With a
# display the window opens (press 作成, then 表示); without one the sample galleries are
# made with mivo-make instead.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec ./build/mivo
fi
echo "run: no display (DISPLAY is not set), so the window cannot open;"
echo "run: making the sample galleries with mivo-make instead."
bash examples/make_sample.sh build
