#!/usr/bin/env bash
# Builds static Windows x64 libraries of libjpeg-turbo (6b interface, SIMD)
# and libpng from Debian's source packages with the MinGW-w64 toolchain.
# Output: $LF_CACHE/win64-deps/{include,lib} (outside git). zlib comes from
# Debian's libz-mingw-w64-dev. Skips all work when the cache is complete.
# Usage: scripts/build-win-deps.sh [--print-prefix]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache=${LF_CACHE:-$HOME/.cache/lumenfall}
prefix=$cache/win64-deps
toolchain=$root/cmake/mingw-w64.cmake
stamp=$prefix/.complete

if [ "${1:-}" = --print-prefix ]; then echo "$prefix"; exit 0; fi

wanted=(lib/libjpeg.a lib/libpng16.a include/jpeglib.h include/jconfig.h include/jmorecfg.h
        include/jerror.h include/png.h include/pngconf.h include/pnglibconf.h)
complete=1
[ -f "$stamp" ] || complete=0
for f in "${wanted[@]}"; do [ -f "$prefix/$f" ] || complete=0; done
if [ $complete -eq 1 ]; then
  echo "build-win-deps: cache complete at $prefix"
  exit 0
fi

command -v dpkg-source >/dev/null || { echo "build-win-deps: dpkg-dev is missing (run scripts/install-deps.sh)" >&2; exit 1; }

work=$cache/win64-deps-src
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/include" "$prefix/lib"
cd "$work"

fetch_source() {
  # Debian's source package, unpacked with its patches applied.
  if ! apt-get source -qq "$1" >/dev/null 2>apt-source.log; then
    echo "build-win-deps: apt-get source $1 failed, refreshing the package lists" >&2
    apt-get update -qq
    apt-get source -qq "$1" >/dev/null
  fi
}

jobs=${LF_JOBS:-2}

# libjpeg-turbo: only the static 6b-interface library.
fetch_source libjpeg-turbo
jpeg_src=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)
cmake -S "$jpeg_src" -B "$work/jpeg-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=1 -DREQUIRE_SIMD=1 >"$work/jpeg-configure.log"
cmake --build "$work/jpeg-build" --target jpeg-static -j"$jobs" >"$work/jpeg-build.log"
cp "$work/jpeg-build/libjpeg.a" "$prefix/lib/"
cp "$jpeg_src/jpeglib.h" "$jpeg_src/jmorecfg.h" "$jpeg_src/jerror.h" "$work/jpeg-build/jconfig.h" "$prefix/include/"

# libpng against the MinGW zlib.
fetch_source libpng1.6
png_src=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)
cmake -S "$png_src" -B "$work/png-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_HARDWARE_OPTIMIZATIONS=ON \
  -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
  -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a >"$work/png-configure.log"
cmake --build "$work/png-build" --target png_static -j"$jobs" >"$work/png-build.log"
cp "$work/png-build/libpng16.a" "$prefix/lib/"
cp "$png_src/png.h" "$png_src/pngconf.h" "$work/png-build/pnglibconf.h" "$prefix/include/"

touch "$stamp"
echo "build-win-deps: built into $prefix"
