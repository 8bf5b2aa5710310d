#include "inspector/ObjectSnapshot.h"

#include <typeinfo>

#include "core/Core.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "physics/Shape.h"
#include "script/ScriptCallback.h"
#include "script/ScriptData.h"
#include "voxels/VoxelModelHandle.h"

namespace {

using Restorer = std::function<void(void*)>;

// What the binding tables give no plain value for, per type; nothing for most.
template <class T> Restorer KeepNonPlain(const T&) {
    return {};
}

Restorer KeepNonPlain(const VoxelModelComponent& shown) {
    const VoxelModelHandle model = shown.model;
    return [model](void* slot) { static_cast<VoxelModelComponent*>(slot)->model = model; };
}

template <class T> Restorer KeepTexture(const T& drawn) {
    Texture* texture = drawn.texture; // the graphics system's cache keeps it
    return [texture](void* slot) { static_cast<T*>(slot)->texture = texture; };
}
Restorer KeepNonPlain(const SpriteComponent& sprite) {
    return KeepTexture(sprite);
}
Restorer KeepNonPlain(const BillboardComponent& billboard) {
    return KeepTexture(billboard);
}

// The shape as its parameters: the body that owned it frees it when it goes.
Restorer KeepNonPlain(const BodyComponent& body) {
    const ShapeParameters shape = body.GetShapeParameters();
    const ScriptCallback enter = body.GetCollisionEnterFunction();
    const ScriptCallback exit = body.GetCollisionExitFunction();
    return [shape, enter, exit](void* slot) {
        auto& restored = *static_cast<BodyComponent*>(slot);
        restored.pendingShape = Shape::Add(shape);
        restored.SetCollisionEnterFunction(enter);
        restored.SetCollisionExitFunction(exit);
    };
}

Restorer KeepNonPlain(const ScriptUpdateComponent& update) {
    return [functions = std::vector<ScriptCallback>{update.updateFunction, update.initFunction,
                                                    update.destructFunction},
            data = update.data](void* slot) {
        auto& restored = *static_cast<ScriptUpdateComponent*>(slot);
        restored.updateFunction = functions[0];
        restored.initFunction = functions[1];
        restored.destructFunction = functions[2];
        restored.data = data;
    };
}
Restorer KeepNonPlain(const GeneralDataComponent& general) {
    const ScriptData data = general.data;
    return [data](void* slot) { static_cast<GeneralDataComponent*>(slot)->data = data; };
}
Restorer KeepNonPlain(const MessageDistributorComponent& distributor) {
    const ScriptCallback process = distributor.processMessageFunction;
    return [process](void* slot) {
        static_cast<MessageDistributorComponent*>(slot)->processMessageFunction = process;
    };
}

template <class T> Restorer KeepMouseCallbacks(const T& mouse) {
    const std::vector<ScriptCallback> kept = {
        mouse.onClickReleaseFunction, mouse.onClickFunction,   mouse.onReleaseFunction,
        mouse.buttonHeldFunction,     mouse.mouseOverFunction, mouse.mouseOverTriggerFunction,
        mouse.mouseNotOverFunction,   mouse.initFunction,      mouse.destructFunction};
    return [kept](void* slot) {
        auto& restored = *static_cast<T*>(slot);
        ScriptCallback* const targets[] = {
            &restored.onClickReleaseFunction, &restored.onClickFunction,
            &restored.onReleaseFunction,      &restored.buttonHeldFunction,
            &restored.mouseOverFunction,      &restored.mouseOverTriggerFunction,
            &restored.mouseNotOverFunction,   &restored.initFunction,
            &restored.destructFunction};
        for (std::size_t i = 0; i < kept.size(); ++i)
            *targets[i] = kept[i];
    };
}
Restorer KeepNonPlain(const ClickableComponent& clickable) {
    return KeepMouseCallbacks(clickable);
}
Restorer KeepNonPlain(const ClickBoxComponent& clickBox) {
    return KeepMouseCallbacks(clickBox);
}

// Attaches without initializing, and puts the values in.
template <class T> T* Attach(const GameObject& obj, const ComponentSnapshot& snapshot) {
    T* slot = ObjectManager::AddComponent<T>(obj);
    if (slot == nullptr)
        return nullptr;
    if (snapshot.restoreKept)
        snapshot.restoreKept(slot);
    static const std::vector<script::EditableField> fields = script::EditableFieldsOf(typeid(T));
    for (const auto& [name, value] : snapshot.fields)
        for (const auto& field : fields)
            // A setter may run script code that deletes the object.
            if (field.name == name && field.access.set != nullptr && ObjectManager::IsValid(obj) &&
                slot->IsAttached())
                field.access.set(slot, value);
    return slot;
}

template <class F> void ForType(std::size_t typeIndex, F&& visit) {
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (kComponentIndex<T> == typeIndex)
            visit(tag);
    });
}

} // namespace

