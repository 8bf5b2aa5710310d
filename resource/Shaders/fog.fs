#version 330

// Exponential-squared fog, linked into every program that draws into the world. The
// distance to the eye is recovered from the fragment's window position and depth, so the
// vertex shaders stay the ones the unlit frame uses.

uniform mat4 inverseProjection;
uniform vec2 viewportSize;
uniform vec3 fogColor;
uniform float fogDensity;

float EyeDistance()
{
    vec3 ndc = vec3(gl_FragCoord.xy / viewportSize, gl_FragCoord.z) * 2.0 - 1.0;
    vec4 eye = inverseProjection * vec4(ndc, 1.0);
    return length(eye.xyz / eye.w);
}

vec3 ApplyFog(vec3 color)
{
    float thickness = fogDensity * EyeDistance();
    float visibility = exp(-thickness * thickness);
    return mix(fogColor, color, visibility);
}
