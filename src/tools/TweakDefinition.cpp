#include "tools/TweakDefinition.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

bool IsQuote(char c) {
    return c == '\'' || c == '"' || c == '`';
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Walks the text left to right; every Read* leaves `at` after what it read.
class Reader {
  public:
    explicit Reader(std::string_view text) : text(text) {}

    void SkipSpace() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
    }
    bool AtEnd() {
        SkipSpace();
        return at >= text.size();
    }
    bool Peek(char c) const { return at < text.size() && text[at] == c; }
    void Skip() { ++at; }
    std::size_t Position() const { return at; }

    // A quoted text, or a bare word ending at whitespace or at one of `stops`.
    bool ReadWord(std::string& word, const char* stops, std::string& error) {
        SkipSpace();
        if (at >= text.size()) {
            error = "expected a name or value at the end";
            return false;
        }
        if (IsQuote(text[at])) {
            const char quote = text[at];
            const std::size_t close = text.find(quote, at + 1);
            if (close == std::string_view::npos) {
                error = "quote opened at character " + std::to_string(at + 1) + " is not closed";
                return false;
            }
            word.assign(text.substr(at + 1, close - at - 1));
            at = close + 1;
            return true;
        }
        const std::size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])) &&
               std::strchr(stops, text[at]) == nullptr)
            ++at;
        word.assign(text.substr(start, at - start));
        if (word.empty()) {
            error = "unexpected '" + std::string(1, text[at]) + "' at character " +
                    std::to_string(at + 1);
            return false;
        }
        return true;
    }

    bool ReadKey(std::string& key, std::string& error) {
        SkipSpace();
        const std::size_t start = at;
        while (at < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_'))
            ++at;
        if (at == start) {
            error = "expected a parameter name at character " + std::to_string(start + 1);
            return false;
        }
        key = Lower(text.substr(start, at - start));
        return true;
    }

  private:
    std::string_view text;
    std::size_t at = 0;
};

struct NamedKey {
    const char* name;
    sf::Keyboard::Key key;
};

// Named keys, upper case; single characters are handled apart.
const NamedKey kNamedKeys[] = {
    {"ESC", sf::Keyboard::Escape},
    {"ESCAPE", sf::Keyboard::Escape},
    {"DELETE", sf::Keyboard::Delete},
    {"DEL", sf::Keyboard::Delete},
    {"SPACE", sf::Keyboard::Space},
    {"RETURN", sf::Keyboard::Enter},
    {"ENTER", sf::Keyboard::Enter},
    {"TAB", sf::Keyboard::Tab},
    {"BACKSPACE", sf::Keyboard::Backspace},
    {"INSERT", sf::Keyboard::Insert},
    {"HOME", sf::Keyboard::Home},
    {"END", sf::Keyboard::End},
    {"PGUP", sf::Keyboard::PageUp},
    {"PAGEUP", sf::Keyboard::PageUp},
    {"PGDOWN", sf::Keyboard::PageDown},
    {"PAGEDOWN", sf::Keyboard::PageDown},
    {"UP", sf::Keyboard::Up},
    {"DOWN", sf::Keyboard::Down},
    {"LEFT", sf::Keyboard::Left},
    {"RIGHT", sf::Keyboard::Right},
    {"PAUSE", sf::Keyboard::Pause},
};

const std::pair<char, sf::Keyboard::Key> kPunctuation[] = {
    {'[', sf::Keyboard::LBracket}, {']', sf::Keyboard::RBracket},   {';', sf::Keyboard::Semicolon},
    {',', sf::Keyboard::Comma},    {'.', sf::Keyboard::Period},     {'\'', sf::Keyboard::Quote},
    {'/', sf::Keyboard::Slash},    {'\\', sf::Keyboard::Backslash}, {'`', sf::Keyboard::Tilde},
    {'=', sf::Keyboard::Equal},    {'-', sf::Keyboard::Hyphen},     {'+', sf::Keyboard::Add},
    {'*', sf::Keyboard::Multiply},
};

