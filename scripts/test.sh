#!/usr/bin/env bash
# Installs what is needed, builds every target and runs every test: the
# native build, the sanitizer build, the Windows build under wine, and the
# fuzz targets for a fixed time each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
# The readers installed above are required here: a test never skips for want of one.
export LF_REQUIRE_READERS=1

echo "== native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=ON -DLF_BUILD_BENCH=ON -DLF_REQUIRE_GIMP=ON
ninja -C build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs" --output-log ctest.log)

echo "== Windows build, tests under wine"
bash scripts/test-win.sh

echo "== packages: the .deb and the Windows zip of these builds, installed and checked"
bash scripts/package.sh --reuse
bash scripts/test-package.sh

echo "== scalar build: the kernel and render tests through the loops other processors take (SSE2 switched off)"
cmake -S . -B build/scalar -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=ON -DCMAKE_CXX_FLAGS=-U__SSE2__
ninja -C build/scalar -j"$jobs" test_kernels test_render
build/scalar/bin/test_kernels --gtest_brief=1
build/scalar/bin/test_render --gtest_brief=1

echo "== sanitizer build (ASan, UBSan, float-cast-overflow)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON -DLF_BUILD_TESTS=ON
ninja -C build/asan -j"$jobs"
(cd build/asan && ctest --output-on-failure -j"$jobs" --output-log ctest.log)

echo "== fuzz targets (${LF_FUZZ_SECONDS:-60} s each)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON \
  -DLF_BUILD_FUZZ=ON -DLF_BUILD_TESTS=OFF
ninja -C build/fuzz -j"$jobs"
fuzz_failed=0
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  limit=10
  [ "$name" = fuzz_render_settings ] && limit=2   # every setting renders in bounded time
  if "$target" "$work" -max_total_time="${LF_FUZZ_SECONDS:-60}" -timeout="$limit" -print_final_stats=0 \
       > "build/fuzz/$name.log" 2>&1; then
    echo "fuzz $name: ok ($(ls "$work" | wc -l) inputs)"
  else
    echo "fuzz $name: FAILED"; tail -40 "build/fuzz/$name.log"; fuzz_failed=$((fuzz_failed + 1))
  fi
  rm -rf "$work"
done
[ "$fuzz_failed" -eq 0 ]

# One closing line for every stage: the CTest runs and the fuzz targets.
passed=0
failed=0
for log in build/native/ctest.log build/win64/ctest.log build/asan/ctest.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" 2>/dev/null | tail -n 1 || true)
  [ -n "$line" ] || continue
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.*, ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
fuzz_count=$(ls build/fuzz/bin/fuzz_* | wc -l)
echo "all: $((passed + fuzz_count - fuzz_failed)) passed, $((failed + fuzz_failed)) failed"
