#include "tools/AntBarSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "base/ExitHook.h"
#include "core/Core.h"
#include "core/ListeningSystem.h"
#include "graphics/GraphicsSystem.h"
#include "inspector/Inspector.h"
#include "messaging/Message.h"
#include "script/ScriptHost.h"
#include "tools/TweakBar.h"
#include "window/WindowSystem.h"

namespace {

// Quotes a name for a definition text with a quote it does not contain.
std::string Quoted(const std::string& name) {
    for (const char quote : {'\'', '"', '`'})
        if (name.find(quote) == std::string::npos)
            return quote + name + quote;
    return "'" + name + "'";
}

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

std::vector<std::string> SplitLabels(const std::string& labels) {
    std::vector<std::string> result;
    std::stringstream stream(labels);
    std::string label;
    while (std::getline(stream, label, ',')) {
        const auto first = label.find_first_not_of(" \t");
        const auto last = label.find_last_not_of(" \t");
        result.push_back(first == std::string::npos ? std::string()
                                                    : label.substr(first, last - first + 1));
    }
    return result;
}

// Systems are never destroyed, but the message pool is freed when the
// program ends: records still queued then (a request sent on the last frame,
// or by code that never ran an update) would lose their strings. An exit
// handler, registered after the pool was made and so run before it goes,
// hands them back first.
using ReleaseQueuesAtExit = ExitHook<AntBarSystem, &AntBarSystem::ReleaseQueuedRequests>;

} // namespace

AntBarSystem::AntBarSystem(MessageManager& messages)
    : panels(std::make_unique<TweakPanels>()), inspector(std::make_unique<Inspector>()) {
    panels->SetToolPanel([this] { return inspector->Draw(); });
    StartListening(messages, this);
    // The set first: the handler registered after it runs before it is destroyed.
    ReleaseQueuesAtExit::Add(this);
    ReleaseQueuesAtExit::Register();
}

void AntBarSystem::ReleaseQueuedRequests() {
    newBars.clear();
    requests.clear();
}

AntBarSystem::~AntBarSystem() {
    ReleaseQueuesAtExit::Remove(this);
    // The window must not call into panels that are gone.
    if (handlerWindow != nullptr) {
        handlerWindow->SetTweakBarEventHandler(nullptr);
        handlerWindow->SetOverlayDrawer(kOverlayLayer, nullptr);
        handlerWindow->SetKeyboardCapture(kKeyboardHolder, nullptr);
    }
}

void AntBarSystem::Initialize() {
    panels->SetWindowSize(width, height);
    handlerWindow = Core::Instance().WindowSystem_;
    if (handlerWindow != nullptr) {
        // A text field with the focus holds the keyboard.
        handlerWindow->SetKeyboardCapture(kKeyboardHolder,
                                          [this] { return panels->IsTypingText(); });
        handlerWindow->SetTweakBarEventHandler([this](const sf::Event& event) {
            // What is typed into the open console is the console's alone: no
            // panel shortcut (an editor's Delete, CTRL+S, x) may act on it. The
            // panels ask about the other holders: their own text field is where
            // the keys are meant to go.
            const bool keysAllowed = !handlerWindow->IsKeyboardCaptured(kKeyboardHolder);
            if (panels->HandleEvent(event, keysAllowed))
                return true;
            // F2 typed into a text field is the field's; clicks into the world
            // are the inspector's while it is shown.
            const bool isKey = event.type == sf::Event::KeyPressed;
            if (isKey && handlerWindow->IsKeyboardCaptured())
                return false;
            return inspector->HandleEvent(event);
        });
        // Over the game's text and sprites, under the console.
        handlerWindow->SetOverlayDrawer(kOverlayLayer, [this](sf::RenderWindow&) {
            // The panels draw with GL entry points the renderer loads.
            const GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
            if (graphics != nullptr && graphics->glReady && graphics->drawTweakBar)
                Draw();
        });
    }
}

