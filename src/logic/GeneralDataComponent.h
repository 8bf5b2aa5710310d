#pragma once

#include <cstdint>
#include <string>

#include <glm/vec2.hpp>

#include "objects/Component.h"
#include "script/ScriptData.h"

// Plain game data kept for scripts; the engine never reads it. A slot keeps
// these fields across removal, re-adding and the reuse of its id by a new
// object: only a new slot starts from these defaults.
class GeneralDataComponent : public Component {
  public:
    // The script's own object is another matter: a script object left to the
    // next owner of the id would hand one object's state to another.
    void OnAdd() override { data.Reset(); }

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
    ScriptData data;
};
