#pragma once

#include <optional>
#include <string_view>

#include <SFML/Graphics/Rect.hpp>

#include "objects/GameObject.h"

class InspectorHistory;

// The inspector's part for one object: a section per attached component with
// its properties (and the script's own `data` where the component has it), a
// remove button each, and the choice of components to add. Needs an ImGui
// frame; changes take effect at once, as a script's would, and each finished
// one is a step of `history`.
void DrawComponentSections(const GameObject& obj, InspectorHistory& history);
void DrawAddComponent(const GameObject& obj, InspectorHistory& history);
// Where a property's field (with its name) was when the sections were last
// drawn, window pixels; empty when it was not among them.
std::optional<sf::FloatRect> GetDrawnFieldRect(std::string_view typeName, std::string_view field);

// What the buttons do, by the type's script name: adding runs the new
// component's second start-up step too, as its siblings already had theirs.
// False for an invalid object, an unknown name, or nothing to do.
bool AddComponentNamed(const GameObject& obj, std::string_view typeName);
bool RemoveComponentNamed(const GameObject& obj, std::string_view typeName);