void AntBarSystem::HandleMessage(const MessagePointer& message) {
    switch (message->id) {
    case MID_RegisterAntBarMessage: {
        // Registered again after a deletion still waiting in the queue (a tool that
        // restarts within one frame): made in turn, after the deletion, so that the new
        // bar is not deleted with the old one.
        const std::string& name = message.As<RegisterAntBarMessage>()->barName;
        const bool deletionQueued =
            std::any_of(requests.begin(), requests.end(), [&](const MessagePointer& queued) {
                const auto* deletion = queued.As<DeleteBarMessage>();
                return deletion != nullptr && deletion->barName == name;
            });
        (deletionQueued ? requests : newBars).push_back(message);
        break;
    }
    case MID_AddVarMessage:
    case MID_RemoveVarMessage:
    case MID_AddEnumMessage:
    case MID_ClearBarMessage:
    case MID_AddButtonMessage:
    case MID_SetBarVisibleMessage:
    case MID_TWDefineMessage:
    case MID_DeleteBarMessage:
        requests.push_back(message);
        break;
    case MID_VideoSizeChangeMessage: {
        const auto* size = message.As<VideoSizeChangeMessage>();
        width = size->width;
        height = size->height;
        panels->SetWindowSize(width, height);
        break;
    }
    default:
        break;
    }
}

void AntBarSystem::AddButton(std::string barName, std::string buttonName, ScriptCallback callback) {
    scriptRequests.push_back(
        {std::move(barName), std::move(buttonName), std::move(callback), nullptr});
}

void AntBarSystem::QueueField(std::string barName, std::unique_ptr<ScriptTweakField> field,
                              const TweakValue& value) {
    std::string error;
    if (!field->SetValue(value, error)) {
        ScriptHost::Instance().ReportError("Error in AntBarSystem: the field '%s' of bar '%s' "
                                           "cannot start with that value; it takes %s.",
                                           field->GetName().c_str(), barName.c_str(),
                                           error.c_str());
        return;
    }
    scriptRequests.push_back(
        {std::move(barName), std::string(), ScriptCallback(), std::move(field)});
}

void AntBarSystem::AddNumberVar(std::string barName, std::string name, double value,
                                std::string def) {
    QueueField(std::move(barName),
               std::make_unique<ScriptTweakField>(std::move(name), ScriptTweakField::Kind::Number,
                                                  std::move(def)),
               value);
}

void AntBarSystem::AddIntegerVar(std::string barName, std::string name, std::int32_t value,
                                 std::string def) {
    QueueField(std::move(barName),
               std::make_unique<ScriptTweakField>(std::move(name), ScriptTweakField::Kind::Integer,
                                                  std::move(def)),
               static_cast<double>(value));
}

void AntBarSystem::AddBoolVar(std::string barName, std::string name, bool value, std::string def) {
    QueueField(std::move(barName),
               std::make_unique<ScriptTweakField>(std::move(name), ScriptTweakField::Kind::Bool,
                                                  std::move(def)),
               value);
}

void AntBarSystem::AddColorVar(std::string barName, std::string name,
                               std::variant<glm::vec3, glm::vec4> color, std::string def) {
    const bool alpha = std::holds_alternative<glm::vec4>(color);
    QueueField(std::move(barName),
               std::make_unique<ScriptTweakField>(std::move(name),
                                                  alpha ? ScriptTweakField::Kind::Color4
                                                        : ScriptTweakField::Kind::Color3,
                                                  std::move(def)),
               std::visit([](const auto& c) { return TweakValue(c); }, color));
}

void AntBarSystem::AddStringVar(std::string barName, std::string name, std::string value,
                                std::string def) {
    QueueField(std::move(barName),
               std::make_unique<ScriptTweakField>(std::move(name), ScriptTweakField::Kind::String,
                                                  std::move(def)),
               std::move(value));
}

void AntBarSystem::AddEnumVar(std::string barName, std::string name, std::string labels,
                              std::int32_t index, std::string def) {
    auto field = std::make_unique<ScriptTweakField>(std::move(name), ScriptTweakField::Kind::Enum,
                                                    std::move(def));
    field->enumLabels = SplitLabels(labels);
    QueueField(std::move(barName), std::move(field), static_cast<double>(index));
}

ScriptTweakField* AntBarSystem::FindScriptField(const std::string& barName, const std::string& name,
                                                const char* function) {
    // The latest request first: it is what the field will be once shown.
    for (auto it = scriptRequests.rbegin(); it != scriptRequests.rend(); ++it)
        if (it->field && it->barName == barName && it->field->GetName() == name)
            return it->field.get();
    if (const auto entry = bars.find(barName); entry != bars.end())
        for (const auto& field : entry->second.fields)
            if (field->GetName() == name)
                return field.get();
    ScriptHost::Instance().ReportError(
        "Error in AntBarSystem.%s: bar '%s' has no script field '%s' (never added, removed, "
        "or its bar deleted).",
        function, barName.c_str(), name.c_str());
    return nullptr;
}

