#include "debugger/DebuggerPanel.h"

#include <algorithm>

#include <imgui.h>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

constexpr int kMaxDepth = 12;
constexpr std::size_t kEvaluationsKept = 40;
const ImVec4 kStoppedLineText(1.0f, 0.86f, 0.35f, 1.0f);
// Where the game stopped, marked so it can be found at a glance (and by the
// tests, by its colour).
const ImU32 kStoppedLineBack = IM_COL32(110, 80, 0, 255);
const ImU32 kBreakpointDot = IM_COL32(220, 40, 40, 255);

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const std::string::size_type end = text.find('\n', start);
        std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::replace(line.begin(), line.end(), '\t', ' ');
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string Text(const json& value, const char* key) {
    const auto it = value.find(key);
    return it != value.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int Number(const json& value, const char* key) {
    const auto it = value.find(key);
    return it != value.end() && it->is_number_integer() ? it->get<int>() : 0;
}

} // namespace

struct DebuggerPanel::Answer {
    bool success = false;
    json body;
    std::string message;
};

DebuggerPanel::DebuggerPanel(RequestFunction request) : request(std::move(request)) {}

DebuggerPanel::~DebuggerPanel() = default;

DebuggerPanel::Answer DebuggerPanel::Ask(const std::string& command,
                                         const std::string& argumentsJson) {
    Answer answer;
    json message = {{"command", command}};
    message["arguments"] = json::parse(argumentsJson, nullptr, false);
    const json reply = json::parse(request(message.dump()), nullptr, false);
    if (!reply.is_object()) {
        answer.message = "the debugger gave no answer";
        return answer;
    }
    answer.success = reply.value("success", false);
    answer.message = Text(reply, "message");
    if (const auto it = reply.find("body"); it != reply.end())
        answer.body = *it;
    return answer;
}

void DebuggerPanel::Open() {
    open = true;
    focusExpression = true;
    frames.clear();
    scopes.clear();
    sources.clear();
    const Answer status = Ask("status", "{}");
    description = Text(status.body, "description");
    const Answer stack = Ask("stackTrace", "{}");
    if (stack.success && stack.body.contains("stackFrames"))
        for (const json& f : stack.body["stackFrames"]) {
            Frame frame;
            frame.name = Text(f, "name");
            frame.line = Number(f, "line");
            if (f.contains("source")) {
                frame.path = Text(f["source"], "path");
                frame.file = Text(f["source"], "name");
            }
            frames.push_back(std::move(frame));
        }
    SelectFrame(0);
}

void DebuggerPanel::Close() {
    open = false;
    frames.clear();
    scopes.clear();
}

void DebuggerPanel::SelectFrame(int index) {
    selected = index;
    scopes.clear();
    scrollToLine = true;
    if (index < 0 || index >= static_cast<int>(frames.size()))
        return;
    const Answer answer = Ask("scopes", json({{"frameId", index}}).dump());
    if (answer.success && answer.body.contains("scopes"))
        for (const json& s : answer.body["scopes"]) {
            Variable scope;
            scope.name = Text(s, "name");
            scope.reference = Number(s, "variablesReference");
            scopes.push_back(std::move(scope));
        }
    // The innermost scope is what one looks at first.
    if (!scopes.empty())
        LoadChildren(scopes.front());
    ReadBreakpointLines();
}

void DebuggerPanel::LoadChildren(Variable& variable) {
    variable.loaded = true;
    variable.children.clear();
    const Answer answer =
        Ask("variables", json({{"variablesReference", variable.reference}}).dump());
    if (!answer.success || !answer.body.contains("variables"))
        return;
    for (const json& v : answer.body["variables"]) {
        Variable child;
        child.name = Text(v, "name");
        child.value = Text(v, "value");
        child.reference = Number(v, "variablesReference");
        variable.children.push_back(std::move(child));
    }
}

