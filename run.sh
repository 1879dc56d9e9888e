#!/usr/bin/env bash
# Installs what is missing, builds the program (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIVA_BENCH=OFF >/dev/null
cmake --build build
if [ -x build/ziva ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/ziva "$@"
fi
if [ -x build/ziva-synth ] && [ -x build/ziva-batch ]; then
  echo "No display: evaluating a simulated example run with ziva-batch instead."
  mkdir -p build/example
  build/ziva-synth --out build/example/run.wav
  build/ziva-batch --asc build/example/run.asc --bmp build/example/run.png build/example/run.wav
  echo "Wrote build/example/run.asc and build/example/run.png"
else
  echo "Built. Programs in build/: $(cd build && ls ziva* 2>/dev/null | tr '\n' ' ')"
fi
