#include "logic/GameLogicSystem.h"

#include <string>

#include "core/ListeningSystem.h"
#include "graphics/GraphicsSystem.h"
#include "logic/FrameUpdateComponent.h"
#include "logic/GameState.h"
#include "logic/ScriptGameState.h"
#include "logic/ScriptUpdateComponent.h"
#include "messaging/Message.h"
#include "navigation/ObstacleComponent.h"
#include "navigation/PathfindingComponent.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "picking/ClickBoxComponent.h"
#include "picking/ClickableComponent.h"
#include "script/ScriptHost.h"

namespace {
constexpr unsigned kAllGroups = 3;
constexpr int kTweakTypeFloat = 12;
const char* const kProfileBar = "GameLogicProfile";

void Broadcast(MessageManager& messages, Message* message) {
    messages.Broadcast(kAllGroups, MessagePointer(message), 0.0f);
}

void ClearAllObjects() {
    if (ObjectManager* objects = Core::Instance().objectManager)
        objects->ClearAllObjects();
}
} // namespace

GameLogicSystem::GameLogicSystem(MessageManager& messages) : messages(&messages) {
    StartListening(messages, this);
}

GameLogicSystem::~GameLogicSystem() {
    messages->RemoveListener(listener);
}

void GameLogicSystem::Initialize() {
    debugDraw = false;
    Broadcast(*messages, CreateMessage<RegisterAntBarMessage>(std::string(kProfileBar), 200u, 400u,
                                                              211u, 10u, true));
    // The click-box step is timed but has no entry of its own.
    const std::pair<const char*, Step> entries[] = {
        {"jsGameState", kScriptStep},        {"frameUpdate", kFrameUpdateStep},
        {"scriptUpdate", kScriptUpdateStep}, {"clickable", kClickableStep},
        {"obstacle", kObstacleStep},         {"cppGamestate", kGameStateStep},
    };
    for (const auto& [name, step] : entries)
        Broadcast(*messages, CreateMessage<AddVarMessage>(
                                 std::string(kProfileBar), static_cast<void*>(&stepTimes[step]),
                                 kTweakTypeFloat, std::string(name), std::string()));
    Broadcast(*messages,
              CreateMessage<TWDefineMessage>(std::string(kProfileBar), std::string("refresh=.5")));
    Broadcast(*messages, CreateMessage<SetBarVisibleMessage>(std::string(kProfileBar), true));
}

void GameLogicSystem::StoreStepTime(Step step) {
    stepTimes[step] = profileClock.GetElapsedSeconds() * 1000.0f;
    profileClock.Restart();
}

void GameLogicSystem::Update(float dt) {
    profileClock.Restart();
    if (!updateFunction.IsNull()) {
        // Any other value freezes the rest of the game until a script changes it.
        if (!updateFunction.IsFunction())
            return;
        updateFunction.Call({dt});
    }
    ScriptHost::Instance().GetTimers().Update(dt);
    StoreStepTime(kScriptStep);

    ComponentFactory<FrameUpdateComponent>::Instance().ForEachAttached(
        [dt](FrameUpdateComponent& c) { c.Update(dt); });
    StoreStepTime(kFrameUpdateStep);

    ComponentFactory<ScriptUpdateComponent>::Instance().ForEachAttached(
        [dt](ScriptUpdateComponent& c) { c.Update(dt); });
    StoreStepTime(kScriptUpdateStep);

    // A copy: a clickable's script may move the mouse pick on by sending messages.
    const RayTestResult pick = Pick();
    ComponentFactory<ClickableComponent>::Instance().ForEachAttached(
        [dt, &pick](ClickableComponent& c) { c.Update(dt, pick); });
    StoreStepTime(kClickableStep);

    ComponentFactory<ClickBoxComponent>::Instance().ForEachAttached(
        [dt](ClickBoxComponent& c) { c.Update(dt); });
    StoreStepTime(kClickBoxStep);

    ComponentFactory<ObstacleComponent>::Instance().ForEachAttached(
        [](ObstacleComponent& c) { c.Update(); });
    StoreStepTime(kObstacleStep);

    UpdateGameState(dt);
    StoreStepTime(kGameStateStep);
}

void GameLogicSystem::UpdateGameState(float dt) {
    if (!current)
        return;
    GameState* next = current->nextState;
    if (next && next != current.Get()) {
        // Both held until the switch is done: the scripts run below may drop them,
        // or ask for yet another state.
        const HeldGameState previous(current.Get()), target(next);
        previous->Cleanup();
        ClearAllObjects();
        // The request is used up: left standing, it would switch straight back
        // the next time `previous` becomes current.
        previous->nextState = nullptr;
        current.Set(target.Get());
        requested.Set(nullptr);
        current->Initialize();
    }
    const HeldGameState running(current.Get());
    running->Update(dt);
}

void GameLogicSystem::RestartCurrentGameState() {
    const HeldGameState state(current.Get());
    if (!state)
        return;
    state->Cleanup();
    ClearAllObjects();
    state->Initialize();
}

void GameLogicSystem::ForgetScriptState() {
    updateFunction.Reset();
    ScriptGameState::ForgetAllFunctions();
    ScriptHost::Instance().GetTimers().Clear();
}

void GameLogicSystem::LeaveCurrentGameState() {
    const HeldGameState left(current.Get());
    if (!left)
        return;
    // Unset first: a cleanup that asks for a state (or calls back in) must
    // find none current.
    current.Set(nullptr);
    requested.Set(nullptr);
    left->Cleanup();
    left->nextState = nullptr;
}

void GameLogicSystem::SetCurrentGameState(GameState* state) {
    if (!state || state == current.Get())
        return;
    if (current) {
        requested.Set(state);
        current->nextState = state;
        return;
    }
    current.Set(state);
    state->Initialize();
}

const RayTestResult& GameLogicSystem::Pick() {
    Core& core = Core::Instance();
    if (core.GraphicsSystem_)
        lastRay = core.GraphicsSystem_->GetMouseClickRay(mousePosition.x, mousePosition.y);
    lastPick = core.PhysicsSystem_
                   ? core.PhysicsSystem_->RayTestClosestPoint(lastRay.start, lastRay.end)
                   : RayTestResult{};
    return lastPick;
}

void GameLogicSystem::HandleMessage(const MessagePointer& message) {
    if (const auto* button = message.As<MouseButtonMessage>()) {
        mousePosition = {button->mousePos[0], button->mousePos[1]};
    } else if (const auto* motion = message.As<MouseMotionMessage>()) {
        mousePosition = {motion->x, motion->y};
    } else {
        if (message->id == MID_DebugDrawMessage && debugDraw)
            ComponentFactory<PathfindingComponent>::Instance().ForEachAttached(
                [](PathfindingComponent& c) { c.DrawDebug(); });
        return;
    }
    const RayTestResult pick = Pick();
    ComponentFactory<ClickableComponent>::Instance().ForEachAttached(
        [&](ClickableComponent& c) { c.HandleMessage(message, pick); });
}
