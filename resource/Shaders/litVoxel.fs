#version 330

// Voxels under the sun: the face's ambient light (litVoxel.vs), darkened in crowded
// corners, plus the sun's diffuse light, then fog.

in vec4 voxelColor;
in vec3 worldNormal;
flat in vec3 ambientLight;
flat in vec3 sunLight;

out vec4 fragColor;

vec3 ApplyFog(vec3 color);
float AmbientOcclusion();

void main()
{
    vec3 ambient = ambientLight * AmbientOcclusion();
    vec3 sun = sunLight;
    fragColor = vec4(ApplyFog(voxelColor.rgb * (ambient + sun)), voxelColor.a);
}
