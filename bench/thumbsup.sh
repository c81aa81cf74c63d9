# shellcheck shell=bash disable=SC2034
# Sourced by the benchmarks that compare with thumbsup 2.
# find_thumbsup FOLDER: installs thumbsup 2 into FOLDER with npm (once), with the two Debian
# packages it calls (installed when run as root). Sets `thumbsup` to its program, and
# `thumbsup_note` to why it cannot be run here ("" when it can).
find_thumbsup() {
  local tools="$1"
  thumbsup="$tools/node_modules/.bin/thumbsup"
  thumbsup_note=""
  if [[ ! -x /usr/bin/gm || ! -x /usr/bin/exiftool ]] && [[ $(id -u) -eq 0 ]]; then
    apt-get install -y graphicsmagick libimage-exiftool-perl >/dev/null 2>&1 || true
  fi
  if [[ ! -x "$thumbsup" ]] && command -v npm >/dev/null; then
    echo "installing thumbsup 2 into $tools (once)" >&2
    mkdir -p "$tools"
    # npm may hold back install scripts; the sqlite module thumbsup keeps its index in needs its own.
    (cd "$tools" && npm install --no-audit --no-fund --loglevel=error thumbsup@2 >/dev/null 2>&1 &&
      npm rebuild better-sqlite3 >/dev/null 2>&1) || rm -rf "$tools/node_modules"
  fi
  if [[ ! -x /usr/bin/gm || ! -x /usr/bin/exiftool ]]; then
    thumbsup_note="needs graphicsmagick and libimage-exiftool-perl (run as root once)"
  elif [[ ! -x "$thumbsup" ]] || ! "$thumbsup" --version >/dev/null 2>&1; then
    thumbsup_note="cannot be installed with npm here"
  fi
}
