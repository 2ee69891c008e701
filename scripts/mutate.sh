#!/usr/bin/env bash
# Mutation pass: applies each plausible slip of scripts/mutations.txt to the
# source, one at a time, rebuilds only the test programs it names, runs the
# tests its regex names, and reports whether a test caught the slip. The
# mutated file is always restored, even when the run is interrupted.
#
#   bash scripts/mutate.sh                 every mutation
#   bash scripts/mutate.sh host-03 app-01  only these
#   bash scripts/mutate.sh --folder src/params
#   bash scripts/mutate.sh --check         only report stale snippets, build nothing
#
# Results: build/mutate/results.tsv (id, folder, outcome, slip) and a
# summary per folder. Outcomes: caught, caught-timeout (a test ran past the
# limit: ctest's own time limit would fail it too), missed, stale (the
# snippet is no longer in the file exactly once: re-aim the mutation),
# no-build (the mutant does not compile: rewrite it, it proves nothing),
# no-tests / not-run (the regex names no test, or a test program not built).
# Slow (a rebuild per mutation): not part of CI.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
list=scripts/mutations.txt
build=build/native
out=build/mutate
limit=${LF_MUTATE_TIMEOUT:-300}
jobs=${LF_MUTATE_JOBS:-2}

folder_filter=""
check_only=0
wanted=()
while [ $# -gt 0 ]; do
  case "$1" in
    --folder) folder_filter=$2; shift 2 ;;
    --check) check_only=1; shift ;;
    *) wanted+=("$1"); shift ;;
  esac
done

mkdir -p "$out"
records=$out/records
rm -rf "$records"
mkdir -p "$records"

# Split the list into one directory per mutation holding its fields as files
# (snippets keep their exact bytes: "\n" in a snippet stands for a newline).
python3 - "$list" "$records" <<'PY'
import os, sys
src, dest = sys.argv[1], sys.argv[2]
fields = ("id", "file", "targets", "tests", "slip", "from", "to")
record, order = {}, 0
def flush():
    global record, order
    if not record:
        return
    missing = [f for f in fields if f not in record]
    if missing:
        sys.exit(f"mutations.txt: record {record.get('id', '?')} lacks {', '.join(missing)}")
    order += 1
    d = os.path.join(dest, f"{order:03d}")
    os.makedirs(d)
    for k, v in record.items():
        if k in ("from", "to"):
            v = v.replace("\\n", "\n")
        with open(os.path.join(d, k), "w") as f:
            f.write(v)
    record = {}
for line in open(src, encoding="utf-8"):
    line = line.rstrip("\n")
    if not line.strip():
        flush()
        continue
    if line.startswith("#"):
        continue
    key, sep, value = line.partition(": ")
    if not sep or key not in fields:
        sys.exit(f"mutations.txt: cannot read line: {line}")
    if key in record:
        sys.exit(f"mutations.txt: {key} twice in {record.get('id', '?')}")
    record[key] = value
flush()
PY
[ $? -eq 0 ] || exit 2

# Replaces the one occurrence of the snippet; exit 3 when it is not there
# exactly once (the mutation is stale).
apply_mutation() {
  python3 - "$1" "$2/from" "$2/to" <<'PY'
import sys
path, frm, to = sys.argv[1], open(sys.argv[2]).read(), open(sys.argv[3]).read()
text = open(path, encoding="utf-8").read()
if text.count(frm) != 1:
    sys.exit(3)
with open(path, "w", encoding="utf-8") as f:
    f.write(text.replace(frm, to, 1))
PY
}

