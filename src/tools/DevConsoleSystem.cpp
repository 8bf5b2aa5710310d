#include "tools/DevConsoleSystem.h"

#include <algorithm>
#include <cmath>

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/View.hpp>

#include "base/Path.h"
#include "core/ListeningSystem.h"
#include "messaging/Message.h"
#include "messaging/MessagePointer.h"
#include "script/ScriptHost.h"
#include "window/KeyCodes.h"
#include "window/SfmlDrawScope.h"
#include "window/WindowSystem.h"

namespace {

constexpr bool SameName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

constexpr std::uint32_t CodeOf(const char* name) {
    for (const NamedCode& key : KeyCodeTable())
        if (SameName(key.name, name))
            return key.code;
    return kKeyNone;
}

constexpr std::uint32_t kKeyLeft = CodeOf("Left");
constexpr std::uint32_t kKeyRight = CodeOf("Right");
constexpr std::uint32_t kKeyUp = CodeOf("Up");
constexpr std::uint32_t kKeyDown = CodeOf("Down");
constexpr std::uint32_t kKeyHome = CodeOf("Home");
constexpr std::uint32_t kKeyEnd = CodeOf("End");
constexpr std::uint32_t kKeyBack = CodeOf("Back");
constexpr std::uint32_t kKeyDelete = CodeOf("Delete");
constexpr std::uint32_t kKeyReturn = CodeOf("Return");
constexpr std::uint32_t kKeyPageUp = CodeOf("PageUp");
constexpr std::uint32_t kKeyPageDown = CodeOf("PageDown");
static_assert(DevConsoleSystem::kToggleKey == CodeOf("Tilde"), "the backquote key");

constexpr float kBlinkSeconds = 0.5f;
// Dark enough to read white text over any scene, light enough to see the
// game go on behind it.
const sf::Color kBackground(0, 0, 0, 170);

// Text is kept as bytes, one character each (as scripts are read); the
// windowing library would otherwise decode it through the C locale.
sf::String Latin1(const std::string& bytes) {
    std::basic_string<sf::Uint32> chars(bytes.size(), 0);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        chars[i] = static_cast<unsigned char>(bytes[i]);
    return sf::String(chars);
}

// Printable characters a byte can hold. The backquote only ever arrives from
// the key that shows and hides the console, so it is never typed.
bool IsTypable(std::uint32_t unicode) {
    if (unicode == '`')
        return false;
    return (unicode >= 0x20 && unicode < 0x7f) || (unicode >= 0xa0 && unicode <= 0xff);
}

} // namespace

DevConsoleSystem::DevConsoleSystem(MessageManager& messages) {
    StartListening(messages, this);
    ScriptHost::Instance().AddOutputListener(this,
                                             [this](const std::string& line) { AddOutput(line); });
    PlaceTexts();
}

DevConsoleSystem::~DevConsoleSystem() {
    ScriptHost::Instance().RemoveOutputListener(this);
    if (overlayWindow != nullptr) {
        overlayWindow->SetOverlayDrawer(kOverlayLayer, nullptr);
        overlayWindow->SetKeyboardCapture(kKeyboardHolder, nullptr);
    }
}

void DevConsoleSystem::Initialize() {
    // The game's own copy of the font, else the one the engine ships.
    std::string path = std::string(kDefaultResourceFolder) + kFontFile;
    std::string problem;
    if (!IsRegularFile(ResolvePath(path), problem))
        path = std::string(GetEngineResourceFolder()) + kFontFile;
    WindowSystem* window = Core::Instance().WindowSystem_;
    if (window) {
        font = &window->GetFont(kCharacterSize, path);
        fontLoaded = window->IsFontLoaded(path);
        // Drawn by the window over everything else, the game's text included.
        overlayWindow = window;
        window->SetOverlayDrawer(kOverlayLayer, [this](sf::RenderWindow& target) {
            if (visible)
                Draw(target);
        });
        // What is typed while it is open is the console's, not the game's.
        window->SetKeyboardCapture(kKeyboardHolder, [this] { return visible; });
    }
    for (sf::Text* text : {&outputText, &inputText, &cursorText, &scrollText}) {
        if (font)
            text->setFont(*font);
        text->setCharacterSize(kCharacterSize);
        text->setFillColor(sf::Color(255, 255, 255, 255));
    }
    inputText.setStyle(sf::Text::Bold);
    cursorText.setStyle(sf::Text::Bold);
    scrollText.setFillColor(sf::Color(170, 170, 170, 255)); // a remark, not output
    cursorText.setString("_");
    // The font's own line spacing is wider; the output scrolls by whole
    // lines of exactly kLineHeight.
    if (fontLoaded)
        outputText.setLineSpacing(kLineHeight / font->getLineSpacing(kCharacterSize));
    PlaceTexts();
    cursorIndex = 0;
    cursorClock.restart();
}

