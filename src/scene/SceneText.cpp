// How scene files are written and read as text.

#include "scene/SceneText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace scene {
namespace {

bool IsPlain(const Json& value) {
    return !value.is_object() && !value.is_array();
}

// Written by hand rather than by the library's dump: a level of thousands of
// objects is written in one go, and this is most of the time a save takes.
void AppendString(const std::string& text, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t run = 0; // start of the characters not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        out.append(text, run, i - run);
        run = i + 1;
        if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += '\\';
            out += static_cast<char>(byte);
        }
    }
    out.append(text, run, std::string::npos);
    out += '"';
}

template <class N> void AppendNumber(N number, std::string& out) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, end);
}

void AppendPlain(const Json& value, std::string& out) {
    switch (value.type()) {
    case Json::value_t::boolean:
        out += value.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
        AppendNumber(value.get<std::int64_t>(), out);
        break;
    case Json::value_t::number_unsigned:
        AppendNumber(value.get<std::uint64_t>(), out);
        break;
    case Json::value_t::number_float:
        // Shortest text that reads back to the same double; JSON has no NaN.
        // A bare "-0" reads back as the whole number 0: the sign is kept by
        // writing it as a decimal.
        if (value.get<double>() == 0.0 && std::signbit(value.get<double>()))
            out += "-0.0";
        else if (std::isfinite(value.get<double>()))
            AppendNumber(value.get<double>(), out);
        else
            out += "null";
        break;
    case Json::value_t::string:
        AppendString(value.get_ref<const std::string&>(), out);
        break;
    default:
        out += "null";
        break;
    }
}

void Append(const Json& value, int depth, std::string& out) {
    const auto indent = static_cast<std::size_t>(depth + 1) * 2;
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
            return;
        }
        // A reference ({"$object": 3}) reads best on one line.
        if (value.size() == 1 && IsPlain(value.begin().value())) {
            out += '{';
            AppendString(value.begin().key(), out);
            out += ": ";
            AppendPlain(value.begin().value(), out);
            out += '}';
            return;
        }
        out += "{\n";
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            out += first ? "" : ",\n";
            first = false;
            out.append(indent, ' ');
            AppendString(it.key(), out);
            out += ": ";
            Append(it.value(), depth + 1, out);
        }
        out += '\n';
        out.append(indent - 2, ' ');
        out += '}';
    } else if (value.is_array()) {
        if (std::all_of(value.begin(), value.end(), IsPlain)) {
            out += '[';
            bool first = true;
            for (const Json& element : value) {
                out += first ? "" : ", ";
                first = false;
                AppendPlain(element, out);
            }
            out += ']';
            return;
        }
        out += "[\n";
        bool first = true;
        for (const Json& element : value) {
            out += first ? "" : ",\n";
            first = false;
            out.append(indent, ' ');
            Append(element, depth + 1, out);
        }
        out += '\n';
        out.append(indent - 2, ' ');
        out += ']';
    } else {
        AppendPlain(value, out);
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

void AppendText(const Json& value, int depth, std::string& out) {
    Append(value, depth, out);
}

std::string ToText(const Json& scene) {
    std::string out;
    Append(scene, 0, out);
    out += "\n";
    return out;
}

double ShortestFloat(float value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    double shortest = value;
    std::from_chars(digits, end, shortest);
    return shortest;
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
