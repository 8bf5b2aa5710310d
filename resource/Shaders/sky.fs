#version 330

// The background: each pixel's view direction in the world picks its colour by how far it
// looks up, so the horizon stays where it is whichever way the camera turns.

in vec2 ndc;

uniform mat4 inverseViewRotationProjection; // clip space to world directions
uniform vec3 skyTopColor;
uniform vec3 skyHorizonColor;

out vec4 fragColor;

void main()
{
    vec4 far = inverseViewRotationProjection * vec4(ndc, 1.0, 1.0);
    vec3 direction = normalize(far.xyz / far.w);
    float up = clamp(direction.y, 0.0, 1.0);
    fragColor = vec4(mix(skyHorizonColor, skyTopColor, up), 1.0);
}
