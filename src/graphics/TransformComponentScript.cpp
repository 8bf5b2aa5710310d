#include "graphics/TransformComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<TransformComponent>;
const S transformComponentClass("TransformComponent",
                                {
                                    S::Property<&TransformComponent::position>("position"),
                                    S::Property<&TransformComponent::scale>("scale"),
                                    S::Property<&TransformComponent::orientation>("orientation"),
                                },
                                ComponentScriptOptions<TransformComponent>());
} // namespace
