#include "inspector/Inspector.h"

#include <optional>

#include "objects/ObjectManager.h"
#include "script/ScriptClass.h"

namespace {

// Before the panels exist (a script run without the engine's systems) the
// functions do nothing rather than fail: the inspector is a tool, not game
// logic a script depends on.
void Show() {
    if (Inspector* inspector = Inspector::Current())
        inspector->Show();
}
void Hide() {
    if (Inspector* inspector = Inspector::Current())
        inspector->Hide();
}
void Toggle() {
    if (Inspector* inspector = Inspector::Current())
        inspector->Toggle();
}
bool IsShown() {
    const Inspector* inspector = Inspector::Current();
    return inspector != nullptr && inspector->IsShown();
}
void Select(GameObject obj) {
    if (Inspector* inspector = Inspector::Current())
        inspector->Select(obj);
}
std::optional<GameObject> GetSelected() {
    const Inspector* inspector = Inspector::Current();
    if (inspector == nullptr || !ObjectManager::IsValid(inspector->GetSelected()))
        return std::nullopt;
    return inspector->GetSelected();
}

using S = script::ScriptClass<Inspector>;
const S inspectorClass(
    "Inspector",
    {
        S::Function<&Show>("Show").Noted(
            "(): opens the live inspector (as F2 does): the live objects, and the selected "
            "one's components to edit"),
        S::Function<&Hide>("Hide"),
        S::Function<&Toggle>("Toggle"),
        S::Function<&IsShown>("IsShown"),
        S::Function<&Select>("Select").Args("object").Noted(
            "(object): selects a live object; any other handle clears the selection"),
        S::Function<&GetSelected>("GetSelected")
            .Noted("(): the selected object while it lives, otherwise null"),
    });

} // namespace
