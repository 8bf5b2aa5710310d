#include "graphics/GraphicsSystem.h"

#include "graphics/MouseClickRayScript.h"
#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's GraphicsSystem_ property asks for a new wrapper on every read.
JSObject* GraphicsSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {

// Scripts pass the window pixel as one [x, y] array; fractions are truncated.
MouseRay GetMouseClickRay(const GraphicsSystem& graphics, glm::ivec2 pixel) {
    return graphics.GetMouseClickRay(pixel.x, pixel.y);
}

// File names are checked as paths: a NUL or a character above 255 is an error, never
// another file.
VoxelModel* GetModel(GraphicsSystem& graphics, const script::FilePath& file) {
    return graphics.GetModel(file.path);
}
Texture* GetTexture(GraphicsSystem& graphics, const script::FilePath& file) {
    return graphics.GetTexture(file.path);
}

std::uint32_t EmitParticles(GraphicsSystem& graphics, const ParticleBurst& burst) {
    return static_cast<std::uint32_t>(graphics.EmitParticles(burst));
}
std::uint32_t GetParticleCount(GraphicsSystem& graphics) {
    return static_cast<std::uint32_t>(graphics.ParticleCount());
}

} // namespace

template <> struct script::OptionsOf<ParticleBurst> {
    static constexpr const char* kName = "particle options";
    static auto Fields() {
        using B = ParticleBurst;
        return std::make_tuple(
            Option("position", &B::position, &B::CheckPosition),
            Option("count", &B::count, &B::CheckCount), Option("color", &B::color, &B::CheckColor),
            Option("colors", &B::colors, &B::CheckColors),
            Option("speed", &B::speed, &B::CheckNonNegative),
            Option("spread", &B::spread, &B::CheckSpread),
            Option("direction", &B::direction, &B::CheckDirection),
            Option("lifetime", &B::lifetime, &B::CheckNonNegative),
            Option("gravity", &B::gravity, &B::CheckGravity),
            Option("size", &B::size, &B::CheckNonNegative), Option("fade", &B::fade),
            Option("bounce", &B::bounce, &B::CheckBounce));
    }
};

namespace {

using S = script::ScriptClass<GraphicsSystem>;
using L = LightingSettings;
const S graphicsSystemClass(
    "GraphicsSystem",
    {
        S::Property<&GraphicsSystem::drawTweakBar>("drawTweakBar"),
        S::Property<&GraphicsSystem::drawing>("drawing"),
        S::Property<&GraphicsSystem::clearColor>("clearColor")
            .Noted("the background, [r, g, b, a] in 0..1; black by default"),
        S::Property<&GraphicsSystem::lighting>("lighting")
            .Noted("sun, ambient, fog and sky; off by default, which draws "
                   "as before"),
        S::CheckedProperty<&GraphicsSystem::sunDirection, &L::CheckDirection>("sunDirection")
            .Noted("towards the sun, [x, y, z] of any length but 0"),
        S::CheckedProperty<&GraphicsSystem::sunColor, &L::CheckColor>("sunColor")
            .Noted("the sun's light, [r, g, b]"),
        S::CheckedProperty<&GraphicsSystem::skyAmbient, &L::CheckColor>("skyAmbient")
            .Noted("light from above on faces turned up, [r, g, b]"),
        S::CheckedProperty<&GraphicsSystem::groundAmbient, &L::CheckColor>("groundAmbient")
            .Noted("light from below on faces turned down, [r, g, b]"),
        S::Property<&GraphicsSystem::ambientOcclusion>("ambientOcclusion")
            .Noted("darker corners where voxels meet while lighting is on; on by default"),
        S::Property<&GraphicsSystem::shadows>("shadows").Noted(
            "opaque voxels cast the sun's shadows while lighting is on; on by default"),
        S::CheckedProperty<&GraphicsSystem::shadowDistance, &L::CheckNonNegative>("shadowDistance")
            .Noted("how far from the camera the sun's shadows reach; 0 is none"),
        S::CheckedProperty<&GraphicsSystem::fogColor, &L::CheckColor>("fogColor")
            .Noted("what distant things fade to, [r, g, b]"),
        S::CheckedProperty<&GraphicsSystem::fogDensity, &L::CheckNonNegative>("fogDensity")
            .Noted("visibility is exp(-(density * distance)^2); 0 is no fog"),
        S::CheckedProperty<&GraphicsSystem::skyTopColor, &L::CheckColor>("skyTopColor")
            .Noted("the background straight up, with lighting on, [r, g, b]"),
        S::CheckedProperty<&GraphicsSystem::skyHorizonColor, &L::CheckColor>("skyHorizonColor")
            .Noted("the background at and below the horizon, [r, g, b]"),
        S::Method<&GetModel>("GetModel").Args("file"),
        S::Method<&GetTexture>("GetTexture").Args("file"),
        S::Method<&GraphicsSystem::GetCameraMatrix>("GetCameraMatrix"),
        S::Method<&GraphicsSystem::GetProjectionMatrix>("GetProjectionMatrix"),
        S::Method<&GetMouseClickRay>("GetMouseClickRay").Args("pixel"),
        S::Method<&EmitParticles>("EmitParticles")
            .Args("options")
            .Noted("a burst of small cubes the engine moves itself; returns how many were "
                   "emitted (docs/particles.md)"),
        S::Property<&GetParticleCount, nullptr>("particleCount").Noted("live particles; read-only"),
    });

} // namespace
