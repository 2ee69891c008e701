#!/usr/bin/env bash
# Rewrites the preset library in presets/ from the settings recorded below:
# one line per preset, "NAME | SETTING=VALUE; SETTING=VALUE; ...", each
# setting as `lumenfall render --set` takes it, over the defaults. Every
# preset gets its 128 x 128 thumbnail rendered on the built-in sample
# picture. Needs the native build (build/native/bin/lumenfall).
#   bash scripts/make-presets.sh [--list]   (--list prints NAME | SETTINGS and stops)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lumenfall=${LUMENFALL:-$root/build/native/bin/lumenfall}
out=${LF_PRESETS_OUT:-$root/presets}

# Switching an element off: disc "sun radius=0", spikes "spike count=0",
# halo "halo radius=0", bow "bow brightness=0", flares "flare count=0;
# flare brightness=0".
presets=$(cat <<'LIST'
golden-classic | glue=screen
dawn-over-the-hills | glue=screen; Y center=0.72; X center=0.4; sun radius=30; sun red=255; sun green=150; sun blue=90; sun cold/hot=70; halo red=255; halo green=120; halo blue=60; halo radius=85; spike count=40; spike brightness=45; spike radius=60; bow brightness=20; flare count=0; flare brightness=0
desert-noon | glue=screen; sun type=flat; Y center=0.18; X center=0.5; sun radius=42; sun red=255; sun green=250; sun blue=220; halo red=255; halo green=230; halo blue=160; halo radius=100; halo brightness=90; spike count=60; spike brightness=35; spike width=30; bow brightness=0; flare count=0; flare brightness=0; master brightness=34
total-eclipse | glue=screen; sun type=eclipse; X center=0.5; Y center=0.4; sun radius=40; halo red=200; halo green=220; halo blue=255; halo radius=60; halo brightness=80; spike red=220; spike green=230; spike blue=255; spike count=100; spike width=15; spike radius=55; spike brightness=70; spike diffraction=0; bow brightness=0; flare count=0; flare brightness=0
frozen-star | glue=screen; X center=0.55; Y center=0.35; sun radius=22; sun red=150; sun green=200; sun blue=255; sun cold/hot=0; halo red=120; halo green=170; halo blue=255; halo radius=70; halo brightness=70; spike red=170; spike green=210; spike blue=255; spike count=24; spike width=10; spike radius=90; spike brightness=80; spike diffraction=60; bow brightness=0; flare count=0; flare brightness=0
alien-green-giant | glue=screen; X center=0.6; Y center=0.45; sun radius=50; sun red=80; sun green=255; sun blue=140; sun cold/hot=70; halo red=170; halo green=60; halo blue=255; halo radius=80; spike red=120; spike green=255; spike blue=160; spike count=30; spike brightness=40; bow brightness=60; bow radius=60; flare count=8; flare brightness=70; flare red=200; flare green=80; flare blue=255
red-giant | glue=screen; X center=0.5; Y center=0.4; sun radius=55; sun red=255; sun green=70; sun blue=40; sun cold/hot=90; halo red=255; halo green=40; halo blue=20; halo radius=60; halo brightness=70; spike count=0; bow brightness=0; flare count=0; flare brightness=0
pulsar-spikes | glue=screen; sun radius=0; halo radius=0; bow brightness=0; flare count=0; flare brightness=0; spike count=8; spike width=20; spike radius=100; spike brightness=90; spike red=210; spike green=220; spike blue=255; spike diffraction=80
soft-halo | glue=screen; sun radius=0; spike count=0; bow brightness=0; flare count=0; flare brightness=0; halo radius=70; halo brightness=99; master brightness=37; halo red=255; halo green=200; halo blue=120
rainbow-bow | glue=screen; sun radius=0; spike count=0; halo radius=0; flare count=0; flare brightness=0; bow brightness=100; bow radius=45; bow width=40; bow smear=30
flare-burst | glue=screen; sun radius=0; spike count=0; halo radius=0; bow brightness=0; flare count=16; flare brightness=100; flare width=80; flare radius=100; flare red=255; flare green=200; flare blue=90
molten-disc | glue=screen; spike count=0; halo radius=0; bow brightness=0; flare count=0; flare brightness=0; X center=0.5; Y center=0.38; sun radius=50; sun red=255; sun green=150; sun blue=60; sun cold/hot=80; sun detail=60
harvest-moon | glue=screen; spike count=0; bow brightness=0; flare count=0; flare brightness=0; X center=0.35; Y center=0.45; sun radius=45; sun red=255; sun green=190; sun blue=110; sun cold/hot=50; halo red=255; halo green=140; halo blue=50; halo radius=50; halo brightness=60
starburst | glue=screen; sun radius=0; halo radius=0; bow brightness=0; spike count=70; spike brightness=75; spike radius=80; spike width=35; flare count=12; flare brightness=90; flare width=45
misty-rainbow | glue=screen; sun radius=0; spike count=0; flare count=0; flare brightness=0; halo radius=75; halo brightness=60; halo red=230; halo green=230; halo blue=255; bow brightness=90; bow radius=52; bow width=60; bow smear=80
white-dwarf | glue=screen; sun type=flat; sun radius=12; sun red=255; sun green=255; sun blue=255; halo radius=0; bow brightness=0; flare count=0; flare brightness=0; spike count=50; spike width=8; spike radius=85; spike brightness=85; spike red=240; spike green=240; spike blue=255; spike diffraction=40
eclipse-with-rainbow | glue=screen; sun type=eclipse; X center=0.5; Y center=0.42; sun radius=30; spike count=0; flare count=0; flare brightness=0; halo radius=45; halo brightness=75; halo red=255; halo green=220; halo blue=180; bow brightness=90; bow radius=50; bow width=35
storm-sun | glue=screen; Y center=0.38; sun radius=50; sun swirl count=30; sun swirl size=50; vortices=on; monopoles=off; sun smear=10; sun red=255; sun green=120; sun blue=80; spike count=30; spike brightness=40; flare count=0; flare brightness=0; bow brightness=0
magnetic-sun | glue=screen; Y center=0.38; sun radius=45; vortices=off; monopoles=on; sun swirl count=25; sun swirl size=40; sun smear=40; sun red=120; sun green=160; sun blue=255; sun cold/hot=30; halo red=90; halo green=120; halo blue=255; spike count=0; flare count=0; flare brightness=0; bow brightness=0
ghost-sun | glue=luminance; X center=0.5; sun radius=40; spike count=40; spike brightness=50; flare count=0; flare brightness=0
blazing-add | glue=add; master brightness=28; sun radius=35; spike count=80; spike brightness=70; flare count=20; flare brightness=80
pale-lighten | glue=lighten; sun radius=35; sun red=255; sun green=240; sun blue=220; halo radius=80; bow brightness=0; flare count=0; flare brightness=0
amber-overlay | glue=overlay; sun radius=45; sun red=255; sun green=170; sun blue=60; halo red=255; halo green=150; halo blue=40; halo radius=90; spike count=50; flare count=0; flare brightness=0
neon-hard-light | glue=hard light; sun radius=40; sun red=255; sun green=60; sun blue=200; spike red=80; spike green=255; spike blue=255; halo red=200; halo green=50; halo blue=255; flare count=10; flare red=60; flare green=255; flare blue=200
pin-light-corona | glue=pin light; sun radius=40; Y center=0.4; spike count=60; flare count=0; flare brightness=0
negative-sun | glue=difference; sun radius=35; spike count=40; spike brightness=50; bow brightness=0; flare count=0; flare brightness=0
LIST
)

if [ "${1:-}" = --list ]; then
  echo "$presets"
  exit 0
fi
if [ ! -x "$lumenfall" ]; then
  echo "make-presets: $lumenfall is missing; build the native tree first" >&2
  exit 1
fi
mkdir -p "$out"
# Each preset's thumbnail carries a "date created": the library's own date,
# so that the files are the same bytes whatever day they are made.
export SOURCE_DATE_EPOCH=1796817600   # 2026-12-09
count=0
while IFS= read -r line; do
  [ -n "$line" ] || continue
  name=$(echo "${line%%|*}" | sed 's/ *$//')
  args=()
  IFS=';' read -ra settings <<< "${line#*|}"
  for s in "${settings[@]}"; do
    s=$(echo "$s" | sed 's/^ *//; s/ *$//')
    [ -n "$s" ] && args+=(--set "$s")
  done
  "$lumenfall" preset save -q -o "$out/$name.q4q" "${args[@]}"
  count=$((count + 1))
done <<< "$presets"
echo "make-presets: $count presets in $out"
