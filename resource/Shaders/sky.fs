#version 330

// The background: each pixel's view direction in the world picks its colour by how far it
// looks up, so the horizon stays where it is whichever way the camera turns.

in vec4 far;

uniform vec3 skyTopColor;
uniform vec3 skyHorizonColor;

out vec4 fragColor;

void main()
{
    vec3 direction = far.xyz / far.w;
    float up = clamp(direction.y * inversesqrt(dot(direction, direction)), 0.0, 1.0);
    fragColor = vec4(mix(skyHorizonColor, skyTopColor, up), 1.0);
}
