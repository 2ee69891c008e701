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

echo "== Windows build, tests under wine"
bash scripts/test-win.sh

echo "== sanitizer build (ASan, UBSan, float-cast-overflow)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON -DLF_BUILD_TESTS=ON
ninja -C build/asan -j"$jobs"
(cd build/asan && ctest --output-on-failure -j"$jobs")

echo "== fuzz targets (${LF_FUZZ_SECONDS:-60} s each)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON \
  -DLF_BUILD_FUZZ=ON -DLF_BUILD_TESTS=OFF
ninja -C build/fuzz -j"$jobs"
fuzz_failed=0
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  if "$target" "$work" -max_total_time="${LF_FUZZ_SECONDS:-60}" -print_final_stats=0 > "build/fuzz/$name.log" 2>&1; then
    echo "fuzz $name: ok ($(ls "$work" | wc -l) inputs)"
  else
    echo "fuzz $name: FAILED"; tail -40 "build/fuzz/$name.log"; fuzz_failed=$((fuzz_failed + 1))
  fi
  rm -rf "$work"
done
[ "$fuzz_failed" -eq 0 ]
