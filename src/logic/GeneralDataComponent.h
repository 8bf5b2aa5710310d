#pragma once

#include "objects/Component.h"

// Plain game data kept for scripts; the engine never reads it.
class GeneralDataComponent : public Component {};
