#pragma once

#include "objects/Component.h"

// Carries nothing; a template for new component types and a cheap tag for scripts.
class ExampleComponent : public Component {};
