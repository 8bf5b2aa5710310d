#version 330

// Exponential-squared fog, linked into every program that draws into the world. The
// distance to the eye is recovered from the fragment's window position and its clip w (the
// depth in front of the eye), so the vertex shaders stay the ones the unlit frame uses.

uniform vec2 viewportSize;
// 1 / projection[0][0], 1 / projection[1][1]: window position to view direction of a
// symmetric perspective.
uniform vec2 viewScale;
uniform vec3 fogColor;
uniform float fogDensity;

float EyeDistance()
{
    vec2 ndc = gl_FragCoord.xy / viewportSize * 2.0 - 1.0;
    return length(vec3(ndc * viewScale, 1.0)) / gl_FragCoord.w;
}

vec3 ApplyFog(vec3 color)
{
    float thickness = fogDensity * EyeDistance();
    float visibility = exp(-thickness * thickness);
    return mix(fogColor, color, visibility);
}
