#!/usr/bin/env bash
# Builds a release and writes into dist/:
#   lumenfall_VERSION_amd64.deb      the Debian package (CPack, from the build's install rules)
#   Lumenfall-VERSION-win64.zip      the Windows plug-in and program with the presets
#   SHA256SUMS                       of both
# The version is the project's (CMakeLists.txt). By default both builds start
# from clean folders (build/release, build/release-win64). With --reuse the
# builds of scripts/test.sh (build/native, build/win64) are packaged as they
# are, which is what the tests do after building them.
# Environment: LF_JOBS (default 2), LF_DIST (default dist).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${LF_JOBS:-2}
dist=$(realpath -m "${LF_DIST:-$root/dist}")

if [ "${1:-}" = --reuse ]; then
  native=$root/build/native
  win=$root/build/win64
  for b in "$native" "$win"; do
    [ -f "$b/CMakeCache.txt" ] || { echo "package: $b is not built (run scripts/test.sh first)" >&2; exit 1; }
  done
else
  bash "$root/scripts/install-deps.sh"
  native=$root/build/release
  win=$root/build/release-win64
  rm -rf "$native" "$win"
  cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=OFF
  ninja -C "$native" -j"$jobs"
  LF_NATIVE_BUILD=$native LF_WIN_BUILD=$win LF_BUILD_TESTS=OFF LF_JOBS=$jobs bash "$root/scripts/build-win.sh"
fi

rm -rf "$native/packages" "$win/packages"
(cd "$native" && cpack -G DEB)
(cd "$win" && cpack -G ZIP)

deb=$(ls "$native"/packages/lumenfall_*_amd64.deb)
zip=$(ls "$win"/packages/Lumenfall-*-win64.zip)
mkdir -p "$dist"
rm -f "$dist"/lumenfall_*_amd64.deb "$dist"/Lumenfall-*-win64.zip "$dist/SHA256SUMS"
cp "$deb" "$zip" "$dist/"
(cd "$dist" && sha256sum "$(basename "$deb")" "$(basename "$zip")" > SHA256SUMS)
echo "package: wrote into $dist:"
(cd "$dist" && ls -l "$(basename "$deb")" "$(basename "$zip")" SHA256SUMS)