TweakValue AntBarSystem::GetVar(const std::string& barName, const std::string& name) {
    const ScriptTweakField* field = FindScriptField(barName, name, "GetVar");
    return field ? field->GetValue() : TweakValue();
}

void AntBarSystem::SetVar(const std::string& barName, const std::string& name,
                          const TweakValue& value) {
    ScriptTweakField* field = FindScriptField(barName, name, "SetVar");
    std::string error;
    if (field != nullptr && !field->SetValue(value, error))
        ScriptHost::Instance().ReportError(
            "Error in AntBarSystem.SetVar: the field '%s' of bar '%s' takes %s.", name.c_str(),
            barName.c_str(), error.c_str());
}

std::size_t AntBarSystem::GetScriptFieldCount() const {
    std::size_t count = 0;
    for (const auto& [name, entry] : bars)
        count += entry.fields.size();
    for (const ScriptRequest& request : scriptRequests)
        count += request.field ? 1 : 0;
    return count;
}

void AntBarSystem::ReleaseField(BarEntry& entry, const void* variable) {
    entry.fields.erase(std::remove_if(entry.fields.begin(), entry.fields.end(),
                                      [&](const std::unique_ptr<ScriptTweakField>& field) {
                                          return field->Variable() == variable;
                                      }),
                       entry.fields.end());
}

void AntBarSystem::Update(float) {
    panels->BeginFrame();
    CreateBars();
    for (const MessagePointer& request : requests)
        CarryOut(request);
    AddScriptControls();
    scriptRequests.clear();
    newBars.clear();
    requests.clear();
}

void AntBarSystem::CreateBars() {
    for (const MessagePointer& message : newBars)
        CreateBar(*message.As<RegisterAntBarMessage>());
}

void AntBarSystem::CreateBar(const RegisterAntBarMessage& m) {
    BarEntry& entry = bars[m.barName];
    entry.enginePanel = entry.enginePanel || m.enginePanel;
    // Registering a shown bar again keeps it, its controls and its script buttons;
    // the definition below still moves and sizes it.
    if (entry.bar == nullptr)
        entry.bar = panels->NewBar(m.barName);
    panels->Define("'" + m.barName + "'" + " position='" + std::to_string(m.posX) + " " +
                   std::to_string(m.posY) + "' " + "size='" + std::to_string(m.width) + " " +
                   std::to_string(m.height) + "'");
}

TweakBar* AntBarSystem::BarFor(const std::string& barName, const char* what) {
    const auto it = bars.find(barName);
    if (it != bars.end() && it->second.bar != nullptr)
        return it->second.bar;
    std::fprintf(stderr, "AntBarSystem: %s names the bar '%s', which is not registered; ignored.\n",
                 what, barName.c_str());
    std::fflush(stderr);
    return nullptr;
}

void AntBarSystem::CarryOut(const MessagePointer& request) {
    switch (request->id) {
    case MID_RegisterAntBarMessage:
        CreateBar(*request.As<RegisterAntBarMessage>());
        break;
    case MID_AddVarMessage: {
        const auto* m = request.As<AddVarMessage>();
        if (!IsAcceptedTweakType(m->type))
            break;
        if (TweakBar* bar = BarFor(m->barName, "AddVarMessage")) {
            bar->AddVar(m->varName, m->type, m->var);
            if (!IsBlank(m->def))
                panels->Define(Quoted(m->barName) + "/" + Quoted(m->varName) + " " + m->def);
        }
        break;
    }
    case MID_RemoveVarMessage: {
        const auto* m = request.As<RemoveVarMessage>();
        if (TweakBar* bar = BarFor(m->barName, "RemoveVarMessage")) {
            const TweakControl* control = bar->FindControl(m->varName);
            void* variable = control ? control->var : nullptr;
            if (bar->RemoveVar(m->varName) && variable != nullptr)
                ReleaseField(bars[m->barName], variable);
        }
        break;
    }
    case MID_AddEnumMessage: {
        const auto* m = request.As<AddEnumMessage>();
        if (TweakBar* bar = BarFor(m->barName, "AddEnumMessage"))
            bar->AddEnum(m->varName, SplitLabels(m->enumValues), m->var);
        break;
    }
    case MID_ClearBarMessage: {
        const auto* m = request.As<ClearBarMessage>();
        if (TweakBar* bar = BarFor(m->barName, "ClearBarMessage")) {
            bar->RemoveAllVars();
            bars[m->barName].fields.clear();
        }
        break;
    }
    case MID_AddButtonMessage: {
        const auto* m = request.As<AddButtonMessage>();
        if (TweakBar* bar = BarFor(m->barName, "AddButtonMessage")) {
            bar->AddButton(m->buttonName, m->callback, m->clientData);
            if (!IsBlank(m->def))
                panels->Define(Quoted(m->barName) + "/" + Quoted(m->buttonName) + " " + m->def);
        }
        break;
    }
    case MID_SetBarVisibleMessage: {
        const auto* m = request.As<SetBarVisibleMessage>();
        panels->Define("'" + m->barName + (m->visible ? "' visible=true" : "' visible=false"));
        break;
    }
    case MID_TWDefineMessage: {
        const auto* m = request.As<TWDefineMessage>();
        if (bars.count(m->barName) != 0)
            panels->Define("'" + m->barName + "' " + m->def);
        break;
    }
    case MID_DeleteBarMessage:
        DeleteBar(request.As<DeleteBarMessage>()->barName);
        break;
    default:
        break;
    }
}

