#include "logic/GeneralDataComponent.h"

#include <utility>

#include "objects/ComponentScript.h"

namespace {
ScriptData& GetData(GeneralDataComponent& component) {
    component.data.Ensure();
    return component.data;
}
void SetData(GeneralDataComponent& component, ScriptData data) {
    component.data = std::move(data);
}

using S = script::ScriptClass<GeneralDataComponent>;
using G = GeneralDataComponent;
const S generalDataComponentClass(
    "GeneralDataComponent",
    {
        S::Property<&G::tooltipIsShowing>("tooltipIsShowing"),
        S::Property<&G::warningLocationX>("warningLocationX"),
        S::Property<&G::leftSprite>("leftSprite"),
        S::Property<&G::rightSprite>("rightSprite"),
        S::Property<&G::owningStoreIndex>("owningStoreIndex"),
        S::Property<&G::accTime>("accTime"),
        S::Property<&G::spriteToggle>("spriteToggle"),
        S::Property<&G::exclaimSprite>("exclaimSprite"),
        S::Property<&G::rubbishTutSprite>("rubbishTutSprite"),
        S::Property<&G::exclaimSpriteScale>("exclaimSpriteScale"),
        S::Property<&G::rubbishTutScale>("rubbishTutScale"),
        S::Property<&G::rubbishTutBillboardY>("rubbishTutBillboardY"),
        S::Property<&G::rubbishExclaimY>("rubbishExclaimY"),
        S::Property<&G::interruptAI>("interruptAI"),
        S::Property<&GetData, &SetData>("data").Noted(
            "the script's own state for this object: an empty object made on first read, "
            "or any object set; null lets it go. A new one with every add. The inspector "
            "shows and edits its numbers, booleans, strings and 3-number arrays"),
    },
    ComponentScriptOptions<GeneralDataComponent>());
} // namespace
