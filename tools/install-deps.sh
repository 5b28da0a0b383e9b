#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Brondavell need, if any is
# missing. Idempotent; runs apt-get only when something is missing.
set -euo pipefail

packages=(
  # build; patch applies the project's mends to copies of two framework wrapper sources
  cmake ninja-build g++ pkg-config git patch
  # JUCE 7.0.5 (pulls in its own -dev dependencies: X11, ALSA, freetype, GL, webkit, ...)
  juce-modules-source
  # fonts: JUCE draws no text without fontconfig's configuration; fonts-dejavu-core also gives
  # the editor's built-in caption face (DejaVu Sans Bold)
  fontconfig-config fonts-dejavu-core fonts-liberation
  # tests and benchmarks; a virtual X server for the test that opens the real cabinet menu
  libgtest-dev libbenchmark-dev libfftw3-dev xvfb xauth
  # regeneration check of the designed cabinet tables; the plots of docs/audio-data.md
  python3 python3-numpy python3-scipy python3-matplotlib
  # LV2 bundle validation (lv2_validate and the schemas, sord_validate)
  lv2-dev sordi
  # sanitizer and fuzzer runtimes for the clang fuzz build; expat for the state fuzzer's oracle
  clang libclang-rt-14-dev libexpat1-dev
  # the lane forms' checks: nm over the objects, renders on emulated processors
  binutils qemu-user
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
