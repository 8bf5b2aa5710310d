#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include "inspector/ObjectSnapshot.h"
#include "objects/GameObject.h"
#include "script/FieldAccess.h"
#include "script/ScriptData.h"

// One change the inspector made to the live objects, with what it takes to
// make it again or take it back. Objects are named by their place in the
// history's object table, not by handle: an object deleted and brought back
// has a new id, and every edit of it, before and after, follows it there.
struct InspectorEdit {
    enum Kind : std::uint8_t {
        kSetField,
        kSetData,
        kAddComponent,
        kRemoveComponent,
        kCreateObject,
        kDeleteObject
    };

    Kind kind = kSetField;
    std::size_t object = 0;
    std::size_t typeIndex = 0; // the component type's, for all but the object kinds
    std::string field;         // the property's name, or the key in the script's data
    script::FieldValue before;
    script::FieldValue after;
    // What a removed component or object was; taken each time it is removed.
    std::shared_ptr<ComponentSnapshot> component;
    std::shared_ptr<ObjectSnapshot> whole;
    // kSetData: the script's data object edited, the same one wherever its
    // component goes.
    std::shared_ptr<ScriptData> data;
    // A transform moved by hand: the body, if any, goes with it both ways.
    bool placesBody = false;
};

// Everything one user action did: one finished property edit, an add or a
// removal, a placed model, a drag.
struct InspectorStep {
    std::string name;
    std::vector<InspectorEdit> edits;
    // A property still being dragged: its further changes join this step.
    bool ongoing = false;
};

// The inspector's undo history, shaped like the model editor's: a log of
// steps and a cursor between those done and those undone; a new step drops
// what could be redone. Objects deleted by a script meanwhile are passed
// over. Clearing the world empties it, as its handles would name other
// objects.
class InspectorHistory {
  public:
    // A property edit already made. An ongoing one (a value being dragged)
    // grows the latest step while it is the same property's; CloseOngoing
    // ends it.
    void RecordFieldEdit(const GameObject& obj, std::size_t typeIndex, const std::string& field,
                         const script::FieldValue& before, const script::FieldValue& after,
                         bool ongoing);
    // A value of a script's data object already edited; ongoing as above.
    void RecordDataEdit(const GameObject& obj, std::size_t typeIndex, const ScriptData& data,
                        const std::string& key, const script::FieldValue& before,
                        const script::FieldValue& after, bool ongoing);
    // An object already dragged from `from` to where it is now.
    void RecordMove(const GameObject& obj, const glm::vec3& from);
    // An object already made and initialized (a placed model, a copy): undo
    // deletes it, redo makes it again with the components and values it had.
    void RecordCreated(const GameObject& obj, const std::string& name);
    // These make the change and record it; false, recording nothing, when
    // there was nothing to do.
    bool AddComponent(const GameObject& obj, std::size_t typeIndex);
    bool RemoveComponent(const GameObject& obj, std::size_t typeIndex);
    bool DeleteObject(const GameObject& obj);
    void CloseOngoing();

    bool CanUndo();
    bool CanRedo();
    // Take back or make again one step. The object it acted on, when it is
    // live afterwards (for the selection); otherwise the invalid handle.
    std::optional<GameObject> Undo();
    std::optional<GameObject> Redo();
    // The step the next undo or redo acts on; null when none.
    const InspectorStep* NextUndo();
    const InspectorStep* NextRedo();
    std::size_t GetUndoCount();
    std::size_t GetRedoCount();
    void Clear();

  private:
    void RecordValueEdit(const GameObject& obj, InspectorEdit edit, bool ongoing);
    void Push(InspectorStep step);
    std::size_t RefOf(const GameObject& obj);
    GameObject Handle(std::size_t ref) const;
    // Makes one edit (forwards) or takes it back; the object it leaves live.
    GameObject Apply(InspectorEdit& edit, bool forwards);
    // A clear of the world since the last call empties the history.
    void ForgetIfCleared();

    std::vector<InspectorStep> steps;
    std::size_t done = 0; // steps[0, done) are done
    std::vector<GameObject> objects;
    std::uint64_t clears = 0;
};

// Moves the object's live body, if it has one, to where its transform now
// is: an object dragged by hand is where it is meant to be, which a body
// would otherwise overwrite with its own pose at the next step.
void PlaceBodyAtTransform(const GameObject& obj);
