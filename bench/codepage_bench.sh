#!/usr/bin/env bash
# Builds the core in build/ if needed, then runs the cp932 converter benchmark.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev --target mivo_common >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Isrc bench/codepage_bench.cpp build/src/common/libmivo_common.a \
  -o "$out/codepage_bench"
"$out/codepage_bench"
