#pragma once

#include "objects/Component.h"

// Calls script functions when its object is initialized, every frame and on removal.
class ScriptUpdateComponent : public Component {};
