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

using S = script::ScriptClass<GraphicsSystem>;
const S
    graphicsSystemClass("GraphicsSystem",
                        {
                            S::Property<&GraphicsSystem::drawTweakBar>("drawTweakBar"),
                            S::Property<&GraphicsSystem::drawing>("drawing"),
                            S::Method<&GraphicsSystem::GetModel>("GetModel"),
                            S::Method<&GraphicsSystem::GetTexture>("GetTexture"),
                            S::Method<&GraphicsSystem::GetCameraMatrix>("GetCameraMatrix"),
                            S::Method<&GraphicsSystem::GetProjectionMatrix>("GetProjectionMatrix"),
                            S::Method<&GetMouseClickRay>("GetMouseClickRay"),
                        });

} // namespace
