#!/usr/bin/env bash
# Builds the Debian package mivo_<version>_<arch>.deb into build-package/: a Release build for
# all users (prefix /usr) with Debian's hardening flags, packed by CPack; dependencies are
# computed from the programs' shared libraries. Prints the package's path on the last line.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
build="${MIVO_PACKAGE_DIR:-build-package}"
umask 022

# dpkg-buildflags gives the flags Debian builds its own packages with (hardening, optimisation).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DMIVO_SYSTEM_INSTALL=ON -DMIVO_BUILD_TESTS=OFF >/dev/null
nice -n 10 cmake --build "$build" -j2
rm -f "$build"/mivo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/mivo_*.deb
