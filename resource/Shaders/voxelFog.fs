#version 330

// Fog for lit voxels: the visibility litVoxel.vs worked out at the face's corners, blended
// across it (fog.fs works it out for every pixel, for what is drawn in larger pieces).

uniform vec3 fogColor;

in vec4 faceOcclusionFog; // w: the fog's visibility

vec3 ApplyFog(vec3 color)
{
    return mix(fogColor, color, faceOcclusionFog.w);
}
