#!/usr/bin/env bash
# The render benchmarks beside a peer's filter, in one run, interleaved so
# that the machine's load falls on both alike: the default sun at 8 and 16
# bits and the floor (every element off) through our host at 1 and 2
# threads, a preview-sized render, the plug-in's memory by the longer side,
# and GEGL's gegl:supernova over a picture of the same size. Prints the
# figures and the ratios. Usage: bash scripts/bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
bash scripts/install-deps.sh --native
peer=(gegl gir1.2-gegl-0.4 python3-gi libbenchmark-dev)
missing=()
for p in "${peer[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_BENCH=ON >/dev/null
ninja -C build/native lumenfall_bench lf_plugin >/dev/null

work=$(mktemp -d)
for round in $(seq "$rounds"); do
  build/native/bin/lumenfall_bench --benchmark_filter='Default8|Floor8' \
    --benchmark_out="$work/render-$round.json" --benchmark_out_format=json >/dev/null 2>&1
  /usr/bin/python3 scripts/bench_peer.py 1 2>/dev/null >>"$work/peer.txt"
done
build/native/bin/lumenfall_bench --benchmark_filter='Default16|PreviewSized|PreviewZoom8|PeakMemory' \
  --benchmark_out="$work/other.json" --benchmark_out_format=json >/dev/null 2>&1
/usr/bin/python3 - "$work" <<'PY'
import glob, json, os, statistics, sys
work = sys.argv[1]
times, memory = {}, {}
for path in sorted(glob.glob(os.path.join(work, "*.json"))):
    for b in json.load(open(path))["benchmarks"]:
        name = b["name"].split("/iterations")[0].split("/min_time")[0].split("/real_time")[0]
        if name.startswith("PeakMemory"):
            memory[int(name.split("/")[1])] = (b.get("wide bytes"), b.get("tall bytes"))
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        times.setdefault(name, []).append(b["real_time"] * scale)
for line in open(os.path.join(work, "peer.txt")):
    times.setdefault("supernova", []).append(float(line.split()[1]))
median = {k: statistics.median(v) for k, v in times.items()}
print("%-22s %10s %8s %s" % ("case", "median ms", "MP/s", "(4000 x 3000 unless said; Name/threads)"))
for name, ms in sorted(median.items()):
    pixels = {"PreviewSized": 518 * 373, "PreviewZoom8": 500 * 375}.get(name.split("/")[0], 4000 * 3000)
    print("%-22s %10.1f %8.2f" % (name, ms, pixels / 1e6 / (ms / 1000.0)))
nova = median.get("supernova")
def ratio(name):
    return nova / median[name] if nova and name in median else float("nan")
print("throughput / gegl:supernova: default 8-bit at 2 threads %.2f, at 1 thread %.2f; floor at 2 threads %.2f, at 1 thread %.2f"
      % (ratio("Default8/2"), ratio("Default8/1"), ratio("Floor8/2"), ratio("Floor8/1")))
if "Default8/1" in median and "Default8/2" in median:
    print("2 threads / 1 thread, default 8-bit: %.2f" % (median["Default8/1"] / median["Default8/2"]))
for side in sorted(memory):
    wide, tall = memory[side]
    print("plug-in memory through the host's suites, longer side %5d: %.0f bytes (wide strip), %.0f bytes (tall strip)"
          % (side, wide or 0, tall or 0))
PY
rm -rf "$work"
