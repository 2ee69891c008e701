#!/usr/bin/env bash
# Long fuzz runs: builds the fuzz targets (clang, ASan + UBSan) and runs every
# target, one after the other, for SECONDS each (default 600), then prints per
# target the executions, the corpus before and after, and what was found.
#   nice -n 19 bash scripts/fuzz-long.sh 600 [fuzz_render_settings ...]
# (naming targets runs only those).
# Each target's corpus grows in build/fuzz/long/<target>/corpus (starting
# from fuzz/corpus/<target>) and is kept between runs; crashes, leaks and
# slow inputs land in build/fuzz/long/<target>/findings, the log beside it.
# Render-settings inputs must render within 2 s each (-timeout=2); the
# readers get 10 s.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS per target] [TARGET...]" >&2; exit 2 ;;
esac
shift $(( $# > 0 ? 1 : 0 ))
wanted=" $* "

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON \
  -DLF_BUILD_FUZZ=ON -DLF_BUILD_TESTS=OFF > /dev/null
ninja -C build/fuzz -j"${LF_JOBS:-2}" > /dev/null

summary=()
failed=0
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  [ "$wanted" = "  " ] || [[ "$wanted" == *" $name "* ]] || continue
  dir=build/fuzz/long/$name
  mkdir -p "$dir/corpus" "$dir/findings"
  cp -rn "fuzz/corpus/$name/." "$dir/corpus/" 2>/dev/null || true
  before=$(ls "$dir/corpus" | wc -l)
  limit=10
  [ "$name" = fuzz_render_settings ] && limit=2
  echo "== $name: $seconds s (-timeout=$limit), $before inputs"
  status=ok
  "$target" "$dir/corpus" -max_total_time="$seconds" -timeout="$limit" -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" > "$dir/fuzz.log" 2>&1 || status=FAILED
  after=$(ls "$dir/corpus" | wc -l)
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/fuzz.log" | grep -o '[0-9]*$' || echo "?")
  found=$(ls "$dir/findings" | wc -l)
  [ "$status" = ok ] || { failed=$((failed + 1)); tail -30 "$dir/fuzz.log"; }
  summary+=("$name: $status, $runs executions, corpus $before -> $after, $found findings")
done
echo "== summary"
printf '%s\n' "${summary[@]}"
[ "$failed" -eq 0 ]
