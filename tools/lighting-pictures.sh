#!/bin/bash
# Renders the pictures of docs/lighting.md and the README's screenshot from the
# sample village, one engine run per picture, each with one setting changed.
# Usage: tools/lighting-pictures.sh BUILD_DIR (from the repository root).
set -euo pipefail
engine=$(realpath "$1/marrowvale")
run=$(realpath "$(dirname "${BASH_SOURCE[0]}")/run.sh")
images=$(realpath docs/images)
game=$(mktemp -d)
trap 'rm -rf "$game"' EXIT
cp -r resource/Scripts resource/Models resource/Sounds resource/Textures resource/Fonts "$game"
mv "$game/Scripts/main.mjs" "$game/Scripts/village.mjs"

# picture NAME SIZE SETTINGS: the village after SETTINGS (script lines acting on
# `graphics`), panels hidden, saved as NAME at SIZE.
picture() {
    cat > "$game/Scripts/main.mjs" <<SCRIPT
import "./village.mjs";
import { Core } from "marrowvale";
const graphics = Core.Instance().GraphicsSystem_;
graphics.drawTweakBar = false;
$3
SCRIPT
    (cd "$game" && "$run" "$engine" --game . --frames 3 --screenshot --quiet > /dev/null 2>&1)
    convert "$game/screenshot.jpg" -resize "$2" -quality 85 "$1"
    echo "$1"
}

picture docs/screenshot.jpg 1280x800 ""
picture "$images/lighting-off.jpg" 640x400 "graphics.lighting = false;"
picture "$images/lighting-on.jpg" 640x400 ""
picture "$images/lighting-no-occlusion.jpg" 640x400 "graphics.ambientOcclusion = false;"
picture "$images/lighting-no-shadows.jpg" 640x400 "graphics.shadows = false;"
picture "$images/lighting-fog.jpg" 640x400 "graphics.fogDensity = 0.04;"
picture "$images/lighting-evening.jpg" 640x400 "graphics.sunDirection = [-0.8, 0.25, 0.2];
graphics.sunColor = [0.9, 0.55, 0.3];
graphics.skyTopColor = [0.2, 0.25, 0.5];
graphics.skyHorizonColor = [0.85, 0.55, 0.4];
graphics.fogColor = graphics.skyHorizonColor;"
