#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <SFML/Graphics/Text.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/System/Vector2.hpp>

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;
class WindowSystem;
struct KeyboardMessage;
namespace sf {
class Font;
class RenderWindow;
} // namespace sf

// The in-game JavaScript console: an output area at the top of the window, an
// input line near the bottom with a blinking cursor, and a history of earlier
// lines that the arrow keys recall. The backquote key shows and hides it;
// Enter runs the typed line in the script host and prints what it gave back.
//
// While hidden it draws nothing and ignores every key but the one that shows
// it. It keeps collecting what scripts print and every error report, so a
// developer who opens it after something went wrong finds the message there.
// While it is shown it holds the keyboard: the window's IsKeyDown answers false
// and readers of key messages ask the window's IsKeyboardCaptured.
class DevConsoleSystem : public Core::System, public MessageListener {
  public:
    static constexpr unsigned kCharacterSize = 17;
    static constexpr float kLineHeight = 17.0f; // output lines are exactly this far apart
    static constexpr float kLeftMargin = 30.0f;
    static constexpr float kInputBottomGap = 10.0f; // below the input line
    static constexpr const char* kFontFile = "Fonts/courierNew.ttf";
    // The backquote key; with Shift it types '~' instead.
    static constexpr std::uint32_t kToggleKey = 274;
    // Typed lines report their errors under this name, from line 1.
    static constexpr const char* kInputName = "console";
    // Bounds that keep a script printing every frame from eating memory or
    // the frame time: the oldest lines go first.
    static constexpr std::size_t kMaxOutputLines = 400;
    static constexpr std::size_t kMaxLineLength = 400;
    static constexpr std::size_t kMaxHistory = 100;
    // Output lines one notch of the mouse wheel scrolls back or forward.
    static constexpr std::uint32_t kWheelLines = 3;
    // The window's overlay layer it draws in: over the game and the tweak panels.
    static constexpr int kOverlayLayer = 1;
    // Its name among the window's keyboard holders.
    static constexpr const char* kKeyboardHolder = "console";

    explicit DevConsoleSystem(MessageManager& messages);
    ~DevConsoleSystem() override;

    void Initialize() override;
    // Lays the shown console out; the window draws it with the other tools,
    // after the game's text.
    void Update(float dt) override;
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;

    bool IsVisible() const { return visible; }
    void SetVisible(bool shown);

    // Appends text to the output, one output line per line of text; long
    // lines are cut.
    void AddOutput(const std::string& text);
    // What Enter does: echoes the line, keeps it in the history, runs it and
    // prints its value (an error is printed by the report it raises).
    void RunLine(const std::string& line);

    const std::string& GetInput() const { return input; }
    const std::string& GetOutput() const { return output; }
    std::uint32_t GetLineCount() const { return lineCount; }
    std::uint32_t GetCursorIndex() const { return cursorIndex; }
    std::uint32_t GetHistoryIndex() const { return historyIndex; }
    // How many lines the output is scrolled back from its newest line (0: at the end).
    std::uint32_t GetScrollBack() const { return scrollBack; }
    // Scrolls back (positive) or forward, within the lines there are.
    void ScrollBy(std::int32_t lines);
    const std::vector<std::string>& GetHistory() const { return history; }
    sf::Vector2f GetInputPos() const { return inputPos; }
    sf::Vector2f GetOutputPos() const { return outputPos; }
    bool IsFontLoaded() const { return fontLoaded; }

  private:
    void OnKeyPressed(const KeyboardMessage& key);
    void OnTextEntered(std::uint32_t unicode);
    void OnVideoSizeChange(std::uint32_t newWidth, std::uint32_t newHeight);
    void PlaceTexts();
    void ForgetOldestLines();
    std::uint32_t FittingLines() const;
    void Draw(sf::RenderWindow& window);

    const sf::Font* font = nullptr;
    bool fontLoaded = false;
    WindowSystem* overlayWindow = nullptr; // the window it asked to draw it and to hold keys
    sf::Text outputText, inputText, cursorText;
    sf::Text scrollText; // how far back the output is scrolled, while it is
    std::uint32_t lineCount = 0;
    std::uint32_t shownLines = 0;
    std::string output;
    std::string input;
    sf::Vector2f outputPos, inputPos, cursorPos;
    std::uint32_t cursorIndex = 0;
    sf::Clock cursorClock;
    std::uint32_t width = 1280;
    std::uint32_t height = 800;
    bool visible = false;
    bool cursorOn = true;
    std::vector<std::string> history;
    std::uint32_t historyIndex = 0;
    std::uint32_t scrollBack = 0;
};