std::size_t ComponentTypeIndexOf(const std::string& typeName) {
    for (std::size_t i = 0; i < kComponentTypeCount; ++i)
        if (kComponentTypeNames[i] == typeName)
            return i;
    return kComponentTypeCount;
}

void VisitComponent(const GameObject& obj, std::size_t typeIndex,
                    const std::function<void(void*, const std::type_info&)>& visit) {
    ForType(typeIndex, [&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (ObjectManager::IsValid(obj) && ObjectManager::HasComponent<T>(obj))
            visit(ObjectManager::GetComponent<T>(obj), typeid(T));
    });
}

ComponentSnapshot ComponentSnapshot::Of(const GameObject& obj, std::size_t typeIndex) {
    ComponentSnapshot snapshot;
    snapshot.typeIndex = kComponentTypeCount;
    ForType(typeIndex, [&](auto tag) {
        using T = typename decltype(tag)::Type;
        const T* component = ObjectManager::GetComponent<T>(obj);
        if (!ObjectManager::IsValid(obj) || component == nullptr || !component->IsAttached())
            return;
        snapshot.typeIndex = typeIndex;
        static const std::vector<script::EditableField> fields =
            script::EditableFieldsOf(typeid(T));
        for (const auto& field : fields) {
            if (field.access.get == nullptr || field.access.set == nullptr)
                continue;
            script::FieldValue value = field.access.get(const_cast<T*>(component));
            if (!std::holds_alternative<std::monostate>(value))
                snapshot.fields.emplace_back(field.name, std::move(value));
        }
        snapshot.restoreKept = KeepNonPlain(*component);
    });
    return snapshot;
}

bool ComponentSnapshot::Restore(const GameObject& obj) const {
    bool restored = false;
    ForType(typeIndex, [&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (!ObjectManager::IsValid(obj) || ObjectManager::HasComponent<T>(obj))
            return;
        if (T* slot = Attach<T>(obj, *this); slot != nullptr && slot->IsAttached()) {
            slot->Initialize();
            restored = true;
        }
    });
    return restored;
}

ObjectSnapshot ObjectSnapshot::Of(const GameObject& obj) {
    ObjectSnapshot snapshot;
    for (std::size_t i = 0; i < kComponentTypeCount; ++i) {
        ComponentSnapshot component = ComponentSnapshot::Of(obj, i);
        if (component.typeIndex == i)
            snapshot.components.push_back(std::move(component));
    }
    snapshot.scene = Scene::Instance().GetRecord(obj);
    return snapshot;
}

GameObject ObjectSnapshot::Restore() const {
    ObjectManager* objects = Core::Instance().objectManager;
    if (objects == nullptr)
        return {};
    const GameObject obj = objects->NewObject();
    // Every component is attached before any is initialized, as a script
    // that makes an object attaches them all first.
    for (const ComponentSnapshot& component : components)
        ForType(component.typeIndex,
                [&](auto tag) { Attach<typename decltype(tag)::Type>(obj, component); });
    if (!ObjectManager::IsValid(obj))
        return {};
    ObjectManager::InitializeObj(obj);
    if (!ObjectManager::IsValid(obj))
        return {};
    Scene::Instance().SetRecord(obj, scene);
    return obj;
}
