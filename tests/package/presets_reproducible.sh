#!/usr/bin/env bash
# The presets of presets/ are exactly what scripts/make-presets.sh writes
# from its recorded settings: the same files, byte for byte, no more.
#   presets_reproducible.sh LUMENFALL WORK
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$2
rm -rf "$work"
mkdir -p "$work"
LUMENFALL=$1 LF_PRESETS_OUT=$work bash "$root/scripts/make-presets.sh" >/dev/null
made=$(cd "$work" && ls)
kept=$(cd "$root/presets" && ls)
if [ "$made" != "$kept" ]; then
  echo "presets/ and scripts/make-presets.sh name different presets:"
  diff <(echo "$kept") <(echo "$made") || true
  exit 1
fi
status=0
for name in $made; do
  cmp -s "$work/$name" "$root/presets/$name" || { echo "presets/$name differs from what make-presets.sh writes"; status=1; }
done
[ $status -eq 0 ] && echo "presets: $(echo "$made" | wc -l) presets, each as make-presets.sh writes it"
exit $status
