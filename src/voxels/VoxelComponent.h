#pragma once

#include "objects/Component.h"

// Shows a single voxel at the object's transform.
class VoxelComponent : public Component {};
