#version 330

// Ambient occlusion of lit voxels: the light left at the face's four corners, blended
// bilinearly across the face. Blending in both directions at once gives every point of the
// face the same value whichever of the face's two triangles draws it, so no diagonal seam
// shows where the corners differ. litVoxel.vs splits the blend into a plane, interpolated
// across the face, and a bend times the product of the face's coordinates.

flat in vec4 sunColorAndBend;
in vec4 faceOcclusionFog; // x, y: where in the face; z: the plane part of the loss

float AmbientOcclusion()
{
    // An open face (and every face with occlusion off) has a plane and a bend of 0: the
    // ambient stays exactly as it is.
    return 1.0 - (faceOcclusionFog.z +
                  sunColorAndBend.w * faceOcclusionFog.x * faceOcclusionFog.y);
}
