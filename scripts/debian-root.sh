#!/usr/bin/env bash
# Prints the path of a minimal Debian 12 root (debootstrap --variant=minbase)
# kept in ~/.cache/lumenfall, making it on the first call (a few minutes,
# needs root and Debian's mirror). The root also holds, downloaded but not
# installed, the libraries the package depends on, so that installing the
# package into a copy of it needs no network. Callers copy it; they never
# change it.
set -euo pipefail
cache=${LF_CACHE:-$HOME/.cache/lumenfall}
root=$cache/bookworm-minbase
mirror=${LF_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# Libraries the program and the plug-in module link (the package's Depends).
runtime_libs=(libpng16-16 libjpeg62-turbo libtiff6 zlib1g libstdc++6 libgcc-s1)

if [ -f "$root/.lumenfall-ready" ]; then
  echo "$root"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "debian-root: making the Debian root needs root (debootstrap, chroot)" >&2
  exit 1
fi
rm -rf "$root.part"
mkdir -p "$cache"
debootstrap --variant=minbase bookworm "$root.part" "$mirror" >&2
chroot "$root.part" apt-get update >&2
# Only the libraries stay in the package cache, not what debootstrap fetched.
chroot "$root.part" apt-get clean >&2
chroot "$root.part" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --download-only --no-install-recommends "${runtime_libs[@]}" >&2
rm -rf "$root.part"/var/lib/apt/lists/partial
touch "$root.part/.lumenfall-ready"
rm -rf "$root"
mv "$root.part" "$root"
echo "$root"
