#!/usr/bin/env bash
# Builds Mivo into build/ (the program folder) and runs its main job.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
./build/mivo-make --version
