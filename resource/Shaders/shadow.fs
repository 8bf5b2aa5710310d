#version 330

// The sun's shadow, linked into the lit voxel programs while shadows are on. The map holds,
// across the sun's view, the depth of the nearest cube face turned away from the sun; a
// point farther from the sun than that is in shadow. Linear filtering of the compared map
// blends the four nearest texels, which softens the texel steps of a shadow's edge.
//
// The voxel vertex shaders find where the map sees each vertex: the map's coordinates are
// an affine function of the position, so interpolating them is exact, and each pixel only
// looks the map up.

uniform sampler2DShadow sunShadowMap;

// x, y across the map in 0..1, z the depth to compare, w how much the shadows have faded
// out: they fade towards the edge of their reach instead of stopping at a line.
in vec4 sunShadowCoord;

float SunVisibility()
{
    float lit = texture(sunShadowMap, sunShadowCoord.xyz);
    return lit + (1.0 - lit) * sunShadowCoord.w;
}