// Output from the top, the input line kInputBottomGap above the bottom. Every
// line the output holds beyond what fits above the input line scrolls it up.
void DevConsoleSystem::PlaceTexts() {
    inputPos =
        sf::Vector2f(kLeftMargin, static_cast<float>(height) - kLineHeight - kInputBottomGap);
    outputPos = sf::Vector2f(kLeftMargin, 0.0f);
    shownLines = inputPos.y > 0.0f ? static_cast<std::uint32_t>(inputPos.y / kLineHeight) : 0;
    cursorPos = inputPos;
    inputText.setPosition(inputPos);
    outputText.setPosition(outputPos);
}

void DevConsoleSystem::SetVisible(bool shown) {
    visible = shown;
    cursorOn = true;
    cursorClock.restart();
}

void DevConsoleSystem::HandleMessage(const MessagePointer& message) {
    if (const auto* size = message.As<VideoSizeChangeMessage>())
        OnVideoSizeChange(size->width, size->height);
    else if (const auto* key = message.As<KeyboardMessage>())
        OnKeyPressed(*key);
    else if (const auto* text = message.As<TextEnteredMessage>())
        OnTextEntered(text->unicode);
    else if (const auto* wheel = message.As<MouseWheelMessage>(); wheel && visible)
        ScrollBy(wheel->delta * static_cast<std::int32_t>(kWheelLines));
}

std::uint32_t DevConsoleSystem::FittingLines() const {
    return inputPos.y > 0.0f ? static_cast<std::uint32_t>(inputPos.y / kLineHeight) : 0;
}

void DevConsoleSystem::ScrollBy(std::int32_t lines) {
    // The oldest line can come down to the top of the output area, no further.
    const std::uint32_t fitting = FittingLines();
    const std::int64_t most = lineCount > fitting ? lineCount - fitting : 0;
    const std::int64_t wanted = static_cast<std::int64_t>(scrollBack) + lines;
    scrollBack = static_cast<std::uint32_t>(std::clamp<std::int64_t>(wanted, 0, most));
}

void DevConsoleSystem::OnVideoSizeChange(std::uint32_t newWidth, std::uint32_t newHeight) {
    width = newWidth;
    height = newHeight;
    PlaceTexts();
}

void DevConsoleSystem::OnKeyPressed(const KeyboardMessage& key) {
    if (key.state != KS_PRESSED)
        return;
    if (key.key == kToggleKey && !key.shift && !key.ctrl && !key.alt) {
        SetVisible(!visible);
        return;
    }
    if (!visible)
        return;
    const auto length = static_cast<std::uint32_t>(input.size());
    switch (key.key) {
    case kKeyLeft:
        if (cursorIndex > 0)
            --cursorIndex;
        break;
    case kKeyRight:
        if (cursorIndex < length)
            ++cursorIndex;
        break;
    case kKeyUp:
        // Shows the entry recalled last, then steps back to an older one.
        if (!history.empty()) {
            input = history[historyIndex];
            if (historyIndex > 0)
                --historyIndex;
        }
        cursorIndex = static_cast<std::uint32_t>(input.size());
        break;
    case kKeyDown:
        if (historyIndex + 1 < history.size()) {
            ++historyIndex;
            input = history[historyIndex];
        }
        cursorIndex = static_cast<std::uint32_t>(input.size());
        break;
    case kKeyHome:
        cursorIndex = 0;
        break;
    case kKeyEnd:
        cursorIndex = length;
        break;
    case kKeyBack:
        if (cursorIndex > 0)
            input.erase(--cursorIndex, 1);
        break;
    case kKeyDelete:
        if (cursorIndex < length)
            input.erase(cursorIndex, 1);
        break;
    case kKeyPageUp:
    case kKeyPageDown: {
        // A page keeps one line of the last one in sight.
        const auto page = static_cast<std::int32_t>(std::max<std::uint32_t>(FittingLines(), 2) - 1);
        ScrollBy(key.key == kKeyPageUp ? page : -page);
        break;
    }
    case kKeyReturn: {
        const std::string line = std::move(input);
        input.clear();
        cursorIndex = 0;
        RunLine(line);
        break;
    }
    default:
        break;
    }
}

void DevConsoleSystem::OnTextEntered(std::uint32_t unicode) {
    if (!visible || !IsTypable(unicode) || input.size() >= kMaxLineLength)
        return;
    input.insert(input.begin() + cursorIndex, static_cast<char>(unicode));
    ++cursorIndex;
}

