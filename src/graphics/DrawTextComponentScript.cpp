#include "graphics/DrawTextComponent.h"

#include "objects/ComponentScript.h"

namespace {

// Checked as a path: a NUL or a character above 255 would name another file.
void SetNewFont(DrawTextComponent& component, const script::FilePath& file) {
    component.SetNewFont(file.path);
}

std::string GetAlign(const DrawTextComponent& text) {
    return NameOf(text.align);
}
void SetAlign(DrawTextComponent& text, const std::string& name) {
    text.align = TextAlignNamed(name);
}

using S = script::ScriptClass<DrawTextComponent>;
const S drawTextComponentClass(
    "DrawTextComponent",
    {
        S::Property<&DrawTextComponent::text>("text"),
        S::Property<&DrawTextComponent::fontFile>("fontFile"),
        S::Property<&DrawTextComponent::fontSize>("fontSize"),
        S::Property<&DrawTextComponent::fontDetail>("fontDetail"),
        S::Property<&DrawTextComponent::color>("color"),
        S::Property<&DrawTextComponent::visible>("visible"),
        S::Property<&GetAnchorName<DrawTextComponent>, &SetAnchorName<DrawTextComponent>>("anchor")
            .Noted(kScreenAnchorNote),
        S::Property<&GetAlign, &SetAlign>("align").Noted(kTextAlignNote),
        S::Method<&DrawTextComponent::GetHalfExtents>("GetHalfExtents"),
        S::Method<&SetNewFont>("SetNewFont").Args("file"),
        S::Method<&DrawTextComponent::CharPosAt>("CharPosAt").Args("index"),
    },
    ComponentScriptOptions<DrawTextComponent>());

} // namespace
