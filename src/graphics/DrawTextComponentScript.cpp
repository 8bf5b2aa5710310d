#include "graphics/DrawTextComponent.h"

#include "objects/ComponentScript.h"

namespace {

// Checked as a path: a NUL or a character above 255 would name another file.
void SetNewFont(DrawTextComponent& component, const script::FilePath& file) {
    component.SetNewFont(file.path);
}

using S = script::ScriptClass<DrawTextComponent>;
const S
    drawTextComponentClass("DrawTextComponent",
                           {
                               S::Property<&DrawTextComponent::text>("text"),
                               S::Property<&DrawTextComponent::fontFile>("fontFile"),
                               S::Property<&DrawTextComponent::fontSize>("fontSize"),
                               S::Property<&DrawTextComponent::fontDetail>("fontDetail"),
                               S::Property<&DrawTextComponent::color>("color"),
                               S::Property<&DrawTextComponent::visible>("visible"),
                               S::Method<&DrawTextComponent::GetHalfExtents>("GetHalfExtents"),
                               S::Method<&SetNewFont>("SetNewFont").Args("file"),
                               S::Method<&DrawTextComponent::CharPosAt>("CharPosAt").Args("index"),
                           },
                           ComponentScriptOptions<DrawTextComponent>());

} // namespace
