#include "tools/ModelEditor.h"

#include "logic/GameStateScript.h"

namespace {
using S = script::ScriptClass<ModelEditor>;
const S
    modelEditorClass("ModelEditor",
                     GameStateMembers<ModelEditor>({
                         S::Property<&ModelEditor::GetLastSavedModel, nullptr>("lastSavedModel"),
                     }),
                     GameStateOptions<ModelEditor>());
} // namespace
