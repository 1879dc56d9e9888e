#!/usr/bin/env bash
# Builds the libFuzzer target for wavread with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, writes a seed corpus and fuzzes.
# Usage: bench/fuzz_wavread.sh [seconds, default 300] [further libFuzzer options]
# Any single allocation above 16 MB counts as a failure: inputs are at most 4 kB.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ZIVA_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-300}
shift || true
mkdir -p "$out/corpus"
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined
       -fno-sanitize-recover=undefined -Wall -Wextra -Werror
       -I"$root/src" -isystem /usr/include/eigen3)
srcs=("$root"/src/wav/*.cpp "$root/src/base/warning.cpp" "$root/src/base/atomic_file.cpp")
clang++ "${flags[@]}" -fsanitize=fuzzer "$root/bench/fuzz_wavread.cc" "${srcs[@]}" \
  -o "$out/fuzz_wavread"
clang++ "${flags[@]}" -DZIVA_FUZZ_SEEDS "$root/bench/fuzz_wavread.cc" "${srcs[@]}" \
  -o "$out/fuzz_wavread_seeds"
"$out/fuzz_wavread_seeds" "$out/corpus"
"$out/fuzz_wavread" -max_total_time="$seconds" -max_len=4096 -malloc_limit_mb=16 \
  -rss_limit_mb=2048 -print_final_stats=1 "$@" "$out/corpus"
