#!/usr/bin/env bash
# Installs what Lumenfall needs to build and test on Debian 12 (bookworm).
# Safe to run again: apt is skipped when every package is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  imagemagick libimage-exiftool-perl libjpeg-turbo-progs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run this as root (or with sudo) to install packages." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
