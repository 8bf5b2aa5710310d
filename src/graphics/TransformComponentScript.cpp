#include "graphics/TransformComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<TransformComponent>;
const S transformComponentClass("TransformComponent",
                                {
                                    S::Property<&TransformComponent::position>("position"),
                                    S::Property<&TransformComponent::scale>("scale"),
                                    S::Property<&TransformComponent::orientation>("orientation"),
                                    S::Method<&TransformComponent::LookAt>("LookAt")
                                        .Args("target, up")
                                        .Noted("turns the object so that a camera at its position "
                                               "looks at the target, up pointing up on screen; a "
                                               "target at the position or an up along the line of "
                                               "sight is an error"),
                                },
                                ComponentScriptOptions<TransformComponent>());
} // namespace
