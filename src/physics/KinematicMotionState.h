#pragma once

#include <LinearMath/btMotionState.h>

#include "objects/GameObject.h"

// Motion state of a kinematic body: the body goes wherever the owner's
// transform is (position and orientation, never the origin offset), and the
// simulation never writes a pose back.
class KinematicMotionState : public btMotionState {
  public:
    explicit KinematicMotionState(const GameObject& owner) : owner(owner) {}

    // An owner without a transform (removed after initialization) keeps the
    // body where it was last seen.
    void getWorldTransform(btTransform& worldTrans) const override;
    void setWorldTransform(const btTransform&) override {}

  private:
    GameObject owner;
    mutable btTransform lastSeen = btTransform::getIdentity();
};
