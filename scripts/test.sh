#!/usr/bin/env bash
# Builds Mivo and runs every test: formatting, the unit and window tests (also under
# AddressSanitizer and UndefinedBehaviorSanitizer), the browser tests in headless Chromium,
# the fuzz targets for half a minute each (so they cannot stop building unseen), and the install
# test of the Debian package (as root).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh

# Compiled objects are kept between runs by ccache, keyed on the sources as seen from this
# folder, so that another clone of the same sources reuses them; four builds (dev, sanitizers,
# fuzz, package) otherwise take most of the run.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
fi

echo "== format check"
git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' |
  xargs -0 -r clang-format --dry-run -Werror

echo "== build (build/)"
cmake --preset dev >/dev/null
cmake --build --preset dev

echo "== clang-tidy (warnings are errors)"
# A file whose preprocessed text, flags and checks are those of an earlier clean check is not
# checked again (scripts/tidy.py keeps the hashes of clean checks).
git ls-files -z -- 'src/*.cpp' ':!:src/**/tests/*' | xargs -0 python3 scripts/tidy.py build
echo "== tests"
ctest --preset dev

echo "== Qt keyboard, focus, layout, screen-reader and drop tests once more on a real X server (Xvfb)"
# The offscreen platform has its own focus and shortcut handling; xcb is what users run.
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb ./build/tests/mivo_qt_tests \
  --gtest_filter='*Tab*:*ScreenReader*:*Focusable*:*CtrlEnter*:*Dropped*:*AccessKey*:*CtrlZ*:*Grown*:*TypedBefore*:*WarningBox*'

echo "== browser tests"
bash tests/web/run.sh

echo "== sanitizer build (build-asan/)"
cmake --preset asan >/dev/null
cmake --build --preset asan
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset asan

echo "== fuzz targets (build-fuzz/, only the fuzz targets and the layers they link; 30 s each)"
bash fuzz/run.sh 30

echo "== install test (Debian package; as root only)"
bash tests/install/run.sh