void DevConsoleSystem::RunLine(const std::string& line) {
    if (line.find_first_not_of(' ') == std::string::npos)
        return;
    scrollBack = 0; // what the line gives back is what the developer wants to see
    AddOutput("> " + line);
    history.push_back(line);
    if (history.size() > kMaxHistory)
        history.erase(history.begin());
    historyIndex = static_cast<std::uint32_t>(history.size() - 1);
    // The line may print, fail (its report reaches the output through the
    // host), hide the console or even type into it: all of that lands
    // before its value does.
    ScriptHost& host = ScriptHost::Instance();
    host.EvaluateTypedLine(line, kInputName,
                           [this](const std::string& shown) { AddOutput(shown); });
}

void DevConsoleSystem::AddOutput(const std::string& text) {
    std::size_t start = 0;
    const std::size_t end = text.size() - (!text.empty() && text.back() == '\n' ? 1 : 0);
    while (true) {
        const std::size_t stop = std::min(text.find('\n', start), end);
        std::string line = text.substr(start, stop - start);
        if (line.size() > kMaxLineLength) {
            line.resize(kMaxLineLength - 3);
            line += "...";
        }
        // A tab or a carriage return would draw as a gap or nothing.
        std::replace_if(
            line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; },
            ' ');
        output += line;
        output += '\n';
        ++lineCount;
        // Scrolled back, the lines being read stay where they are as new ones arrive.
        if (scrollBack > 0)
            ++scrollBack;
        if (stop >= end)
            break;
        start = stop + 1;
    }
    ForgetOldestLines();
}

void DevConsoleSystem::ForgetOldestLines() {
    if (lineCount <= kMaxOutputLines)
        return;
    std::size_t cut = 0;
    for (std::uint32_t dropped = lineCount - kMaxOutputLines; dropped > 0; --dropped)
        cut = output.find('\n', cut) + 1;
    output.erase(0, cut);
    lineCount = kMaxOutputLines;
    ScrollBy(0);
}

void DevConsoleSystem::Update(float) {
    if (!visible)
        return;
    // shownLines counts what the output position makes room for: at least
    // the lines that fit above the input line, more once there are more.
    const std::uint32_t fitting = FittingLines();
    const std::uint32_t wanted = std::max(fitting, lineCount);
    if (wanted != shownLines) {
        outputPos.y -= kLineHeight * (static_cast<float>(wanted) - static_cast<float>(shownLines));
        shownLines = wanted;
    }
    // Only the lines that can be seen are laid out and drawn, placed where
    // they sit in the whole output: the `fitting` lines before the last
    // `scrollBack` ones.
    std::size_t tailEnd = output.size();
    for (std::uint32_t skipped = 0; skipped < scrollBack && tailEnd > 0; ++skipped) {
        const std::size_t before =
            tailEnd >= 2 ? output.rfind('\n', tailEnd - 2) : std::string::npos;
        tailEnd = before == std::string::npos ? 0 : before + 1;
    }
    std::size_t tailStart = tailEnd;
    std::uint32_t tailLines = 0;
    while (tailLines < fitting && tailStart > 0) {
        // tailStart follows a line's '\n'; that line began after the one before.
        const std::size_t before =
            tailStart >= 2 ? output.rfind('\n', tailStart - 2) : std::string::npos;
        tailStart = before == std::string::npos ? 0 : before + 1;
        ++tailLines;
    }
    // The first drawn line is number lineCount - scrollBack - tailLines, and
    // the whole output sits scrollBack lines lower.
    outputText.setPosition(outputPos.x,
                           outputPos.y + kLineHeight * static_cast<float>(lineCount - tailLines));
    // Setting an unchanged string is cheap: the text compares before it
    // lays its glyphs out again.
    inputText.setString(Latin1(input));
    outputText.setString(Latin1(output.substr(tailStart, tailEnd - tailStart)));
    if (cursorClock.getElapsedTime().asSeconds() >= kBlinkSeconds) {
        cursorClock.restart();
        cursorOn = !cursorOn;
    }
    cursorPos = inputText.findCharacterPos(cursorIndex);
    cursorText.setPosition(cursorPos);
    if (scrollBack > 0) {
        // Right-aligned on the input line, so that nobody wonders where new output went.
        scrollText.setString("[" + std::to_string(scrollBack) + " newer lines: PageDown]");
        const sf::FloatRect bounds = scrollText.getLocalBounds();
        scrollText.setPosition(static_cast<float>(width) - kLeftMargin - bounds.width, inputPos.y);
    }
}

void DevConsoleSystem::Draw(sf::RenderWindow& window) {
    const sf::Vector2f size(static_cast<float>(width), static_cast<float>(height));
    const SfmlDrawScope drawing(window, overlayWindow->preserveOpenGLStates, size);

    sf::RectangleShape background(size);
    background.setFillColor(kBackground);
    window.draw(background);
    window.draw(outputText);
    window.draw(inputText);
    if (cursorOn)
        window.draw(cursorText);
    if (scrollBack > 0)
        window.draw(scrollText);
}
