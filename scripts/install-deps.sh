#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 (bookworm) machine:
# native and Windows cross toolchains, libraries, wine with a virtual X
# server for the Windows tests, and the readers the tests check our files
# with. Safe to run again: apt runs only when a package is missing, and the
# source-package entry is added only once.
set -euo pipefail

# With --native only what the native program needs (scripts/render-sun.sh).
packages=(
  build-essential g++ cmake ninja-build pkg-config ca-certificates
  libpng-dev libjpeg62-turbo-dev zlib1g-dev libtiff-dev
)
if [ "${1:-}" != "--native" ]; then
  packages+=(
    libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nasm dpkg-dev
    wine64 xvfb xauth fonts-dejavu-core
    imagemagick libimage-exiftool-perl libjpeg-turbo-progs tidy giflib-tools python3 chromium
    libgegl-dev gegl libgimp2.0-dev gimp python3-gi gir1.2-gegl-0.4 xdotool
    mandoc
    file debootstrap unzip
  )
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

# `apt-get source` (scripts/build-win-deps.sh) needs a deb-src entry.
sources_file=/etc/apt/sources.list.d/lumenfall-src.sources
need_update=0
if [ "${1:-}" != "--native" ] && ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  "${sudo_cmd[@]}" tee "$sources_file" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "install-deps: all packages present"
fi
