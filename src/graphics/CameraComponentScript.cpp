#include "graphics/CameraComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<CameraComponent>;
const S cameraComponentClass("CameraComponent", {}, ComponentScriptOptions<CameraComponent>());
} // namespace
