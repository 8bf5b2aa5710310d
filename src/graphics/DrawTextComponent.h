#pragma once

#include "objects/Component.h"

// TrueType text drawn on the window for its object.
class DrawTextComponent : public Component {};
