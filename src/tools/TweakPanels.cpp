#include "tools/TweakPanels.h"

#include <algorithm>
#include <cstdio>

#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include "input/GamepadNavigation.h"
#include "input/Gamepads.h"

namespace {

// Makes the panels' context current for the duration of a call and restores whatever
// was current before, so other ImGui users in the process are left alone.
class ContextScope {
  public:
    explicit ContextScope(ImGuiContext* context) : previous(ImGui::GetCurrentContext()) {
        ImGui::SetCurrentContext(context);
    }
    ~ContextScope() { ImGui::SetCurrentContext(previous); }

  private:
    ImGuiContext* previous;
};

void MapKeys(ImGuiIO& io) {
    io.KeyMap[ImGuiKey_Tab] = sf::Keyboard::Tab;
    io.KeyMap[ImGuiKey_LeftArrow] = sf::Keyboard::Left;
    io.KeyMap[ImGuiKey_RightArrow] = sf::Keyboard::Right;
    io.KeyMap[ImGuiKey_UpArrow] = sf::Keyboard::Up;
    io.KeyMap[ImGuiKey_DownArrow] = sf::Keyboard::Down;
    io.KeyMap[ImGuiKey_PageUp] = sf::Keyboard::PageUp;
    io.KeyMap[ImGuiKey_PageDown] = sf::Keyboard::PageDown;
    io.KeyMap[ImGuiKey_Home] = sf::Keyboard::Home;
    io.KeyMap[ImGuiKey_End] = sf::Keyboard::End;
    io.KeyMap[ImGuiKey_Insert] = sf::Keyboard::Insert;
    io.KeyMap[ImGuiKey_Delete] = sf::Keyboard::Delete;
    io.KeyMap[ImGuiKey_Backspace] = sf::Keyboard::Backspace;
    io.KeyMap[ImGuiKey_Space] = sf::Keyboard::Space;
    io.KeyMap[ImGuiKey_Enter] = sf::Keyboard::Enter;
    io.KeyMap[ImGuiKey_Escape] = sf::Keyboard::Escape;
    io.KeyMap[ImGuiKey_KeyPadEnter] = sf::Keyboard::Enter;
    io.KeyMap[ImGuiKey_A] = sf::Keyboard::A;
    io.KeyMap[ImGuiKey_C] = sf::Keyboard::C;
    io.KeyMap[ImGuiKey_V] = sf::Keyboard::V;
    io.KeyMap[ImGuiKey_X] = sf::Keyboard::X;
    io.KeyMap[ImGuiKey_Y] = sf::Keyboard::Y;
    io.KeyMap[ImGuiKey_Z] = sf::Keyboard::Z;
}

void Report(const std::string& text, const std::string& problem) {
    std::fprintf(stderr, "Tweak panels: definition \"%s\": %s\n", text.c_str(), problem.c_str());
    std::fflush(stderr);
}

} // namespace

TweakPanels::TweakPanels() {
    ContextScope scope(nullptr);
    context = ImGui::CreateContext();
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // bars are placed by their definitions, not by a file
    io.LogFilename = nullptr;
    io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
    MapKeys(io);
}

TweakPanels::~TweakPanels() {
    ContextScope scope(context);
    // The renderer's GL objects die with the GL context; only ImGui's own data is ours.
    ImGui::DestroyContext(context);
}

TweakBar* TweakPanels::NewBar(const std::string& name) {
    if (TweakBar* existing = FindBar(name))
        return existing;
    bars.push_back(std::make_unique<TweakBar>(name));
    return bars.back().get();
}

void TweakPanels::DeleteBar(TweakBar* bar) {
    bars.erase(std::remove_if(bars.begin(), bars.end(),
                              [&](const std::unique_ptr<TweakBar>& b) { return b.get() == bar; }),
               bars.end());
}

TweakBar* TweakPanels::FindBar(const std::string& name) const {
    for (const auto& bar : bars)
        if (bar->GetName() == name)
            return bar.get();
    return nullptr;
}

