#pragma once

#include <cstdint>
#include <string>

#include <glm/vec2.hpp>

#include "objects/Component.h"

// Plain game data kept for scripts; the engine never reads it. Without an
// OnAdd, a slot keeps its values across removal, re-adding and the reuse of
// its id by a new object: only a new slot starts from these defaults.
class GeneralDataComponent : public Component {
  public:
    bool tooltipIsShowing = false;
    float warningLocationX = 0.0f;
    std::string leftSprite;
    std::string rightSprite;
    std::uint32_t owningStoreIndex = 0;
    float accTime = 0.0f;
    bool spriteToggle = false;
    std::string exclaimSprite;
    std::string rubbishTutSprite;
    glm::vec2 exclaimSpriteScale{0.0f};
    glm::vec2 rubbishTutScale{0.0f};
    float rubbishTutBillboardY = 0.0f;
    float rubbishExclaimY = 0.0f;
    bool interruptAI = false;
};