void DebuggerPanel::ReadBreakpointLines() {
    breakpointLines.clear();
    if (selected < 0 || selected >= static_cast<int>(frames.size()))
        return;
    const Answer answer = Ask("breakpointLines", json({{"path", frames[selected].path}}).dump());
    if (answer.success && answer.body.contains("lines"))
        for (const json& line : answer.body["lines"])
            if (line.is_number_integer())
                breakpointLines.insert(line.get<int>());
}

const std::vector<std::string>& DebuggerPanel::SourceLines(const std::string& path) {
    auto it = sources.find(path);
    if (it == sources.end()) {
        const Answer answer = Ask("source", json({{"source", {{"path", path}}}}).dump());
        it = sources
                 .emplace(path, SplitLines(answer.success ? Text(answer.body, "content")
                                                          : "(" + answer.message + ")"))
                 .first;
    }
    return it->second;
}

void DebuggerPanel::Command(const char* command) {
    if (open)
        Ask(command, "{\"threadId\":1}");
}

bool DebuggerPanel::HandleKey(const sf::Event::KeyEvent& key) {
    switch (key.code) {
    case sf::Keyboard::F5:
        Command("continue");
        return true;
    case sf::Keyboard::F10:
        Command("next");
        return true;
    case sf::Keyboard::F11:
        Command(key.shift ? "stepOut" : "stepIn");
        return true;
    default:
        return false;
    }
}

void DebuggerPanel::Evaluate() {
    const std::string text = expression;
    if (text.empty())
        return;
    json arguments = {{"expression", text}, {"context", "repl"}};
    if (!frames.empty())
        arguments["frameId"] = selected;
    const Answer answer = Ask("evaluate", arguments.dump());
    evaluations.push_back("> " + text);
    evaluations.push_back(answer.success ? Text(answer.body, "result") : answer.message);
    while (evaluations.size() > kEvaluationsKept)
        evaluations.erase(evaluations.begin());
    expression[0] = '\0';
}

void DebuggerPanel::DrawSource() {
    if (selected < 0 || selected >= static_cast<int>(frames.size())) {
        ImGui::TextUnformatted("No script is running: the game stopped between frames.");
        return;
    }
    const Frame& frame = frames[selected];
    const std::vector<std::string>& lines = SourceLines(frame.path);
    ImGui::BeginChild("source", ImVec2(0, ImGui::GetTextLineHeightWithSpacing() * 14.0f), true,
                      ImGuiWindowFlags_HorizontalScrollbar);
    const float lineHeight = ImGui::GetTextLineHeightWithSpacing();
    if (scrollToLine) {
        ImGui::SetScrollY(std::max(0.0f, (frame.line - 7) * lineHeight));
        scrollToLine = false;
    }
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(lines.size()), lineHeight);
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const int number = i + 1;
            ImGui::PushID(i);
            const ImVec2 corner = ImGui::GetCursorScreenPos();
            ImDrawList* draw = ImGui::GetWindowDrawList();
            if (number == frame.line)
                draw->AddRectFilled(corner,
                                    ImVec2(corner.x + ImGui::GetWindowWidth() + ImGui::GetScrollX(),
                                           corner.y + lineHeight),
                                    kStoppedLineBack);
            // The margin: a click sets or clears a breakpoint on the line.
            if (ImGui::InvisibleButton("margin", ImVec2(lineHeight, lineHeight * 0.9f))) {
                Ask("toggleBreakpoint", json({{"path", frame.path}, {"line", number}}).dump());
                ReadBreakpointLines();
            }
            if (breakpointLines.count(number))
                draw->AddCircleFilled(
                    ImVec2(corner.x + lineHeight * 0.5f, corner.y + lineHeight * 0.45f),
                    lineHeight * 0.3f, kBreakpointDot);
            ImGui::SameLine();
            ImGui::TextDisabled("%4d", number);
            ImGui::SameLine();
            if (number == frame.line)
                ImGui::TextColored(kStoppedLineText, "%s", lines[i].c_str());
            else
                ImGui::TextUnformatted(lines[i].c_str());
            ImGui::PopID();
        }
    }
    ImGui::EndChild();
}

