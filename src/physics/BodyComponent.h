#pragma once

#include "objects/Component.h"

// The object's rigid body in the physics world; moves the object's transform.
class BodyComponent : public Component {};
