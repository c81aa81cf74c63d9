#!/usr/bin/env bash
# Saves one picture of the main window per tab in each mode into docs/ (window-<mode>-<tab>.png),
# drawn on a virtual X display. Needs the dev build (cmake --preset dev) and Debian's xvfb and xauth.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${MIVO_BUILD_DIR:-build}"
cmake --build "$build" --target mivo_screenshots program_folder
# A copy of the program folder, so the pictures show the starter settings and nothing is saved.
# A fixed name, so the folder boxes in the pictures show the same path on every run.
work="${TMPDIR:-/tmp}/mivo-screenshots"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cp -r "$build/html" "$work/"
for state in Mivo.ini Mivo.csv; do
  if [[ -f "$build/$state" ]]; then
    cp "$build/$state" "$work/"
  fi
done
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/mivo_screenshots" "$work" "$PWD/docs"
