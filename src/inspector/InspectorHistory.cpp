#include "inspector/InspectorHistory.h"

#include <typeinfo>
#include <utility>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "inspector/ComponentEditor.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"

namespace {

void SetField(const GameObject& obj, std::size_t typeIndex, const std::string& name,
              const script::FieldValue& value, bool placesBody) {
    VisitComponent(obj, typeIndex, [&](void* component, const std::type_info& type) {
        for (const auto& field : script::EditableFieldsOf(type))
            if (field.name == name && field.access.set != nullptr) {
                field.access.set(component, value);
                break;
            }
    });
    if (placesBody)
        PlaceBodyAtTransform(obj);
}

void Delete(const GameObject& obj) {
    if (ObjectManager* objects = Core::Instance().objectManager)
        objects->DeleteObject(obj);
}

} // namespace

void PlaceBodyAtTransform(const GameObject& obj) {
    if (!ObjectManager::IsValid(obj) || !ObjectManager::HasComponent<BodyComponent>(obj) ||
        !ObjectManager::HasComponent<TransformComponent>(obj))
        return;
    const TransformComponent& transform = *ObjectManager::GetComponent<TransformComponent>(obj);
    ObjectManager::GetComponent<BodyComponent>(obj)->SetPose(transform.position,
                                                             transform.orientation);
}

void InspectorHistory::ForgetIfCleared() {
    if (clears != ObjectManager::ClearCount()) {
        Clear();
        clears = ObjectManager::ClearCount();
    }
}

void InspectorHistory::Clear() {
    steps.clear();
    done = 0;
    objects.clear();
}

std::size_t InspectorHistory::RefOf(const GameObject& obj) {
    for (std::size_t i = 0; i < objects.size(); ++i)
        if (objects[i].id == obj.id && objects[i].generation == obj.generation)
            return i;
    objects.push_back(obj);
    return objects.size() - 1;
}

GameObject InspectorHistory::Handle(std::size_t ref) const {
    return ref < objects.size() && ObjectManager::IsValid(objects[ref]) ? objects[ref]
                                                                        : GameObject();
}

void InspectorHistory::Push(InspectorStep step) {
    steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(done), steps.end());
    steps.push_back(std::move(step));
    done = steps.size();
}

void InspectorHistory::RecordFieldEdit(const GameObject& obj, std::size_t typeIndex,
                                       const std::string& field, const script::FieldValue& before,
                                       const script::FieldValue& after, bool ongoing) {
    InspectorEdit edit;
    edit.kind = InspectorEdit::kSetField;
    edit.typeIndex = typeIndex;
    edit.field = field;
    edit.before = before;
    edit.after = after;
    RecordValueEdit(obj, std::move(edit), ongoing);
}

void InspectorHistory::RecordDataEdit(const GameObject& obj, std::size_t typeIndex,
                                      const ScriptData& data, const std::string& key,
                                      const script::FieldValue& before,
                                      const script::FieldValue& after, bool ongoing) {
    InspectorEdit edit;
    edit.kind = InspectorEdit::kSetData;
    edit.typeIndex = typeIndex;
    edit.field = key;
    edit.before = before;
    edit.after = after;
    edit.data = std::make_shared<ScriptData>(data);
    RecordValueEdit(obj, std::move(edit), ongoing);
}

void InspectorHistory::RecordValueEdit(const GameObject& obj, InspectorEdit edit, bool ongoing) {
    ForgetIfCleared();
    if (!ObjectManager::IsValid(obj) || edit.typeIndex >= kComponentTypeCount)
        return;
    edit.object = RefOf(obj);
    if (done > 0 && done == steps.size() && steps[done - 1].ongoing) {
        InspectorStep& last = steps[done - 1];
        InspectorEdit& growing = last.edits.front();
        if (growing.kind == edit.kind && growing.object == edit.object &&
            growing.typeIndex == edit.typeIndex && growing.field == edit.field) {
            growing.after = edit.after;
            last.ongoing = ongoing;
            return;
        }
        last.ongoing = false;
    }
    InspectorStep step;
    step.name = "Edit " + std::string(kComponentTypeNames[edit.typeIndex]) + "." +
                (edit.kind == InspectorEdit::kSetData ? "data." : "") + edit.field;
    step.edits.push_back(std::move(edit));
    step.ongoing = ongoing;
    Push(std::move(step));
}

void InspectorHistory::RecordMove(const GameObject& obj, const glm::vec3& from) {
    CloseOngoing();
    const auto* transform = ObjectManager::GetComponent<TransformComponent>(obj);
    if (!ObjectManager::IsValid(obj) || !ObjectManager::HasComponent<TransformComponent>(obj) ||
        transform->position == from)
        return;
    RecordFieldEdit(obj, kComponentIndex<TransformComponent>, "position", from, transform->position,
                    false);
    InspectorStep& step = steps[done - 1];
    step.name = "Move object";
    step.edits.front().placesBody = true;
}

void InspectorHistory::CloseOngoing() {
    if (done > 0)
        steps[done - 1].ongoing = false;
}

