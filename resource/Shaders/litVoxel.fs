#version 330

// Voxels under the sun: the face's ambient light (litVoxel.vs), darkened in crowded
// corners, plus the sun's diffuse light where the sun reaches, then fog.

in vec4 voxelColor;
in vec3 worldNormal;
flat in vec3 ambientLight;
flat in vec3 sunLight;

out vec4 fragColor;

vec3 ApplyFog(vec3 color);
float AmbientOcclusion();
float SunVisibility();

void main()
{
    vec3 ambient = ambientLight * AmbientOcclusion();
    vec3 sun = sunLight;
    // Faces turned away from the sun have nothing to lose to a shadow.
    if (dot(sun, sun) > 0.0)
        sun *= SunVisibility();
    fragColor = vec4(ApplyFog(voxelColor.rgb * (ambient + sun)), voxelColor.a);
}
