#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

#include "graphics/BillboardComponent.h"
#include "graphics/CameraComponent.h"
#include "graphics/DrawTextComponent.h"
#include "graphics/SpriteComponent.h"
#include "graphics/TransformComponent.h"
#include "logic/ExampleComponent.h"
#include "logic/FrameUpdateComponent.h"
#include "logic/GeneralDataComponent.h"
#include "logic/MessageDistributorComponent.h"
#include "logic/ScriptUpdateComponent.h"
#include "navigation/ObstacleComponent.h"
#include "navigation/PathfindingComponent.h"
#include "physics/BodyComponent.h"
#include "picking/ClickBoxComponent.h"
#include "picking/ClickableComponent.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModelComponent.h"

// The closed list of component types. Its order is the one every loop over all
// types follows (object creation, destruction, initialization, clearing, the
// script functions), so for one object the components' hooks always run in this
// order. Append new types at the end only.

template <class T> struct ComponentTag { using Type = T; };

template <class... Ts> struct ComponentTypeList {
    static constexpr std::size_t kSize = sizeof...(Ts);

    template <class F> static void ForEach(F&& visit) { (visit(ComponentTag<Ts>{}), ...); }

    template <class T> static constexpr std::size_t IndexOf() {
        constexpr bool matches[] = {std::is_same_v<T, Ts>...};
        for (std::size_t i = 0; i < kSize; ++i) {
            if (matches[i]) {
                return i;
            }
        }
        return kSize;
    }
};

using RegistryComponentTypes =
    ComponentTypeList<ExampleComponent, TransformComponent, VoxelModelComponent, VoxelComponent,
                      SpriteComponent, BodyComponent, FrameUpdateComponent, CameraComponent,
                      ScriptUpdateComponent, MessageDistributorComponent, DrawTextComponent,
                      ClickBoxComponent, ClickableComponent, BillboardComponent,
                      PathfindingComponent, ObstacleComponent, GeneralDataComponent>;

inline constexpr std::size_t kComponentTypeCount = RegistryComponentTypes::kSize;

// Class names double as script class names and as the stem of the per-type
// script functions ("Add" + name, "Has" + name, ...).
inline constexpr std::array<std::string_view, kComponentTypeCount> kComponentTypeNames = {
    "ExampleComponent",      "TransformComponent",
    "VoxelModelComponent",   "VoxelComponent",
    "SpriteComponent",       "BodyComponent",
    "FrameUpdateComponent",  "CameraComponent",
    "ScriptUpdateComponent", "MessageDistributorComponent",
    "DrawTextComponent",     "ClickBoxComponent",
    "ClickableComponent",    "BillboardComponent",
    "PathfindingComponent",  "ObstacleComponent",
    "GeneralDataComponent"};

// Index of T in the list; kComponentTypeCount for a type outside it.
template <class T>
inline constexpr std::size_t kComponentIndex = RegistryComponentTypes::IndexOf<T>();

template <class T>
inline constexpr bool kIsRegistryComponent = kComponentIndex<T> < kComponentTypeCount;

template <class T> constexpr std::string_view ComponentTypeName() {
    static_assert(kIsRegistryComponent<T>, "not one of the engine's component types");
    return kComponentTypeNames[kComponentIndex<T>];
}

// Calls visit(ComponentTag<T>{}) for every type, in list order.
template <class F> void ForEachComponentType(F&& visit) {
    RegistryComponentTypes::ForEach(std::forward<F>(visit));
}
