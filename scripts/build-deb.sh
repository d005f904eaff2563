#!/usr/bin/env bash
# Builds the Debian package build-deb/wanshengxia_<version>_<arch>.deb for everyday use:
# installs the missing packages of building and packaging (never removing one), configures
# without the tests and lets CPack build the package. Install it with
#   sudo apt install --no-remove ./build-deb/wanshengxia_*.deb
# Run it as yourself; sudo is asked for only to install packages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run build package
cmake -S . -B build-deb -G Ninja -DWSX_BUILD_TESTS=OFF >/dev/null
cmake --build build-deb -j"$(nproc)" --target package
ls -1 "$PWD"/build-deb/*.deb
