// How scene files are written and read as text.

#include "scene/SceneText.h"

#include <charconv>
#include <cstdlib>

namespace scene {
namespace {

bool IsPlain(const Json& value) {
    return !value.is_object() && !value.is_array();
}

void Append(const Json& value, int depth, std::string& out) {
    const std::string indent(static_cast<std::size_t>(depth + 1) * 2, ' ');
    const std::string closing(static_cast<std::size_t>(depth) * 2, ' ');
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
            return;
        }
        // A reference ({"$object": 3}) reads best on one line.
        if (value.size() == 1 && IsPlain(value.begin().value())) {
            out +=
                "{" + Json(value.begin().key()).dump() + ": " + value.begin().value().dump() + "}";
            return;
        }
        out += "{\n";
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            out += first ? "" : ",\n";
            first = false;
            out += indent + Json(it.key()).dump() + ": ";
            Append(it.value(), depth + 1, out);
        }
        out += "\n" + closing + "}";
    } else if (value.is_array()) {
        if (std::all_of(value.begin(), value.end(), IsPlain)) {
            out += "[";
            bool first = true;
            for (const Json& element : value) {
                out += first ? "" : ", ";
                first = false;
                out += element.dump();
            }
            out += "]";
            return;
        }
        out += "[\n";
        bool first = true;
        for (const Json& element : value) {
            out += first ? "" : ",\n";
            first = false;
            out += indent;
            Append(element, depth + 1, out);
        }
        out += "\n" + closing + "]";
    } else {
        out += value.dump();
    }
}

// Nesting counted before parsing, strings skipped, so that a hostile file
// costs no deep recursion anywhere after.
bool CheckNesting(const std::string& text, std::string& problem) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxNesting) {
                problem = "nesting deeper than " + std::to_string(kMaxNesting) + " at byte " +
                          std::to_string(i);
                return false;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

} // namespace

std::string ToText(const Json& scene) {
    std::string out;
    Append(scene, 0, out);
    out += "\n";
    return out;
}

double ShortestFloat(float value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    *result.ptr = '\0';
    return std::strtod(digits, nullptr);
}

bool ParseText(const std::string& text, Json& out, std::string& problem) {
    if (text.size() > kMaxFileBytes) {
        problem = "the file is larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    if (!CheckNesting(text, problem))
        return false;
    try {
        out = Json::parse(text);
    } catch (const Json::exception& e) {
        problem = std::string("not JSON: ") + e.what();
        return false;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

bool Utf8ToLatin1(const std::string& text, std::string& out) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            bytes += text[i];
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            bytes += static_cast<char>(((byte & 0x03) << 6) |
                                       (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            ++i;
        } else {
            return false;
        }
    }
    out = std::move(bytes);
    return true;
}

} // namespace scene
