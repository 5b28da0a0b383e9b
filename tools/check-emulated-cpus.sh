#!/usr/bin/env bash
# Renders through the built VST3 and LV2 plug-ins natively and on emulated processors that lack
# wider instruction sets (qemu-user traps every instruction its processor model lacks): Nehalem
# (no AVX: the baseline lane forms), Sandy Bridge (AVX, no AVX2) and Haswell (AVX2, no AVX-512).
# Every render must be bit for bit the native one (32-bit float WAV), so a form that uses an
# instruction its processor lacks, or code built for a wider set that leaked into a shared
# function, fails here. About 10 s.
#   tools/check-emulated-cpus.sh BUILD_DIR CONFIG    e.g. build Release
set -euo pipefail
build=$1
config=$2
artefacts=$build/Brondavell_artefacts/$config
render=$build/tools/brondavell_render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# JUCE's LV2 host also scans ~/.lv2: a HOME of its own makes it load this build's bundle.
export HOME=$work/home
mkdir -p "$HOME"
# Drive, reverb (HQ), presence and a cabinet: every routine with lane forms runs.
settings=(--rate 48000 --block 128 --seconds 1 --float --set chanelDrive=1 --set bright=0 --set presence=1
  --set reverb=0.5 --set hqReverb=1 --set cab=0.4)
failed=0
for format in vst3 lv2; do
  if [ $format = vst3 ]; then bundle=$artefacts/VST3/BrondavellV2.vst3; else bundle=$artefacts/LV2/BrondavellV2.lv2; fi
  "$render" --format $format --plugin "$bundle" --out "$work/native-$format.wav" "${settings[@]}" > /dev/null
  for cpu in Nehalem SandyBridge Haswell; do
    out=$work/$cpu-$format.wav
    if ! qemu-x86_64 -cpu $cpu "$render" --format $format --plugin "$bundle" --out "$out" "${settings[@]}" \
      > "$work/$cpu-$format.log" 2>&1; then
      echo "$format on $cpu: the render failed"
      grep -v "TCG doesn.t support" "$work/$cpu-$format.log" | tail -n 5 || true
      failed=1
    elif ! cmp -s "$work/native-$format.wav" "$out"; then
      echo "$format on $cpu: the output differs from the native render"
      failed=1
    else
      echo "$format on $cpu: bit-identical to the native render"
    fi
  done
done
exit $failed
