#!/usr/bin/env bash
# From a fresh machine to a sun: installs what is needed, builds, and renders
# the default sun on the built-in sample picture into sun.png. The glue mode
# is "screen", which lightens the picture where the sun shines and leaves
# every pixel it does not reach exactly as it was; the plug-in's default,
# "normal", writes the effect alone and so replaces the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --native
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=OFF
ninja -C build/native lumenfall lf_plugin
build/native/bin/lumenfall render -o sun.png --set "glue=screen"
