#version 330

// Ambient occlusion of lit voxels: the light left at the face's four corners, blended
// bilinearly across the face. Blending in both directions at once gives every point of the
// face the same value whichever of the face's two triangles draws it, so no diagonal seam
// shows where the corners differ.

flat in vec4 cornerLight; // corners (0, 0), (1, 0), (0, 1), (1, 1) of faceCoord
in vec2 faceCoord;

float AmbientOcclusion()
{
    // Open faces (and every face with occlusion off) keep the ambient exactly as it is.
    if (cornerLight == vec4(1.0))
        return 1.0;
    vec2 alongFirst = mix(cornerLight.xz, cornerLight.yw, clamp(faceCoord.x, 0.0, 1.0));
    return mix(alongFirst.x, alongFirst.y, clamp(faceCoord.y, 0.0, 1.0));
}
