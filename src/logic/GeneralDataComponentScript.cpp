#include "logic/GeneralDataComponent.h"

#include "objects/ComponentScript.h"

namespace {
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
        S::Property<&GetScriptData<G>, &SetScriptData<G>>("data").Noted(kScriptDataNote),
    },
    ComponentScriptOptions<GeneralDataComponent>());
} // namespace
