#!/usr/bin/env bash
# Saves one picture of the main window per tab in each mode into docs/ (window-<mode>-<tab>.png),
# drawn on a virtual X display. Needs the dev build (cmake --preset dev) and Debian's xvfb and
# xauth.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${MIVO_BUILD_DIR:-build}"
cmake --build "$build" --target mivo_screenshots program_folder

# A program folder laid out as an installed copy with the starter settings on the sample album,
# so the pictures do not depend on what the build folder's Mivo.ini holds by now. A fixed name,
# so the folder boxes show the same paths on every run.
work="${TMPDIR:-/tmp}/mivo-screenshots"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cp -r "$build/html" "$build/readme.txt" "$build/locale" "$work/"
cp -r examples "$work/"
cmake -DMIVO_SOURCE_DIR="$work" -DMIVO_BINARY_DIR="$work" -P "$work/examples/starter.cmake" >/dev/null

mkdir -p docs
# The window as a Japanese desktop shows it, whatever the desktop running this script speaks.
export LANG=C.UTF-8
unset LANGUAGE LC_ALL LC_MESSAGES
# The gallery editor starts in the Pictures folder: the sample album's, not this user's.
export XDG_PICTURES_DIR="$work/examples"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/mivo_screenshots" "$work" "$PWD/docs"

# The same on a 1366 x 768 screen at 150 %: the window scrolls its panes and keeps the status
# row, 作成 and 終了 in view.
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1.5 xvfb-run -a -s "-screen 0 1366x768x24" \
  "$build/tests/mivo_screenshots" "$work" "$PWD/docs" -150
