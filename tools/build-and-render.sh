#!/usr/bin/env bash
# Builds the plug-in (Release), installs the LV2 and VST3 bundles for the current user and
# renders a plucked-string riff through the installed plug-ins into WAV files.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "${BRONDAVELL_JOBS:-$(nproc)}" \
  --target Brondavell_LV2 Brondavell_VST3 Brondavell_Standalone brondavell_render

artefacts=build/Brondavell_artefacts/Release
mkdir -p "$HOME/.lv2" "$HOME/.vst3"
rm -rf "$HOME/.lv2/BrondavellV2.lv2" "$HOME/.vst3/BrondavellV2.vst3"
cp -r "$artefacts/LV2/BrondavellV2.lv2" "$HOME/.lv2/"
cp -r "$artefacts/VST3/BrondavellV2.vst3" "$HOME/.vst3/"
echo "Installed $HOME/.lv2/BrondavellV2.lv2 and $HOME/.vst3/BrondavellV2.vst3"
echo "Standalone application: $artefacts/Standalone/BrondavellV2"

echo
echo "Clean channel with reverb, through the installed VST3:"
build/tools/brondavell_render --format vst3 --out out/brondavell-clean.wav --set reverb=0.3
echo
echo "Drive channel, through the installed LV2:"
build/tools/brondavell_render --format lv2 --out out/brondavell-drive.wav --set chanelDrive=1
