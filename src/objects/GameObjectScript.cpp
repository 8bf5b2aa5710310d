#include "objects/GameObject.h"

#include "script/ScriptClass.h"

// A value class: the handle's id and generation are copied into reserved
// slots 0 and 1 (script::Convert<GameObject>), so the script object stays
// valid on its own. Scripts compare handles with ObjectManager.CompareObj and
// test them with ObjectManager.IsValid.
namespace {
script::ClassOptions<GameObject> GameObjectOptions() {
    script::ClassOptions<GameObject> options;
    options.reservedSlots = 2;
    return options;
}

using S = script::ScriptClass<GameObject>;
const S gameObjectClass("GameObject", {}, GameObjectOptions());
} // namespace