void InspectorHistory::RecordCreated(const GameObject& obj, const std::string& name) {
    ForgetIfCleared();
    CloseOngoing();
    if (!ObjectManager::IsValid(obj))
        return;
    InspectorEdit edit;
    edit.kind = InspectorEdit::kCreateObject;
    edit.object = RefOf(obj);
    Push({name, {std::move(edit)}, false});
}

bool InspectorHistory::AddComponent(const GameObject& obj, std::size_t typeIndex) {
    ForgetIfCleared();
    CloseOngoing();
    if (typeIndex >= kComponentTypeCount)
        return false;
    InspectorEdit edit;
    edit.kind = InspectorEdit::kAddComponent;
    edit.object = RefOf(obj);
    edit.typeIndex = typeIndex;
    if (!ObjectManager::IsValid(Apply(edit, true)))
        return false;
    Push({"Add " + std::string(kComponentTypeNames[typeIndex]), {std::move(edit)}, false});
    return true;
}

bool InspectorHistory::RemoveComponent(const GameObject& obj, std::size_t typeIndex) {
    ForgetIfCleared();
    CloseOngoing();
    bool attached = false;
    VisitComponent(obj, typeIndex, [&](void*, const std::type_info&) { attached = true; });
    if (!attached)
        return false;
    InspectorEdit edit;
    edit.kind = InspectorEdit::kRemoveComponent;
    edit.object = RefOf(obj);
    edit.typeIndex = typeIndex;
    Apply(edit, true);
    Push({"Remove " + std::string(kComponentTypeNames[typeIndex]), {std::move(edit)}, false});
    return true;
}

bool InspectorHistory::DeleteObject(const GameObject& obj) {
    ForgetIfCleared();
    CloseOngoing();
    if (!ObjectManager::IsValid(obj))
        return false;
    InspectorEdit edit;
    edit.kind = InspectorEdit::kDeleteObject;
    edit.object = RefOf(obj);
    Apply(edit, true);
    Push({"Delete object", {std::move(edit)}, false});
    return true;
}

GameObject InspectorHistory::Apply(InspectorEdit& edit, bool forwards) {
    const GameObject obj = Handle(edit.object);
    const bool makes = (edit.kind == InspectorEdit::kCreateObject) == forwards;
    switch (edit.kind) {
    case InspectorEdit::kSetField:
        SetField(obj, edit.typeIndex, edit.field, forwards ? edit.after : edit.before,
                 edit.placesBody);
        return Handle(edit.object);
    case InspectorEdit::kSetData:
        edit.data->WritePlainValue(edit.field, forwards ? edit.after : edit.before);
        return Handle(edit.object);
    case InspectorEdit::kAddComponent:
    case InspectorEdit::kRemoveComponent: {
        const bool adds = (edit.kind == InspectorEdit::kAddComponent) == forwards;
        if (!adds) {
            edit.component =
                std::make_shared<ComponentSnapshot>(ComponentSnapshot::Of(obj, edit.typeIndex));
            RemoveComponentNamed(obj, kComponentTypeNames[edit.typeIndex]);
        } else if (edit.component) {
            edit.component->Restore(obj);
        } else if (!AddComponentNamed(obj, kComponentTypeNames[edit.typeIndex])) {
            return GameObject();
        }
        return Handle(edit.object);
    }
    case InspectorEdit::kCreateObject:
    case InspectorEdit::kDeleteObject:
        if (makes) {
            if (edit.whole && !ObjectManager::IsValid(obj))
                objects[edit.object] = edit.whole->Restore();
            return Handle(edit.object);
        }
        if (ObjectManager::IsValid(obj)) {
            edit.whole = std::make_shared<ObjectSnapshot>(ObjectSnapshot::Of(obj));
            Delete(obj);
        }
        // Gone at the end of the frame, but no longer the history's.
        objects[edit.object] = GameObject();
        return GameObject();
    }
    return GameObject();
}

bool InspectorHistory::CanUndo() {
    ForgetIfCleared();
    return done > 0;
}

bool InspectorHistory::CanRedo() {
    ForgetIfCleared();
    return done < steps.size();
}

std::optional<GameObject> InspectorHistory::Undo() {
    if (!CanUndo())
        return std::nullopt;
    InspectorStep& step = steps[--done];
    step.ongoing = false;
    GameObject touched;
    for (auto it = step.edits.rbegin(); it != step.edits.rend(); ++it)
        touched = Apply(*it, false);
    return touched;
}

std::optional<GameObject> InspectorHistory::Redo() {
    if (!CanRedo())
        return std::nullopt;
    InspectorStep& step = steps[done++];
    GameObject touched;
    for (InspectorEdit& edit : step.edits)
        touched = Apply(edit, true);
    return touched;
}

const InspectorStep* InspectorHistory::NextUndo() {
    return CanUndo() ? &steps[done - 1] : nullptr;
}

const InspectorStep* InspectorHistory::NextRedo() {
    return CanRedo() ? &steps[done] : nullptr;
}

std::size_t InspectorHistory::GetUndoCount() {
    ForgetIfCleared();
    return done;
}

std::size_t InspectorHistory::GetRedoCount() {
    ForgetIfCleared();
    return steps.size() - done;
}