bool TweakPanels::Define(const std::string& text) {
    // Games may relabel a panel every frame; the record keeps the recent texts only.
    if (definitions.size() >= kDefinitionsKept)
        definitions.erase(definitions.begin(), definitions.begin() + kDefinitionsKept / 2);
    definitions.push_back(text);
    TweakDefinition definition;
    std::string error;
    if (!ParseTweakDefinition(text, true, definition, error)) {
        Report(text, error);
        return false;
    }
    TweakBar* bar = FindBar(definition.barName);
    if (bar == nullptr) {
        Report(text, "there is no bar named '" + definition.barName + "'");
        return false;
    }
    const std::string problems =
        definition.controlName.empty()
            ? bar->Define(definition.parameters)
            : bar->DefineControl(definition.controlName, definition.parameters);
    if (!problems.empty()) {
        Report(text, problems);
        return false;
    }
    return true;
}

void TweakPanels::SetWindowSize(std::uint32_t newWidth, std::uint32_t newHeight) {
    width = newWidth;
    height = newHeight;
}

bool TweakPanels::IsOverPanel(float x, float y) const {
    if (overlayOnly)
        return true;
    for (const auto& bar : bars)
        if (bar->GetDrawnRect() && bar->GetDrawnRect()->contains(x, y))
            return true;
    // An open combo or colour picker reaches beyond the tool's window.
    return toolRect && (toolRect->contains(x, y) || ImGui::GetIO().WantCaptureMouse);
}

void TweakPanels::SetMouseButton(int button, bool down) {
    ImGuiIO& io = ImGui::GetIO();
    if (down) {
        io.MouseDown[button] = true;
        pressUnseen[button] = true;
    } else if (pressUnseen[button]) {
        releaseWaiting[button] = true;
    } else {
        io.MouseDown[button] = false;
    }
}

bool TweakPanels::HandleEvent(const sf::Event& event, bool keysAllowed) {
    ContextScope scope(context);
    ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
    case sf::Event::MouseMoved: {
        io.MousePos =
            ImVec2(static_cast<float>(event.mouseMove.x), static_cast<float>(event.mouseMove.y));
        // A drag that started on a panel belongs to it until the button is let go.
        return std::any_of(capturedButton.begin(), capturedButton.end(), [](bool b) { return b; });
    }
    case sf::Event::MouseButtonPressed:
    case sf::Event::MouseButtonReleased: {
        const int button = static_cast<int>(event.mouseButton.button);
        if (button < 0 || button >= kMouseButtons)
            return false;
        const bool down = event.type == sf::Event::MouseButtonPressed;
        const float x = static_cast<float>(event.mouseButton.x);
        const float y = static_cast<float>(event.mouseButton.y);
        io.MousePos = ImVec2(x, y);
        if (down) {
            // ImGui hears every press: one beside the panels is how a text field being
            // typed in learns to let go of the keyboard. Only presses on a panel are kept
            // from the game.
            capturedButton[button] = IsOverPanel(x, y);
            SetMouseButton(button, true);
            return capturedButton[button];
        }
        const bool captured = capturedButton[button];
        capturedButton[button] = false;
        SetMouseButton(button, false);
        return captured;
    }
    case sf::Event::MouseWheelScrolled: {
        const float x = static_cast<float>(event.mouseWheelScroll.x);
        const float y = static_cast<float>(event.mouseWheelScroll.y);
        if (!IsOverPanel(x, y))
            return false;
        if (event.mouseWheelScroll.wheel == sf::Mouse::VerticalWheel)
            io.MouseWheel += event.mouseWheelScroll.delta;
        else
            io.MouseWheelH += event.mouseWheelScroll.delta;
        return true;
    }
    case sf::Event::MouseWheelMoved: // the same step again, already taken above
        return IsOverPanel(static_cast<float>(event.mouseWheel.x),
                           static_cast<float>(event.mouseWheel.y));
    case sf::Event::KeyPressed:
    case sf::Event::KeyReleased: {
        const int code = static_cast<int>(event.key.code);
        const bool down = event.type == sf::Event::KeyPressed;
        if (down && !keysAllowed)
            return false;
        if (code >= 0 && code < static_cast<int>(IM_ARRAYSIZE(io.KeysDown))) {
            if (down) {
                io.KeysDown[code] = true;
                keysUnseen.insert(code);
            } else if (keysUnseen.count(code) != 0) {
                keyReleasesWaiting.insert(code);
            } else {
                io.KeysDown[code] = false;
            }
        }
        if (!down) {
            // A release belongs where its press went.
            return capturedKeys.erase(code) > 0;
        }
        bool taken = io.WantTextInput || overlayOnly;
        if (!taken)
            for (const auto& bar : bars)
                if (bar->HandleShortcut(event.key)) {
                    taken = true;
                    break;
                }
        if (taken)
            capturedKeys.insert(code);
        return taken;
    }
    case sf::Event::TextEntered:
        // Over a stopped game text is the panels' even between two fields' turns, so
        // what is typed just after an Enter reaches the field that takes it back.
        if ((!io.WantTextInput && !overlayOnly) || !keysAllowed)
            return false;
        if (event.text.unicode >= 32 && event.text.unicode != 127)
            io.AddInputCharacter(event.text.unicode);
        return true;
    case sf::Event::LostFocus:
        // Nothing held survives the focus going elsewhere.
        for (int b = 0; b < kMouseButtons; ++b) {
            io.MouseDown[b] = false;
            capturedButton[b] = pressUnseen[b] = releaseWaiting[b] = false;
        }
        std::fill(std::begin(io.KeysDown), std::end(io.KeysDown), false);
        capturedKeys.clear();
        keysUnseen.clear();
        keyReleasesWaiting.clear();
        return false;
    default:
        return false;
    }
}

