#!/usr/bin/env bash
# Writes docs/gallery.md and its pictures docs/gallery/*.jpg: every preset of
# the library (presets/) rendered over the built-in sample picture at
# 640 x 400, and one over a photo-like picture (docs/gallery-source/coast.jpg),
# JPEG quality 85, each with the settings line it was made from
# (scripts/make-presets.sh); and the library's presets page, docs/presets/.
# Needs the native build and ImageMagick.
#   LUMENFALL (default build/native/bin/lumenfall), LF_GALLERY_OUT (default docs/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lumenfall=${LUMENFALL:-$root/build/native/bin/lumenfall}
out=$(realpath -m "${LF_GALLERY_OUT:-$root/docs}")
library=$root/presets
photo=$root/docs/gallery-source/coast.jpg
photo_preset=golden-classic
# The six the README shows, in its order.
readme_six=(golden-classic total-eclipse frozen-star red-giant rainbow-bow neon-hard-light)

for tool in "$lumenfall" "$(command -v convert || true)"; do
  if [ -z "$tool" ] || [ ! -x "$tool" ]; then
    echo "gallery: needs build/native/bin/lumenfall and ImageMagick's convert" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out/gallery"
rm -f "$out"/gallery/*.jpg

# The sample picture at 640 x 400: screen with no light leaves every pixel as it was.
"$lumenfall" render -q -o "$work/sample-full.png" --set glue=screen --set "master brightness=0" --set "sun radius=0"
convert "$work/sample-full.png" -resize '640x400!' "$work/sample.png"

render() {  # PRESET INPUT OUTPUT
  LUMENFALL_PRESETS=$library "$lumenfall" render -q "$2" --preset "$1" -o "$3" --quality 85
}

settings_line() {  # NAME: the recorded settings, or nothing
  bash "$root/scripts/make-presets.sh" --list | awk -F' [|] ' -v n="$1" '$1 == n { print $2 }'
}

names=$(LUMENFALL_PRESETS=$library "$lumenfall" preset list)
page=$work/gallery.md
{
  echo "# Gallery"
  echo
  echo "Every preset of the library in \`presets/\`, rendered by \`lumenfall render --preset NAME\` over"
  echo "the built-in sample picture at 640 x 400. The settings line under each picture holds"
  echo "what the preset changes from the defaults, as \`--set\` takes it (one \`--set\` per"
  echo "\"NAME=VALUE\"). \`bash scripts/gallery.sh\` rewrites this page and its pictures;"
  echo "\`bash scripts/make-presets.sh\` rewrites the presets from the same lines. The presets"
  echo "with their thumbnails: [presets page](presets/index.html)."
  echo
  echo "## Over a photo"
  echo
  echo "![$photo_preset over a coast at dusk](gallery/photo-$photo_preset.jpg)"
  echo
  echo "\`lumenfall render coast.jpg --preset $photo_preset\`"
  echo
  for name in $names; do
    echo "## $name"
    echo
    echo "![$name](gallery/$name.jpg)"
    echo
    line=$(settings_line "$name")
    echo "\`--preset $name\`${line:+ · \`$line\`}"
    echo
  done
} > "$page"

count=0
for name in $names; do
  render "$name" "$work/sample.png" "$out/gallery/$name.jpg"
  count=$((count + 1))
done
render "$photo_preset" "$photo" "$out/gallery/photo-$photo_preset.jpg"
mv "$page" "$out/gallery.md"
# The presets page of the library, with the thumbnails the presets hold.
rm -rf "$out/presets"
mkdir -p "$out/presets"
(cd "$root" && "$lumenfall" presets-page presets/ -o "$out/presets/index.html" -q)
for name in "${readme_six[@]}"; do
  [ -f "$out/gallery/$name.jpg" ] || { echo "gallery: the README's $name is not in the library" >&2; exit 1; }
done
echo "gallery: $((count + 1)) pictures, $(du -ck "$out"/gallery/*.jpg | tail -n 1 | cut -f1) KB, $out/gallery.md"
