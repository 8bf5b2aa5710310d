#pragma once

#include "objects/Component.h"

// Makes an object's physics body pickable with the mouse, with script callbacks.
class ClickableComponent : public Component {};
