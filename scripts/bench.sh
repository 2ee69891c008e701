#!/usr/bin/env bash
# The render benchmarks beside a peer's filter, in one run, interleaved so
# that the machine's load falls on both alike: the default sun, the floor
# (every element off) and each element alone, at 8 and 16 bits, through
# our host at 1 and 2 threads; a preview-sized render, the plug-in's memory by the longer side,
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
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$rounds"); do
  build/native/bin/lumenfall_bench --benchmark_filter='^(Default|Floor|DiscOnly|SpikesOnly|FlaresOnly|HaloOnly|BowOnly)(8|16)/' \
    --benchmark_out="$work/render-$round.json" --benchmark_out_format=json >/dev/null 2>&1
  /usr/bin/python3 scripts/bench_peer.py 1 2>/dev/null >>"$work/peer.txt"
done
build/native/bin/lumenfall_bench --benchmark_filter='PreviewSized|PreviewZoom8|PeakMemory' \
  --benchmark_out="$work/other.json" --benchmark_out_format=json >/dev/null 2>&1
echo "load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
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
nova = median.get("supernova", float("nan"))
print("gegl:supernova (4000 x 3000, R'G'B' u8): %.1f ms (median of %d)" % (nova, len(times.get("supernova", []))))
print()
print("4000 x 3000 through our host, median ms; 'over floor' is the added cost at 8 bits and 2 threads,")
print("'/ nova' divides a time by supernova's (lower is faster)")
print("%-11s %9s %9s %9s %9s %11s %7s %7s" % ("case", "8-bit/1", "8-bit/2", "16-bit/1", "16-bit/2",
                                              "over floor", "/ nova", "16/8"))
cases = ["Default", "Floor", "DiscOnly", "SpikesOnly", "FlaresOnly", "HaloOnly", "BowOnly"]
def m(name):
    return median.get(name, float("nan"))
floor = m("Floor8/2")
for case in cases:
    t = [m("%s%d/%d" % (case, d, n)) for d in (8, 16) for n in (1, 2)]
    over = t[1] - floor if case != "Floor" else float("nan")
    print("%-11s %9.1f %9.1f %9.1f %9.1f %11.1f %7.2f %7.2f" % (case, t[0], t[1], t[2], t[3], over,
          (over if case != "Floor" else t[1]) / nova, t[3] / t[1]))
print()
for name in ("PreviewSized/1", "PreviewZoom8/1"):
    if name in median:
        print("%-16s %8.2f ms (%s)" % (name, median[name], "518 x 373 render" if name.startswith("PreviewSized")
              else "preview of 4000 x 3000 at scale 8 through renderPreviewThroughHost"))
def ratio(name):
    return nova / median[name] if name in median else float("nan")
print("throughput / gegl:supernova: default 8-bit at 2 threads %.2f, at 1 thread %.2f; floor at 2 threads %.2f, at 1 thread %.2f"
      % (ratio("Default8/2"), ratio("Default8/1"), ratio("Floor8/2"), ratio("Floor8/1")))
print("time / gegl:supernova: floor at 2 threads %.2f; disc added %.2f; flares added %.2f"
      % (floor / nova, (m("DiscOnly8/2") - floor) / nova, (m("FlaresOnly8/2") - floor) / nova))
print("default 16-bit / 8-bit at 2 threads: %.2f" % (m("Default16/2") / m("Default8/2")))
print("2 threads / 1 thread, default 8-bit: %.2f" % (m("Default8/1") / m("Default8/2")))
for side in sorted(memory):
    wide, tall = memory[side]
    print("plug-in memory through the host's suites, longer side %5d: %.0f bytes (wide strip), %.0f bytes (tall strip)"
          % (side, wide or 0, tall or 0))
PY
rm -rf "$work"
