#!/usr/bin/env bash
# Cross-builds the Windows x64 plug-in and program into build/win64:
#   build/win64/bin/Lumenfall.8bf and build/win64/bin/lumenfall.exe
# Needs a native build first (its resource tools: build/native/bin) and the
# static Windows libraries of scripts/build-win-deps.sh.
# Environment: LF_NATIVE_BUILD (default build/native), LF_WIN_BUILD
# (default build/win64), LF_JOBS (default 2), LF_BUILD_TYPE (default Release),
# LF_BUILD_TESTS (default ON; OFF builds what ships only).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native=${LF_NATIVE_BUILD:-$root/build/native}
build=${LF_WIN_BUILD:-$root/build/win64}
jobs=${LF_JOBS:-2}
deps=$("$root/scripts/build-win-deps.sh" --print-prefix)

for tool in lf_resgen lf_artgen; do
  if [ ! -x "$native/bin/$tool" ]; then
    echo "build-win: $native/bin/$tool is missing; build the native tree first:" >&2
    echo "  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build/native -j2" >&2
    exit 1
  fi
done
"$root/scripts/build-win-deps.sh"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE="${LF_BUILD_TYPE:-Release}" \
  -DLF_BUILD_TESTS="${LF_BUILD_TESTS:-ON}" \
  -DLF_WIN_DEPS="$deps" \
  -DLF_NATIVE_TOOLS="$native/bin"
ninja -C "$build" -j"$jobs"

for artifact in Lumenfall.8bf lumenfall.exe; do
  if [ -f "$build/bin/$artifact" ]; then
    echo "build-win: $build/bin/$artifact ($(stat -c %s "$build/bin/$artifact") bytes)"
  else
    echo "build-win: note: $build/bin/$artifact was not built (target not defined yet)"
  fi
done