std::optional<sf::Keyboard::Key> KeyFromName(std::string_view name, bool& impliesShift) {
    impliesShift = false;
    if (name.size() == 1) {
        const char c = name[0];
        if (c >= 'a' && c <= 'z')
            return static_cast<sf::Keyboard::Key>(sf::Keyboard::A + (c - 'a'));
        if (c >= 'A' && c <= 'Z') {
            impliesShift = true;
            return static_cast<sf::Keyboard::Key>(sf::Keyboard::A + (c - 'A'));
        }
        if (c >= '0' && c <= '9')
            return static_cast<sf::Keyboard::Key>(sf::Keyboard::Num0 + (c - '0'));
        for (const auto& [character, key] : kPunctuation)
            if (character == c)
                return key;
        return std::nullopt;
    }
    const std::string upper = [&] {
        std::string u(name);
        for (char& c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return u;
    }();
    for (const NamedKey& named : kNamedKeys)
        if (upper == named.name)
            return named.key;
    if (upper.size() >= 2 && upper[0] == 'F') {
        char* end = nullptr;
        const long n = std::strtol(upper.c_str() + 1, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 15)
            return static_cast<sf::Keyboard::Key>(sf::Keyboard::F1 + (n - 1));
    }
    return std::nullopt;
}

} // namespace

bool ParseTweakDefinition(std::string_view text, bool namesTarget, TweakDefinition& out,
                          std::string& error) {
    out = TweakDefinition();
    Reader reader(text);
    if (namesTarget) {
        if (reader.AtEnd()) {
            error = "the text names no bar";
            return false;
        }
        if (!reader.ReadWord(out.barName, "/", error))
            return false;
        // A message's definition follows its bar's name after a space.
        reader.SkipSpace();
        if (reader.Peek('/')) {
            reader.Skip();
            if (!reader.ReadWord(out.controlName, "", error))
                return false;
        }
    }
    while (!reader.AtEnd()) {
        std::string key, value;
        if (!reader.ReadKey(key, error))
            return false;
        reader.SkipSpace();
        if (!reader.Peek('=')) {
            error = "parameter '" + key + "' has no '=' (character " +
                    std::to_string(reader.Position() + 1) + ")";
            return false;
        }
        reader.Skip();
        if (!reader.ReadWord(value, "", error))
            return false;
        out.parameters.emplace_back(std::move(key), std::move(value));
    }
    return true;
}

std::optional<bool> ParseTweakBool(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "true" || lower == "1")
        return true;
    if (lower == "false" || lower == "0")
        return false;
    return std::nullopt;
}

std::optional<std::pair<long, long>> ParseTweakPair(std::string_view text) {
    const std::string copy(text);
    char* end = nullptr;
    const long first = std::strtol(copy.c_str(), &end, 10);
    if (end == copy.c_str())
        return std::nullopt;
    char* second_end = nullptr;
    const long second = std::strtol(end, &second_end, 10);
    if (second_end == end)
        return std::nullopt;
    while (*second_end != '\0' && std::isspace(static_cast<unsigned char>(*second_end)))
        ++second_end;
    if (*second_end != '\0')
        return std::nullopt;
    return std::make_pair(first, second);
}

std::optional<double> ParseTweakNumber(std::string_view text) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<TweakShortcut> ParseTweakShortcut(std::string_view text) {
    TweakShortcut shortcut;
    // The last piece is the key; "CTRL++" names the plus key.
    std::size_t start = 0;
    while (true) {
        const std::size_t plus = text.find('+', start);
        if (plus == std::string_view::npos || plus + 1 == text.size() || plus == start)
            break;
        const std::string modifier = Lower(text.substr(start, plus - start));
        if (modifier == "ctrl")
            shortcut.ctrl = true;
        else if (modifier == "alt")
            shortcut.alt = true;
        else if (modifier == "shift")
            shortcut.shift = true;
        else
            return std::nullopt;
        start = plus + 1;
    }
    bool impliesShift = false;
    const std::optional<sf::Keyboard::Key> key = KeyFromName(text.substr(start), impliesShift);
    if (!key)
        return std::nullopt;
    shortcut.key = *key;
    shortcut.shift = shortcut.shift || impliesShift;
    return shortcut;
}

bool TweakShortcut::Matches(const sf::Event::KeyEvent& event) const {
    return event.code == key && event.control == ctrl && event.alt == alt && event.shift == shift;
}
