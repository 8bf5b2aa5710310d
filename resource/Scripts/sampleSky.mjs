// The village's light: an afternoon sun that throws the houses' and trees'
// shadows across the meadow, darker corners where voxels meet, and a sky the
// far meadow fades into. Everything here is in docs/lighting.md.
import { Core } from "marrowvale";

export function LightVillage() {
    const graphics = Core.Instance().GraphicsSystem_;
    graphics.lighting = true;
    graphics.sunDirection = [0.75, 0.6, 0.25]; // low from the right: long shadows
    graphics.skyHorizonColor = [0.74, 0.83, 0.9];
    graphics.skyTopColor = [0.32, 0.52, 0.84];
    // The horizon's colour, so the land melts into the sky.
    graphics.fogColor = graphics.skyHorizonColor;
    graphics.fogDensity = 0.012;
}
