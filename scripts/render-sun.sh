#!/usr/bin/env bash
# From a fresh machine to a sun: installs what is needed, builds, and renders
# the default sun on the built-in sample picture into sun.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --native
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=OFF
ninja -C build/native lumenfall lf_plugin
build/native/bin/lumenfall render -o sun.png
