#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for the given seconds
# (default 60) on its seed corpus fuzz/corpus/<folder>. New inputs go to build-fuzz/corpus/<folder>
# so the repository's seeds stay as they are; crashes land in build-fuzz/artifacts/<folder>/.
# Usage: scripts/fuzz.sh [seconds] [folder ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
folders=("$@")
if [ ${#folders[@]} -eq 0 ]; then
  for f in fuzz/*/CMakeLists.txt; do folders+=("$(basename "$(dirname "$f")")"); done
fi

target_of() { sed -n 's/.*tarvo_add_fuzzer(\([A-Za-z0-9_]*\).*/\1/p' "fuzz/$1/CMakeLists.txt" | head -1; }

targets=()
for f in "${folders[@]}"; do targets+=("$(target_of "$f")"); done
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTARVO_FUZZ=ON -DTARVO_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

failed=0
for i in "${!folders[@]}"; do
  f=${folders[$i]} exe=build-fuzz/fuzz/${targets[$i]}
  mkdir -p "build-fuzz/corpus/$f" "build-fuzz/artifacts/$f"
  echo "== $f ($seconds s)"
  if "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/artifacts/$f/" "build-fuzz/corpus/$f" "fuzz/corpus/$f" \
      >"build-fuzz/artifacts/$f/run.log" 2>&1; then
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "build-fuzz/artifacts/$f/run.log" | tr '\n' ' '
    echo "clean"
  else
    echo "FAILED: see build-fuzz/artifacts/$f/run.log"
    tail -30 "build-fuzz/artifacts/$f/run.log"
    failed=1
  fi
done
exit $failed
