#pragma once

// The text of a scene file: JSON laid out the same way every time (two spaces
// per level, arrays of plain values on one line, keys in the order they were
// put in), so that saving a scene twice gives the same bytes and a level's
// diff in version control shows only what changed. Also the limits a file is
// checked against before it is parsed.

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace scene {

using Json = nlohmann::ordered_json;

constexpr std::size_t kMaxFileBytes = 64u << 20;
constexpr int kMaxNesting = 48;

std::string ToText(const Json& scene);
// Appends `value` as ToText lays it out `depth` levels deep, for a file
// written piece by piece.
void AppendText(const Json& value, int depth, std::string& out);

// The number a float field is saved as: the shortest decimal that reads back
// to that float, taken as a double, so that the text written is that decimal.
double ShortestFloat(float value);

// Parses `text` into `out`; false with `problem` set ("nesting deeper than 48
// at byte 120", the parser's own words) for text that is no JSON or is beyond
// the limits.
bool ParseText(const std::string& text, Json& out, std::string& problem);

// Latin-1 bytes (how engine strings hold text scripts gave) as UTF-8 and back;
// FromUtf8 is false for a character above U+00FF or malformed UTF-8.
std::string Latin1ToUtf8(const std::string& bytes);
bool Utf8ToLatin1(const std::string& text, std::string& out);

} // namespace scene
