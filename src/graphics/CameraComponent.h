#pragma once

#include "objects/Component.h"

// A viewpoint; the active one supplies the frame's view and projection.
class CameraComponent : public Component {};