bool TweakPanels::IsTypingText() const {
    ContextScope scope(context);
    return ImGui::GetIO().WantTextInput;
}

void TweakPanels::BeginFrame() {
    for (const auto& bar : bars)
        bar->ForgetDrawnRect();
}

void TweakPanels::Draw() {
    ContextScope scope(context);
    if (!rendererReady) {
        // GLSL 1.30 runs on every GL 3.x context, the compatibility one included.
        if (!ImGui_ImplOpenGL3_Init("#version 130")) {
            std::fprintf(stderr, "Tweak panels: the OpenGL renderer could not start; "
                                 "panels are not drawn.\n");
            return;
        }
        rendererReady = true;
    }
    ImGuiIO& io = ImGui::GetIO();
    const auto now = std::chrono::steady_clock::now();
    io.DeltaTime = std::max(std::chrono::duration<float>(now - lastFrame).count(), 1e-4f);
    lastFrame = now;
    io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));

    // A release is let through once ImGui has had a frame with its press.
    for (int b = 0; b < kMouseButtons; ++b)
        if (releaseWaiting[b] && !pressUnseen[b]) {
            io.MouseDown[b] = false;
            releaseWaiting[b] = false;
        }
    for (auto it = keyReleasesWaiting.begin(); it != keyReleasesWaiting.end();)
        if (keysUnseen.count(*it) == 0) {
            io.KeysDown[*it] = false;
            it = keyReleasesWaiting.erase(it);
        } else {
            ++it;
        }
    // From the keys rather than the events' flags, so that a CTRL+A typed between two
    // frames still has CTRL down in the frame that sees the A.
    const auto held = [&](sf::Keyboard::Key a, sf::Keyboard::Key b) {
        return io.KeysDown[a] || io.KeysDown[b];
    };
    io.KeyCtrl = held(sf::Keyboard::LControl, sf::Keyboard::RControl);
    io.KeyShift = held(sf::Keyboard::LShift, sf::Keyboard::RShift);
    io.KeyAlt = held(sf::Keyboard::LAlt, sf::Keyboard::RAlt);
    io.KeySuper = held(sf::Keyboard::LSystem, sf::Keyboard::RSystem);
    FeedGamepadNavigation(io, Gamepads::Instance().FirstConnected());
    ImGui_ImplOpenGL3_NewFrame();
    ImGui::NewFrame();
    pressUnseen.fill(false);
    keysUnseen.clear();
    // Indices, not iterators: a button callback may add a bar (never delete one; that
    // waits for the next update).
    for (std::size_t i = 0; i < bars.size() && !overlayOnly; ++i)
        bars[i]->Draw();
    toolRect.reset();
    if (toolPanel && !overlayOnly)
        toolRect = toolPanel();
    if (overlay)
        overlay();
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
}
