#pragma once

#include "objects/Component.h"

// A textured quad drawn in screen space, layered by depth.
class SpriteComponent : public Component {};
