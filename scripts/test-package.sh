#!/usr/bin/env bash
# Checks what scripts/package.sh wrote into dist/ (run after it):
#  - SHA256SUMS matches both files; the version is the project's;
#  - the .deb's control fields and file list (dpkg-deb -f, -c);
#  - the .deb installs into a copy of a fresh Debian 12 root (made once by
#    scripts/debian-root.sh, cached in ~/.cache/lumenfall) with only the
#    libraries it depends on, and the installed lumenfall renders, with the
#    default sun and with a library preset by name, and removes cleanly;
#  - the zip holds a 64-bit PE plug-in with its PiPL, the program, every
#    preset and a README with CRLF line ends, and the program run under wine
#    from the unpacked archive finds its plug-in and its presets.
# Needs root (chroot). Environment: LF_DIST (default dist), LF_NATIVE_BUILD
# and LF_WIN_BUILD (the builds packaged, default build/native, build/win64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(realpath -m "${LF_DIST:-$root/dist}")
native=$(realpath -m "${LF_NATIVE_BUILD:-$root/build/native}")
win=$(realpath -m "${LF_WIN_BUILD:-$root/build/win64}")
version=$(sed -nE 's/^project\(Lumenfall VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
deb=$dist/lumenfall_${version}_amd64.deb
zip=$dist/Lumenfall-${version}-win64.zip
presets=$(cd "$root/presets" && LC_ALL=C ls *.q4q)

failures=0
check() {  # DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
work=$(mktemp -d)
cleanup() {
  for m in proc dev; do mountpoint -q "$work/root/$m" 2>/dev/null && umount "$work/root/$m"; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "== files and sums"
check "dist holds $(basename "$deb"), $(basename "$zip") and SHA256SUMS" test -f "$deb" -a -f "$zip" -a -f "$dist/SHA256SUMS"
check "SHA256SUMS holds both and matches" bash -c "cd '$dist' && [ \$(wc -l < SHA256SUMS) = 2 ] && sha256sum --quiet -c SHA256SUMS"

echo "== the Debian package's control fields"
field() { dpkg-deb -f "$deb" "$1"; }
check "Package lumenfall, Version $version, Architecture amd64" \
  test "$(field Package) $(field Version) $(field Architecture)" = "lumenfall $version amd64"
depends=$(field Depends)
for lib in libc6 libstdc++6 libgcc-s1 libpng16-16 libjpeg62-turbo libtiff6; do
  check "Depends names $lib (computed from the binaries)" grep -qE "(^|, )${lib//+/\\+}( |,|$)" <<< "$depends"
done
check "GIMP and GEGL are recommended" grep -qE "gimp.*gegl|gegl.*gimp" <<< "$(field Recommends)"
check "Depends names neither GIMP nor GEGL" bash -c "! grep -qiE 'gimp|gegl|babl' <<< '$depends'"
check "Maintainer, Section graphics and a description" \
  test -n "$(field Maintainer)" -a "$(field Section)" = graphics -a -n "$(field Description | sed -n 2p)"

echo "== the Debian package's files"
listing=$(dpkg-deb -c "$deb")
has() { grep -qE "$1" <<< "$listing"; }
check "/usr/bin/lumenfall links to the program beside the plug-in module" has ' \./usr/bin/lumenfall -> \.\./lib/lumenfall/lumenfall$'
check "the program in /usr/lib/lumenfall" has '^-rwxr-xr-x .* \./usr/lib/lumenfall/lumenfall$'
check "the plug-in module in /usr/lib/lumenfall" has ' \./usr/lib/lumenfall/Lumenfall\.so$'
for p in $presets; do
  has " \./usr/share/lumenfall/presets/$p\$" || { echo "FAILED: preset $p is not in the package"; failures=$((failures + 1)); }
done
check "the $(echo "$presets" | wc -l) presets in /usr/share/lumenfall/presets" \
  test "$(grep -c '/usr/share/lumenfall/presets/.*\.q4q$' <<< "$listing")" = "$(echo "$presets" | wc -l)"
check "README and licence in /usr/share/doc/lumenfall" has ' \./usr/share/doc/lumenfall/copyright$'
check "README in /usr/share/doc/lumenfall" has ' \./usr/share/doc/lumenfall/README\.md$'
check "nothing outside /usr" bash -c "! awk '{print \$6}' <<< '$listing' | grep -vE '^\./(usr/.*)?$'"
# What this build makes beyond the program (the GEGL operation, the GIMP plug-in).
if [ -s "$native/package/required-files.txt" ]; then
  while IFS= read -r ending; do
    [ -n "$ending" ] && check "the package holds ...$ending" has "$(sed 's/[.]/\\./g' <<< "$ending")\$"
  done < "$native/package/required-files.txt"
fi

echo "== installing into a fresh Debian 12 root"
base=$(bash "$root/scripts/debian-root.sh")
cp -a "$base" "$work/root"
mount -t proc proc "$work/root/proc"
cp "$deb" "$work/root/tmp/lumenfall.deb"
in_root() { chroot "$work/root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
# dpkg unpacks it, apt adds what it depends on from the root's cache alone (no
# network: a dependency the root does not hold fails here) and configures it.
check "the package installs with what it depends on" \
  bash -c "$(declare -f in_root); work='$work'; in_root dpkg --unpack /tmp/lumenfall.deb >/dev/null && \
           in_root apt-get install -f -y -q --no-download --no-install-recommends >/dev/null && \
           in_root dpkg -s lumenfall | grep -qx 'Status: install ok installed'"
check "lumenfall render draws the default sun" in_root lumenfall render -q -o /tmp/sun.png
check "the picture is a 1280 x 800 PNG" \
  test "$(head -c 24 "$work/root/tmp/sun.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a0000000d494844520000050000000320
check "lumenfall preset list shows the installed library" \
  test "$(in_root lumenfall preset list)" = "$(sed 's/\.q4q$//' <<< "$presets")"
check "lumenfall render --preset frozen-star finds the library preset" \
  in_root lumenfall render -q -o /tmp/frozen.png --preset frozen-star
check "dpkg removes the package and its files" \
  bash -c "chroot '$work/root' dpkg -r lumenfall >/dev/null && ! test -e '$work/root/usr/bin/lumenfall' && ! test -e '$work/root/usr/lib/lumenfall'"
umount "$work/root/proc"
rm -rf "$work/root"

echo "== the Windows archive"
top=Lumenfall-$version-win64
zip_listing=$(unzip -Z1 "$zip")
for f in Lumenfall.8bf lumenfall.exe README.txt LICENSE.txt; do
  check "the zip holds $top/$f" grep -qx "$top/$f" <<< "$zip_listing"
done
check "the zip holds every preset in presets/" \
  test "$(grep "^$top/presets/.*\.q4q$" <<< "$zip_listing" | sed "s|^$top/presets/||" | LC_ALL=C sort)" = "$presets"
unzip -q "$zip" -d "$work/zip"
check "Lumenfall.8bf is a 64-bit PE DLL exporting PluginMain with the build's PiPL 16000" \
  python3 "$root/tests/package/pe_plugin.py" "$work/zip/$top/Lumenfall.8bf" "$win/resources/generated/pipl.bin"
readme=$work/zip/$top/README.txt
check "README.txt ends every line with CRLF" \
  test "$(grep -c $'\r$' "$readme")" = "$(wc -l < "$readme")" -a "$(tail -c 2 "$readme" | od -An -tx1 | tr -d ' ')" = 0d0a
check "README.txt names the version and the plug-in folders" \
  bash -c "grep -q 'Lumenfall $version' '$readme' && grep -q 'Plug-ins' '$readme'"
if [ -x /usr/lib/wine/wine64 ]; then
  export WINEPREFIX=$win/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  mkdir -p "$WINEPREFIX"
  wine_run() {  # OUT ARGS...: the unpacked program, its output in OUT (wine's own
    # messages of a new prefix in OUT.err), never on a pipe: wine's services keep it open
    local out=$1
    shift
    (cd "$work/zip/$top" && DISPLAY= timeout 120 /usr/lib/wine/wine64 ./lumenfall.exe "$@" </dev/null >"$out" 2>"$out.err")
  }
  check "lumenfall.exe lists the presets beside it" \
    bash -c "$(declare -f wine_run); work='$work' top='$top' wine_run '$work/list.txt' preset list && \
             test \"\$(tr -d '\r' < '$work/list.txt')\" = '$(sed 's/\.q4q$//' <<< "$presets")'"
  check "lumenfall.exe renders a library preset through the plug-in beside it" \
    bash -c "$(declare -f wine_run); work='$work' top='$top' wine_run '$work/render.txt' render -q -o sun.png --preset total-eclipse && \
             test -s '$work/zip/$top/sun.png'"
  /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
else
  echo "FAILED: wine is missing (scripts/install-deps.sh installs it)"
  failures=$((failures + 1))
fi

echo "test-package: $failures failed"
[ "$failures" -eq 0 ]
