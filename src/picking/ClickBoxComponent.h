#pragma once

#include "objects/Component.h"

// A screen rectangle that calls script functions on clicks and hovering.
class ClickBoxComponent : public Component {};
