#include "physics/PhysicsDebugDrawer.h"

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "physics/BulletConvert.h"

void PhysicsDebugDrawer::drawLine(const btVector3& from, const btVector3& to,
                                  const btVector3& color) {
    if (GraphicsSystem* graphics = Core::Instance().GraphicsSystem_)
        graphics->debugLines.AddLine(FromBullet(from), FromBullet(to), FromBullet(color),
                                     lineWidth);
}