void AntBarSystem::DeleteBar(const std::string& barName) {
    const auto it = bars.find(barName);
    if (it == bars.end())
        return;
    panels->DeleteBar(it->second.bar);
    bars.erase(it); // releases the bar's script callbacks
    buttonTickets.erase(std::remove_if(buttonTickets.begin(), buttonTickets.end(),
                                       [&](const std::unique_ptr<ButtonTicket>& ticket) {
                                           return ticket->barName == barName;
                                       }),
                        buttonTickets.end());
}

void AntBarSystem::ForgetScriptState() {
    // A panel asked for this frame goes too; the engine's own requests are kept.
    Update(0.0f);
    std::vector<std::string> scriptBars;
    for (const auto& [name, entry] : bars)
        if (!entry.enginePanel)
            scriptBars.push_back(name);
    for (const std::string& name : scriptBars)
        DeleteBar(name);
    // Its steps hold script functions and data of the state that goes.
    inspector->GetHistory().Clear();
}

void AntBarSystem::AddScriptControls() {
    for (ScriptRequest& request : scriptRequests) {
        TweakBar* bar = BarFor(request.barName, request.field ? "a script field" : "AddButton");
        if (bar == nullptr)
            continue; // nothing could ever press or show it, so nothing is kept either
        BarEntry& entry = bars[request.barName];
        if (request.field) {
            AddScriptField(entry, *bar, std::move(request.field));
            continue;
        }
        entry.callbacks.push_back(std::move(request.callback));
        buttonTickets.push_back(std::make_unique<ButtonTicket>(ButtonTicket{
            request.barName, static_cast<std::uint32_t>(entry.callbacks.size() - 1), &bars}));
        bar->AddButton(request.buttonName, &AntBarSystem::ScriptButtonTrampoline,
                       buttonTickets.back().get());
    }
}

void AntBarSystem::AddScriptField(BarEntry& entry, TweakBar& bar,
                                  std::unique_ptr<ScriptTweakField> field) {
    for (const auto& old : entry.fields)
        if (old->GetName() == field->GetName()) {
            bar.RemoveVarBoundTo(old->Variable());
            ReleaseField(entry, old->Variable());
            break;
        }
    const std::string& name = field->GetName();
    if (field->GetKind() == ScriptTweakField::Kind::Enum)
        bar.AddEnum(name, field->enumLabels, field->Variable());
    else
        bar.AddVar(name, field->GetTweakType(), field->Variable());
    const std::string def = field->GetDefinition();
    entry.fields.push_back(std::move(field));
    if (!IsBlank(def))
        panels->Define(Quoted(bar.GetName()) + "/" + Quoted(name) + " " + def);
}

void AntBarSystem::ScriptButtonTrampoline(void* clientData) {
    const auto* ticket = static_cast<const ButtonTicket*>(clientData);
    const auto it = ticket->bars->find(ticket->barName);
    if (it == ticket->bars->end() || ticket->index >= it->second.callbacks.size())
        return;
    // A copy: the call may add buttons, which can move the stored callbacks.
    const ScriptCallback callback = it->second.callbacks[ticket->index];
    if (callback.IsFunction())
        callback.Call();
}

void AntBarSystem::Draw() {
    // The window can differ from the size last announced (a test's small window, a
    // full-screen mode the display lacks); panels are laid out in the real one.
    if (WindowSystem* window = Core::Instance().WindowSystem_; window && window->IsOpen()) {
        const sf::Vector2u size = window->GetWindow().getSize();
        panels->SetWindowSize(size.x, size.y);
    }
    panels->Draw();
}
