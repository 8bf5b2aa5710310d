#pragma once

#include "objects/Component.h"

// Calls an engine-side function for its object once per frame.
class FrameUpdateComponent : public Component {};
