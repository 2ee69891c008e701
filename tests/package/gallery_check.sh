#!/usr/bin/env bash
# The gallery: scripts/gallery.sh writes every picture its page links, at
# 640 x 400, one for every library preset; the committed page and the
# README link only pictures the repository holds.
#   gallery_check.sh LUMENFALL WORK
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$2
if ! command -v identify >/dev/null; then
  [ "${LF_REQUIRE_READERS:-0}" = 1 ] && { echo "ImageMagick is missing"; exit 1; }
  echo "SKIPPED: ImageMagick is missing"
  exit 0
fi
status=0
problem() { echo "$*"; status=1; }

# Every picture a Markdown page links, relative to the page's folder.
linked() { grep -o '!\[[^]]*\]([^)]*)' "$1" | sed 's/.*](\(.*\))/\1/'; }

rm -rf "$work"
mkdir -p "$work"
LUMENFALL=$1 LF_GALLERY_OUT=$work bash "$root/scripts/gallery.sh" >/dev/null
pictures=$(linked "$work/gallery.md")
for picture in $pictures; do
  file=$work/$picture
  [ -f "$file" ] || { problem "gallery.md links $picture, which the script did not write"; continue; }
  size=$(identify -format '%m %wx%h' "$file")
  [ "$size" = "JPEG 640x400" ] || problem "$picture is $size, not a 640 x 400 JPEG"
done
written=$(cd "$work" && ls gallery/*.jpg)
[ "$(echo "$written" | sort)" = "$(echo "$pictures" | sort)" ] || problem "the script wrote pictures its page does not link"
for preset in "$root"/presets/*.q4q; do
  name=$(basename "$preset" .q4q)
  echo "$pictures" | grep -qx "gallery/$name.jpg" || problem "the gallery has no picture of the preset $name"
done

[ -f "$work/presets/index.html" ] || problem "the script wrote no presets page"
for preset in "$root"/presets/*.q4q; do
  name=$(basename "$preset" .q4q)
  grep -q "$name" "$work/presets/index.html" || problem "the presets page does not show $name"
done

# What the repository holds: the committed pages and the README.
for page in docs/gallery.md README.md; do
  base=$(dirname "$root/$page")
  for picture in $(linked "$root/$page"); do
    [ -f "$base/$picture" ] || problem "$page links $picture, which is not in the repository"
  done
done
for preset in "$root"/presets/*.q4q; do
  name=$(basename "$preset" .q4q)
  [ -f "$root/docs/gallery/$name.jpg" ] || problem "docs/gallery has no picture of $name (run scripts/gallery.sh)"
  grep -q "$name" "$root/docs/presets/index.html" || problem "docs/presets/index.html does not show $name (run scripts/gallery.sh)"
done
[ $status -eq 0 ] && echo "gallery: $(echo "$pictures" | wc -l) pictures linked and written"
exit $status
