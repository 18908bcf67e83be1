#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them.
# Usage: [BENCH_DIR=scratch folder] bench/run.sh [md5|zip|http|...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
which=("$@")
if [ ${#which[@]} -eq 0 ]; then
  for src in bench/bench_*.cpp; do n=$(basename "$src" .cpp); which+=("${n#bench_}"); done
fi
scratch=${BENCH_DIR:-${TMPDIR:-/tmp}}
if ! mkdir -p "$scratch" || [ ! -w "$scratch" ]; then
  echo "bench/run.sh: cannot write scratch data in $scratch" >&2
  exit 1
fi
for name in "${which[@]}"; do
  cmake --build build-bench -j"$(nproc)" --target "bench_$name" >/dev/null
  echo "== bench_$name"
  TMPDIR=$scratch "build-bench/bench/bench_$name"
done
