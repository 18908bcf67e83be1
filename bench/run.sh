#!/usr/bin/env bash
# Builds the framework in release mode and runs the benchmarks.
# Usage: [BENCH_DIR=scratch folder] bench/run.sh [md5|zip]...
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRX_TESTS=OFF >/dev/null
cmake --build build-bench -j4 --target framework installer_engine >/dev/null
libs="$(pkg-config --libs minizip libmd zlib libpng x11) -lsquish -lGL -lGLX -lpthread -ldl"
which=("$@")
[ ${#which[@]} -eq 0 ] && which=(md5 zip)
for name in "${which[@]}"; do
  g++ -std=c++20 -O2 -I. $(pkg-config --cflags minizip) -o "build-bench/bench_$name" "bench/bench_$name.cpp" \
    -Wl,--start-group build-bench/libframework.a build-bench/libinstaller_engine.a -Wl,--end-group $libs
  echo "== bench_$name"
  "build-bench/bench_$name" ${BENCH_DIR:+"$BENCH_DIR"}
done
