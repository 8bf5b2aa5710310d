#pragma once

#include "objects/Component.h"

// Hands every engine message to a script function of its object.
class MessageDistributorComponent : public Component {};
