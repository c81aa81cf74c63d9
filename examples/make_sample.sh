#!/usr/bin/env bash
# Builds the sample galleries with mivo-make, in both modes, and prints where they are.
#   examples/make_sample.sh [program folder]     (default: build/)
# The program folder's own Mivo.ini decides the first run (the starter one points at the
# sample album in single mode). The second run is the other mode, made by a copy of the program
# in a temporary folder, so the program folder's Mivo.ini and Mivo.csv stay as they are.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
prog="$(cd "${1:-$root/build}" && pwd)"
if [[ ! -x "$prog/mivo-make" || ! -f "$prog/Mivo.ini" ]]; then
  echo "make_sample: $prog needs mivo-make and a Mivo.ini (build it first)" >&2
  exit 1
fi

# One value of the [Path] or [Ini] section; the keys read here are unique in the file.
ini_value() { sed -n "s/^$1=//p" "$2" | tr -d '\r' | head -n 1; }

top_page() {
  local mode
  mode="$(ini_value Mode "$1")"
  if [[ "$mode" == 0 ]]; then ini_value Menu "$1"; else ini_value Index "$1"; fi
}

mode_name() { [[ "$(ini_value Mode "$1")" == 0 ]] && echo "menu mode" || echo "single mode"; }

echo "== mivo-make ($(mode_name "$prog/Mivo.ini"))"
"$prog/mivo-make" | tail -n 3
first="$(top_page "$prog/Mivo.ini")"

other="$(mktemp -d "${TMPDIR:-/tmp}/mivo-sample.XXXXXX")"
trap 'rm -rf "$other"' EXIT
cp "$prog/mivo-make" "$other/"
cp -r "$prog/html" "$other/html"
[[ -f "$prog/Mivo.csv" ]] && cp "$prog/Mivo.csv" "$other/"
if [[ "$(ini_value Mode "$prog/Mivo.ini")" == 0 ]]; then new=1; else new=0; fi
if grep -q '^Mode=' "$prog/Mivo.ini"; then
  sed "s/^Mode=.*/Mode=$new\r/" "$prog/Mivo.ini" >"$other/Mivo.ini"
else
  { printf '[Ini]\r\nMode=%s\r\n' "$new"; cat "$prog/Mivo.ini"; } >"$other/Mivo.ini"
fi
echo "== mivo-make ($(mode_name "$other/Mivo.ini"))"
"$other/mivo-make" | tail -n 3
second="$(top_page "$other/Mivo.ini")"

echo
echo "Gallery index page:  file://$first"
echo "Other mode's page:   file://$second"
