#pragma once

#include "objects/Component.h"

// Where an object is, how it is turned and how large it is; most other components read it.
class TransformComponent : public Component {};
