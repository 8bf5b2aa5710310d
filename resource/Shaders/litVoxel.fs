#version 330

// Voxels under the sun: the voxel's colour in the face's ambient light (litVoxel.vs),
// darkened in crowded corners, plus its colour in the sun's light where the sun reaches,
// then fog.

flat in vec4 ambientColor;
flat in vec4 sunColorAndBend;

out vec4 fragColor;

vec3 ApplyFog(vec3 color);
float AmbientOcclusion();
float SunVisibility();

void main()
{
    // Both terms are worked out for every pixel: a software rasteriser runs a branch's
    // instructions for all the pixels it shades at once whichever way they go.
    vec3 color = ambientColor.rgb * AmbientOcclusion() + sunColorAndBend.rgb * SunVisibility();
    fragColor = vec4(ApplyFog(color), ambientColor.a);
}
