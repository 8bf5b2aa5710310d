#version 330

// Linked into the lit voxel programs in place of shadow.fs while shadows are off: the sun
// reaches everything.

float SunVisibility()
{
    return 1.0;
}
