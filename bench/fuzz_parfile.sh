#!/usr/bin/env bash
# Builds the libFuzzer target for the parameter-file (MAT) reader with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer, writes a seed corpus and fuzzes.
# Usage: bench/fuzz_parfile.sh [seconds, default 600] [further libFuzzer options]
# Any single allocation above 64 MB counts as a failure: inputs are at most 4 kB.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ZIVA_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-600}
shift || true
mkdir -p "$out/corpus_parfile"
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined
       -fno-sanitize-recover=undefined -Wall -Wextra -Werror -I"$root/src")
srcs=("$root/src/params/mat_read.cpp")
clang++ "${flags[@]}" -fsanitize=fuzzer "$root/bench/fuzz_parfile.cc" "${srcs[@]}" -lz \
  -o "$out/fuzz_parfile"
clang++ "${flags[@]}" -DZIVA_FUZZ_SEEDS "$root/bench/fuzz_parfile.cc" "${srcs[@]}" -lz -lmatio \
  -o "$out/fuzz_parfile_seeds"
"$out/fuzz_parfile_seeds" "$out/corpus_parfile"
"$out/fuzz_parfile" -max_total_time="$seconds" -max_len=4096 -malloc_limit_mb=64 \
  -rss_limit_mb=2048 -print_final_stats=1 "$@" "$out/corpus_parfile"
