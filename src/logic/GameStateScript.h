#pragma once

// The script form every game state class shares. Script-layer header: only
// binding files of states include it. A state class T binds as
//
//   using S = script::ScriptClass<DemoState>;
//   const S demoStateClass("DemoState", GameStateMembers<DemoState>(),
//                          GameStateOptions<DemoState>());
//
// where T::Instance() returns the one static instance. Any such wrapper is
// accepted where a script passes a game state (GameLogicSystem.SetCurrentGameState).

#include <vector>

#include "logic/GameState.h"
#include "script/ScriptClass.h"

template <class T> T* GameStateInstance() {
    return &T::Instance();
}

template <class T> void InitializeState(T& state) {
    state.Initialize();
}
template <class T> void UpdateState(T& state, float dt) {
    state.Update(dt);
}
template <class T> void CleanupState(T& state) {
    state.Cleanup();
}

// "Instance", "Initialize", "Update", "Cleanup", then the class's own members.
template <class T>
std::vector<script::Member> GameStateMembers(std::vector<script::Member> own = {}) {
    using S = script::ScriptClass<T>;
    std::vector<script::Member> members = {
        S::template Function<&GameStateInstance<T>>("Instance"),
        S::template Method<&InitializeState<T>>("Initialize"),
        S::template Method<&UpdateState<T>>("Update").Args("dt"),
        S::template Method<&CleanupState<T>>("Cleanup"),
    };
    members.insert(members.end(), own.begin(), own.end());
    return members;
}

template <class T> script::ClassOptions<T> GameStateOptions() {
    static_assert(std::is_base_of_v<GameState, T>);
    script::ClassOptions<T> options;
    options.template Derives<GameState>("game state");
    return options;
}
