#!/usr/bin/env bash
# Runs every benchmark program and the whole-run measurement, and prints one table of medians.
# Usage: bench/run-all.sh [build-dir]   (default build/, configured RelWithDebInfo when missing)
# Environment: REPS (benchmark repetitions, 5), WHOLERUN_RUNS (3), WHOLERUN_SECONDS (60),
#              WHOLERUN_SIZES ("640x480 1280x720"), WHOLERUN_CLIPS (1: also the MJPEG clips played as a
#              camera, made once into <build>/bench/clips; 0: not), TABLE_ONLY=1 (print the last results again).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
reps=${REPS:-5}
runs=${WHOLERUN_RUNS:-3}
seconds=${WHOLERUN_SECONDS:-60}
sizes=${WHOLERUN_SIZES:-640x480 1280x720}
clips=()
if [ "${WHOLERUN_CLIPS:-1}" = 1 ]; then
  [ "${TABLE_ONLY:-0}" = 1 ] || bench/wholerun/make-clips.sh "$build/bench/clips"
  clips=("$build/bench/clips/clip-640x480-15.avi" "$build/bench/clips/clip-1920x1080-30.avi")
  # The preview benchmark plays the 1080p clip.
  export TARVO_BENCH_CLIP=$PWD/${clips[1]}
fi
benches=(capture_bench engine_bench imaging_bench publish_bench)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_BENCH=ON >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
case "$type" in Release|RelWithDebInfo|"") ;; *) echo "warning: $build is a $type build" >&2 ;; esac
[ "${TABLE_ONLY:-0}" = 1 ] || cmake --build "$build" -j"$(nproc)" --target tarvo write_profile "${benches[@]}"

out="$build/bench/results"
if [ "${TABLE_ONLY:-0}" != 1 ]; then
rm -rf "$out" && mkdir -p "$out"
for b in "${benches[@]}"; do
  echo "running $b ($reps repetitions)..." >&2
  "$build/bench/$b" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/$b.json" --benchmark_out_format=json >"$out/$b.txt" 2>&1 ||
    echo "$b failed: see $out/$b.txt" >&2
done
for size in $sizes; do
  for i in $(seq "$runs"); do
    echo "whole run $size, run $i of $runs ($seconds s)..." >&2
    /usr/bin/python3 bench/wholerun/wholerun.py "$build" --seconds "$seconds" --size "$size" --json \
      >>"$out/wholerun.jsonl" || echo "whole run $size failed" >&2
    /usr/bin/python3 bench/wholerun/wholerun.py "$build" --seconds "$seconds" --size "$size" --json \
      --source-alone >>"$out/wholerun.jsonl" || echo "test pattern alone $size failed" >&2
  done
done
for clip in "${clips[@]}"; do
  for i in $(seq "$runs"); do
    echo "whole run $(basename "$clip"), run $i of $runs ($seconds s)..." >&2
    /usr/bin/python3 bench/wholerun/wholerun.py "$build" --seconds "$seconds" --clip "$clip" --caption --json \
      >>"$out/wholerun.jsonl" || echo "whole run $clip failed" >&2
  done
  /usr/bin/python3 bench/wholerun/wholerun.py "$build" --seconds 15 --clip "$clip" --source-alone --json \
    >>"$out/wholerun.jsonl" || echo "clip alone $clip failed" >&2
done
fi

/usr/bin/python3 - "$out" <<'PY'
import glob, json, os, statistics, sys
out = sys.argv[1]
print("| Benchmark | median real time | median CPU time |")
print("|---|---|---|")
for path in sorted(glob.glob(os.path.join(out, "*_bench.json"))):
    with open(path) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median" or (b.get("run_type") == "iteration" and "repetitions" not in b):
            if b.get("error_occurred"):
                print("| %s | skipped: %s | |" % (b["run_name"], b.get("error_message", "")))
                continue
            unit = b.get("time_unit", "ns")
            name = b["run_name"] + (" (%s)" % b["label"] if b.get("label") else "")
            print("| %s: %s | %.3f %s | %.3f %s |" % (os.path.basename(path)[:-5], name,
                  b["real_time"], unit, b["cpu_time"], unit))
runs = {}
try:
    with open(os.path.join(out, "wholerun.jsonl")) as f:
        for line in f:
            r = json.loads(line)
            runs.setdefault((r.get("clip", False), r["size"], r["fps"], r.get("source_alone", False)), []).append(r)
except FileNotFoundError:
    pass
print()
print("| Whole run, motion auto-capturing on the test device | runs | median % of one core | median RSS MiB | median peak RSS MiB | pictures per run |")
print("|---|---|---|---|---|---|")
for (clip, size, fps, alone), rs in sorted(runs.items()):
    med = lambda k: statistics.median(r[k] for r in rs)
    source = "MJPEG clip" if clip else "test pattern"
    if alone:
        print("| %s alone (gst-launch), %s at %d fps | %d | %.1f | | | |" % (source, size, fps, len(rs),
              100 * med("core_fraction")))
        continue
    print("| %s%s at %d fps, %.0f s | %d | %.1f | %.1f | %.1f | %.0f |" % ("MJPEG clip " if clip else "", size, fps, rs[0]["seconds"], len(rs),
          100 * med("core_fraction"), med("rss_mib"), med("peak_rss_mib"), med("pictures")))
PY
