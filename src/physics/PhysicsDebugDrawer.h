#pragma once

#include <LinearMath/btIDebugDraw.h>

// The line drawer of physics, the model editor and the path grids. Lines go to
// the graphics system's debug-line batch, which draws all lines of one
// debug-draw message at once with that frame's view and projection. Shapes,
// boxes and arcs are the library's defaults, which come here as lines.
class PhysicsDebugDrawer : public btIDebugDraw {
  public:
    void drawLine(const btVector3& from, const btVector3& to, const btVector3& color) override;
    void drawContactPoint(const btVector3&, const btVector3&, btScalar, int,
                          const btVector3&) override {}
    void reportErrorWarning(const char*) override {}
    void draw3dText(const btVector3&, const char*) override {}
    // The mode stays wireframe whatever is asked.
    void setDebugMode(int) override {}
    int getDebugMode() const override { return debugMode; }

    float lineWidth = 1.0f;
    int debugMode = DBG_DrawWireframe;
};
