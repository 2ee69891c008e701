#!/usr/bin/env bash
# Builds the GEGL operation lumenfall:sun and the GIMP 2.10 plug-in
# lumenfall-gimp and installs them for the current user:
#   ~/.local/share/gegl-0.4/plug-ins/lumenfall-gegl.so   (GIMP 2.10 and 3, gegl, every GEGL program)
#   ~/.config/GIMP/2.10/plug-ins/lumenfall-gimp/          (plug-in-lumenfall, Filters > Light and Shadow)
# Installs the Debian packages the build needs first (apt-get, as root or
# through sudo). With --uninstall, removes both again.
set -euo pipefail
cd "$(dirname "$0")/.."

gegl_dir="${XDG_DATA_HOME:-$HOME/.local/share}/gegl-0.4/plug-ins"
gimp_dir="${GIMP2_DIRECTORY:-${XDG_CONFIG_HOME:-$HOME/.config}/GIMP/2.10}/plug-ins/lumenfall-gimp"

if [ "${1:-}" = "--uninstall" ]; then
  rm -f "$gegl_dir/lumenfall-gegl.so"
  rm -rf "$gimp_dir"
  echo "install-gimp: removed $gegl_dir/lumenfall-gegl.so and $gimp_dir"
  exit 0
fi
if [ $# -gt 0 ]; then
  echo "usage: bash scripts/install-gimp.sh [--uninstall]" >&2
  exit 2
fi

packages=(build-essential g++ cmake ninja-build pkg-config libpng-dev libjpeg62-turbo-dev zlib1g-dev libtiff-dev
          libgegl-dev libgimp2.0-dev)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "install-gimp: installing ${missing[*]}"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=build/gimp
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" lumenfall-gegl lumenfall-gimp

mkdir -p "$gegl_dir" "$gimp_dir"
install -m 0755 "$build/gegl/lumenfall-gegl.so" "$gegl_dir/lumenfall-gegl.so"
install -m 0755 "$build/gimp-plug-ins/lumenfall-gimp/lumenfall-gimp" "$gimp_dir/lumenfall-gimp"
echo "install-gimp: installed $gegl_dir/lumenfall-gegl.so and $gimp_dir/lumenfall-gimp"
echo "install-gimp: GIMP 2.10 shows it under Tools > GEGL Operation (\"Lumenfall sun\") and Filters > Light and Shadow > Lumenfall preset..."
