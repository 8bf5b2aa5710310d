#pragma once

#include "objects/Component.h"

// Shows a cached voxel model at the object's transform.
class VoxelModelComponent : public Component {};
