#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <SFML/Window/Event.hpp>

// The debugger's panel in the game window, shown while a script is stopped:
// the source around the stopped line, the call stack, the scopes of the
// selected frame as a tree, an expression box and the stepping buttons. It
// asks the debugger the same requests a client would, as JSON texts.
class DebuggerPanel {
  public:
    using RequestFunction = std::function<std::string(const std::string& request)>;
    explicit DebuggerPanel(RequestFunction request);
    ~DebuggerPanel();

    // When the game stops: reads the stack and shows its top frame.
    void Open();
    // When it goes on: what was read belongs to the stop that ended.
    void Close();
    // Inside an ImGui frame.
    void Draw();
    // F5 continues, F10 steps over, F11 steps into, Shift+F11 steps out, also
    // while an expression is typed: they type nothing. True when taken.
    bool HandleKey(const sf::Event::KeyEvent& key);

    struct Frame {
        std::string name;
        std::string path;
        std::string file; // as the stop shows it
        int line = 0;
    };
    struct Variable {
        std::string name;
        std::string value;
        int reference = 0;
        bool loaded = false;
        std::vector<Variable> children;
    };
    const std::vector<Frame>& GetFrames() const { return frames; }
    const std::vector<Variable>& GetScopes() const { return scopes; }
    int GetSelectedFrame() const { return selected; }

  private:
    void Command(const char* command);
    void SelectFrame(int index);
    void LoadChildren(Variable& variable);
    void DrawSource();
    void DrawStack();
    void DrawVariable(Variable& variable, int depth);
    void Evaluate();
    const std::vector<std::string>& SourceLines(const std::string& path);
    void ReadBreakpointLines();

    struct Answer;
    Answer Ask(const std::string& command, const std::string& argumentsJson);

    RequestFunction request;
    bool open = false;
    std::string description;
    std::vector<Frame> frames;
    int selected = 0;
    std::vector<Variable> scopes;
    std::map<std::string, std::vector<std::string>> sources; // lines by path
    std::set<int> breakpointLines;
    bool scrollToLine = false;
    std::vector<std::string> evaluations; // "> expression" and result lines
    char expression[512] = {};
    // The expression box takes the keyboard in the next frame: at a stop, and
    // after an evaluation, so that the next expression can be typed at once.
    bool focusExpression = false;
};
