#include "graphics/TransformComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<TransformComponent>;
const S transformComponentClass("TransformComponent",
                                {
                                    S::Property<&TransformComponent::position>("position"),
                                    S::Property<&TransformComponent::scale>("scale")
                                        .Noted("stored, not drawn: the renderer ignores it; it is "
                                               "kept for scripts and for components that size "
                                               "themselves from it")
                                        .Hinted("not drawn"),
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
