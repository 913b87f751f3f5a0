#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each for a bounded time (FUZZ_SECONDS, default 30).
set -euo pipefail
dir=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-30}
shopt -s nullglob
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTOCSINET_FUZZ=ON -DBUILD_TESTING=OFF
cmake --build "$dir" --target fuzzers -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
for fuzzer in "$dir"/bin/fuzz_*; do
    name=$(basename "$fuzzer")
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
    echo "== $name for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
    [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$name failed" >&2; exit 1; }
done
