#!/usr/bin/env bash
# Runs the browser tests: galleries made by mivo-make, opened in Debian's Chromium.
#   tests/web/run.sh [node --test options...]
# MIVO_BUILD_DIR: the build folder holding mivo-make (default: ../../build from here).
# MIVO_UPDATE_DOCS=1: also copy the index and picture-view screenshots into docs/.
# MIVO_TEMPLATE_DIR: templates to test instead of the repository's html/.
# MIVO_KEEP_GALLERIES=1: keep the temporary folder of made galleries for a look afterwards.
# Screenshots of every page kind land in tests/web/output/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${MIVO_BUILD_DIR:-$here/../../build}"
if [[ ! -x "$build/mivo-make" ]]; then
  echo "web tests: no mivo-make in $build (build first, or set MIVO_BUILD_DIR)" >&2
  exit 1
fi
MIVO_BUILD_DIR="$(cd "$build" && pwd)"
export MIVO_BUILD_DIR

cd "$here"
# npm ci when node_modules is missing or older than the lock file.
if [[ ! -f node_modules/.package-lock.json || package-lock.json -nt node_modules/.package-lock.json ]]; then
  npm ci --no-audit --no-fund --loglevel=error
fi

shopt -s nullglob
tests=("$here"/*.test.mjs)
if ((${#tests[@]} == 0)); then
  echo "web tests: no *.test.mjs in $here" >&2
  exit 1
fi
exec node --test --test-reporter=tap "$@" "${tests[@]}"
