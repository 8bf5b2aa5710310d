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

using S = script::ScriptClass<GraphicsSystem>;
const S
    graphicsSystemClass("GraphicsSystem",
                        {
                            S::Property<&GraphicsSystem::drawTweakBar>("drawTweakBar"),
                            S::Property<&GraphicsSystem::drawing>("drawing"),
                            S::Property<&GraphicsSystem::clearColor>("clearColor")
                                .Noted("the background, [r, g, b, a] in 0..1; black by default"),
                            S::Method<&GetModel>("GetModel").Args("file"),
                            S::Method<&GetTexture>("GetTexture").Args("file"),
                            S::Method<&GraphicsSystem::GetCameraMatrix>("GetCameraMatrix"),
                            S::Method<&GraphicsSystem::GetProjectionMatrix>("GetProjectionMatrix"),
                            S::Method<&GetMouseClickRay>("GetMouseClickRay").Args("pixel"),
                        });

} // namespace
