#pragma once

#include "objects/Component.h"

// A textured quad placed in the world that always faces the camera.
class BillboardComponent : public Component {};
