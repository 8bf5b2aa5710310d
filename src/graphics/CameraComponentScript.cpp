#include "graphics/CameraComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<CameraComponent>;
const S cameraComponentClass("CameraComponent",
                             {
                                 S::Property<&CameraComponent::active>("active"),
                                 S::Method<&CameraComponent::GetMatrix>("GetMatrix"),
                                 S::Method<&CameraComponent::GetMatrixInverse>("GetMatrixInverse"),
                                 S::Method<&CameraComponent::SetActive>("SetActive").Args("value"),
                                 S::Method<&CameraComponent::IsActive>("IsActive"),
                             },
                             ComponentScriptOptions<CameraComponent>());
} // namespace
