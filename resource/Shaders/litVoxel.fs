#version 330

// Voxels under the sun: a hemisphere ambient (ground light from below, sky light from
// above, blended by how far the face turns up) plus the sun's diffuse light where the sun
// reaches, then fog.

in vec4 voxelColor;
in vec3 worldNormal;

out vec4 fragColor;

uniform vec3 sunDirection; // towards the sun, of unit length
uniform vec3 sunColor;
uniform vec3 skyAmbient;
uniform vec3 groundAmbient;

vec3 ApplyFog(vec3 color);
float SunVisibility();

void main()
{
    vec3 n = normalize(worldNormal);
    vec3 ambient = mix(groundAmbient, skyAmbient, n.y * 0.5 + 0.5);
    float facing = max(dot(n, sunDirection), 0.0);
    // Faces turned away from the sun have nothing to lose to a shadow.
    if (facing > 0.0)
        facing *= SunVisibility();
    vec3 sun = sunColor * facing;
    fragColor = vec4(ApplyFog(voxelColor.rgb * (ambient + sun)), voxelColor.a);
}
