#version 330

// Fog for lit voxels: the visibility litVoxel.vs worked out at the face's corners, blended
// across it (fog.fs works it out for every pixel, for what is drawn in larger pieces).

uniform vec3 fogColor;

in float fogVisibility;

vec3 ApplyFog(vec3 color)
{
    return mix(fogColor, color, fogVisibility);
}
