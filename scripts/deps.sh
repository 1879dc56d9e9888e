#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need (only what is missing).
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config clang clang-format
      qt6-base-dev qt6-svg-dev libgl-dev libeigen3-dev libfftw3-dev libmatio-dev
      libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core zlib1g-dev
      qt6-translations-l10n poppler-utils
      python3-numpy python3-scipy time)  # the last three for the benchmarks in bench/
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