# The ctest regex of a mutation: "@program" stands for every test suite of
# that test program (its tests are named Suite.Test), anything else is taken
# as a piece of ctest regex (tests added with add_test).
test_regex() {
  local pieces=() suites=() token
  for token in $(cat "$1"); do
    if [[ $token == @* ]]; then
      suites+=($("$build/bin/${token#@}" --gtest_list_tests 2>/dev/null |
                 sed -n 's/^\([^ ][^ ]*\)\.\( .*\)\{0,1\}$/\1/p' | sed 's|.*/||' | sort -u))
    else
      pieces+=("$token")
    fi
  done
  if [ ${#suites[@]} -gt 0 ]; then
    pieces+=("(^|/)($(IFS='|'; echo "${suites[*]}"))\\.")
  fi
  (IFS='|'; echo "${pieces[*]}")
}

backup=""
target_file=""
restore() {
  if [ -n "$backup" ] && [ -f "$backup" ]; then
    # A fresh modification time, so that the next build recompiles the
    # original and no mutant stays in an object file.
    cat "$backup" > "$target_file"
    rm -f "$backup"
    backup=""
  fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM HUP

if [ "$check_only" = 0 ] && [ ! -f "$build/build.ninja" ]; then
  nice -n 10 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
fi

results=$out/results.tsv
: > "$results"
touched_targets=""
for d in "$records"/*; do
  id=$(cat "$d/id")
  file=$(cat "$d/file")
  slip=$(cat "$d/slip")
  folder=$(dirname "$file")
  case "$folder" in src/ui/win32*) ;; src/*) folder=$(echo "$folder" | cut -d/ -f1-2) ;; *) folder=${folder%%/*} ;; esac
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " == *" $id "* ]]; then continue; fi
  if [ -n "$folder_filter" ] && [ "$folder" != "$folder_filter" ]; then continue; fi

  outcome=""
  if [ ! -f "$file" ]; then
    outcome=stale
  else
    backup=$(mktemp "$out/backup.XXXXXX")
    target_file=$file
    cat "$file" > "$backup"
    apply_mutation "$file" "$d"
    case $? in
      0) ;;
      3) outcome=stale ;;
      *) outcome=error ;;
    esac
    if [ -z "$outcome" ] && [ "$check_only" = 1 ]; then outcome=applies; fi
    if [ -z "$outcome" ]; then
      read -r -a targets < "$d/targets"
      touched_targets="$touched_targets ${targets[*]}"
      if ! nice -n 10 ninja -C "$build" -j"$jobs" "${targets[@]}" > "$out/$id.build.log" 2>&1; then
        outcome=no-build
      else
        start=$(date +%s)
        regex=$(test_regex "$d/tests")
        (cd "$build" && timeout "$limit" nice -n 10 ctest -R "$regex" --no-tests=error \
            -j"$jobs" --output-on-failure > "$root/$out/$id.test.log" 2>&1)
        rc=$?
        if [ $rc -eq 0 ]; then outcome=missed
        elif [ $rc -eq 124 ]; then outcome=caught-timeout
        elif grep -q "No tests were found" "$out/$id.test.log"; then outcome=no-tests
        elif grep -q "\*\*\*Not Run" "$out/$id.test.log"; then outcome=not-run
        else outcome=caught; fi
        echo "   ($(( $(date +%s) - start )) s of tests)" >> "$out/$id.build.log"
      fi
    fi
    restore
  fi
  printf '%s\t%s\t%s\t%s\n' "$id" "$folder" "$outcome" "$slip" | tee -a "$results"
done

# Leave the build as the sources are.
if [ -n "$touched_targets" ]; then
  # shellcheck disable=SC2086
  nice -n 10 ninja -C "$build" -j"$jobs" $(echo $touched_targets | tr ' ' '\n' | sort -u) > "$out/final.build.log" 2>&1 \
    || echo "warning: the final rebuild failed (see $out/final.build.log)"
fi

echo
echo "folder            caught  missed  other   rate"
awk -F'\t' '
  { f[$2]; if ($3 ~ /^caught/) c[$2]++; else if ($3 == "missed") m[$2]++; else o[$2]++ }
  END {
    for (k in f) {
      n = c[k] + m[k]
      printf "%-17s %6d  %6d  %5d   %s\n", k, c[k], m[k], o[k], (n ? sprintf("%d%%", 100 * c[k] / n) : "-")
      tc += c[k]; tm += m[k]; to += o[k]
    }
    n = tc + tm
    printf "%-17s %6d  %6d  %5d   %s\n", "all", tc, tm, to, (n ? sprintf("%d%%", 100 * tc / n) : "-")
  }' "$results" | sort
