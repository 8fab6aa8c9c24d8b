#!/usr/bin/env bash
# Builds the drawing-file fuzzing harness with clang (libFuzzer, address and undefined-behaviour
# sanitizers) and runs it on one core, seeded with the shared corpus of drawings.
#   tests/dxf/fuzz/run-fuzzer.sh [SECONDS]     (default 1800)
# New inputs go to build/fuzz/corpus, crashes and hangs to build/fuzz/findings. Keep each finding,
# once fixed, under tests/dxf/fuzz-regressions/ (the regression test reads every file there).
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-1800}
corpus=${PELLATON_CORPUS:-$top/../shared/corpus}
build=$top/build/fuzz
mkdir -p "$build/obj" "$build/corpus" "$build/findings"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -D_USE_MATH_DEFINES"
sources=("$top"/cadhost/core/*.cpp "$top"/cadhost/dxf/*.cpp)
objects=()
for source in "${sources[@]}"; do
  object="$build/obj/$(echo "${source#$top/}" | tr / _).o"
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ] || [ -n "$(find "$top/cadhost" -name '*.h' -newer "$object" -print -quit)" ]; then
    clang++ $flags -DACCORE_BUILDING -I"$top/cadhost/sdk" -I"$top/cadhost/dxf" -c "$source" -o "$object"
  fi
  objects+=("$object")
done
clang++ $flags -I"$top/cadhost/dxf" "$top/tests/dxf/fuzz/dxf_fuzz.cpp" "${objects[@]}" -o "$build/dxf_fuzz"
seeds=()
for dir in "$corpus"/*/ "$top"/tests/dxf/fuzz-regressions/; do [ -d "$dir" ] && seeds+=("$dir"); done
cd "$build/findings"
exec "$build/dxf_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=200000 \
  -dict="$top/tests/dxf/fuzz/dxf.dict" -print_final_stats=1 "$build/corpus" "${seeds[@]}"