void DebuggerPanel::DrawStack() {
    for (int i = 0; i < static_cast<int>(frames.size()); ++i) {
        const Frame& frame = frames[i];
        const std::string label = frame.name + "  " + frame.file + ":" +
                                  std::to_string(frame.line) + "##" + std::to_string(i);
        if (ImGui::Selectable(label.c_str(), i == selected) && i != selected)
            SelectFrame(i);
    }
}

void DebuggerPanel::DrawVariable(Variable& variable, int depth) {
    const std::string label = variable.name + ": " + variable.value;
    if (variable.reference <= 0 || depth >= kMaxDepth) {
        ImGui::BulletText("%s", label.c_str());
        return;
    }
    ImGui::PushID(&variable);
    const bool expanded = ImGui::TreeNode("node", "%s", label.c_str());
    if (expanded) {
        if (!variable.loaded)
            LoadChildren(variable);
        for (Variable& child : variable.children)
            DrawVariable(child, depth + 1);
        ImGui::TreePop();
    }
    ImGui::PopID();
}

void DebuggerPanel::Draw() {
    if (!open)
        return;
    ImGui::SetNextWindowPos(ImVec2(20.0f, 40.0f), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(760.0f, 600.0f), ImGuiCond_FirstUseEver);
    if (!ImGui::Begin("Debugger")) {
        ImGui::End();
        return;
    }
    ImGui::TextWrapped("%s", description.c_str());
    if (ImGui::Button("Continue (F5)"))
        Command("continue");
    ImGui::SameLine();
    if (ImGui::Button("Step over (F10)"))
        Command("next");
    ImGui::SameLine();
    if (ImGui::Button("Step into (F11)"))
        Command("stepIn");
    ImGui::SameLine();
    if (ImGui::Button("Step out (Shift+F11)"))
        Command("stepOut");
    DrawSource();

    const float half = ImGui::GetContentRegionAvail().x * 0.4f;
    ImGui::BeginChild("stack", ImVec2(half, ImGui::GetTextLineHeightWithSpacing() * 10.0f), true);
    ImGui::TextDisabled("Call stack");
    DrawStack();
    ImGui::EndChild();
    ImGui::SameLine();
    ImGui::BeginChild("scopes", ImVec2(0, ImGui::GetTextLineHeightWithSpacing() * 10.0f), true);
    for (std::size_t i = 0; i < scopes.size(); ++i) {
        Variable& scope = scopes[i];
        ImGui::PushID(static_cast<int>(i));
        ImGui::SetNextItemOpen(i == 0, ImGuiCond_Once);
        if (ImGui::CollapsingHeader(scope.name.c_str())) {
            if (!scope.loaded)
                LoadChildren(scope);
            for (Variable& child : scope.children)
                DrawVariable(child, 1);
        }
        ImGui::PopID();
    }
    ImGui::EndChild();

    ImGui::SetNextItemWidth(-90.0f);
    // Asked every frame until the box has it: one request at a stop was lost.
    if (focusExpression)
        ImGui::SetKeyboardFocusHere();
    const bool entered = ImGui::InputText("##expression", expression, sizeof expression,
                                          ImGuiInputTextFlags_EnterReturnsTrue);
    // Enter lets go of the box; asked back at once, it has the keyboard again in the
    // next frame, in time for what is typed right after.
    if (entered)
        ImGui::SetKeyboardFocusHere(-1);
    if (ImGui::IsItemActive())
        focusExpression = false;
    ImGui::SameLine();
    if (ImGui::Button("Evaluate") || entered) {
        Evaluate();
        focusExpression = !entered;
    }
    ImGui::BeginChild("evaluations", ImVec2(0, 0), true);
    for (const std::string& line : evaluations)
        ImGui::TextUnformatted(line.c_str());
    ImGui::EndChild();
    ImGui::End();
}
