#version 330

// Ambient light plus a fixed sun and a weak fill light from the opposite side, all in
// world space, so the three visible faces of a cube always differ in brightness and faces
// turned away from the sun still show their colour.

in vec4 voxelColor;
in vec3 worldNormal;

out vec4 fragColor;

const vec3 sunDirection = vec3(0.3, 0.8, 0.5); // towards the sun
const vec3 fillDirection = vec3(-0.6, -0.3, -0.75);
const float ambient = 0.35;
const float sunStrength = 0.6;
const float fillStrength = 0.15;

void main()
{
    vec3 n = normalize(worldNormal);
    float sun = max(dot(n, normalize(sunDirection)), 0.0);
    float fill = max(dot(n, normalize(fillDirection)), 0.0);
    float light = ambient + sunStrength * sun + fillStrength * fill;
    fragColor = vec4(voxelColor.rgb * light, voxelColor.a);
}
