// The game's localStorage: kept in memory, read from and written to one JSON
// file in one piece.
//
// The file:
//   {"format": "marrowvale-local-storage", "version": 1, "items": [
//   ["best", "1200"],
//   ["name", [65, 110, 55296]]
//   ]}
// Each item is [key, value]. A string is written as JSON text when it is
// well-formed UTF-16; one holding a lone surrogate, which UTF-8 cannot carry,
// is written as the list of its code units, so every string comes back as
// the script stored it.

#include "script/LocalStorage.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Path.h"
#include "script/ScriptHost.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-8 of well-formed UTF-16; false, leaving `out` unfinished, at a lone surrogate.
bool ToUtf8(const std::u16string& text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(text[i])) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1]))
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (IsLowSurrogate(text[i])) {
            return false;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

// UTF-16 of UTF-8 that the JSON reader has already checked to be well-formed.
std::u16string FromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t c = length == 1   ? byte
                     : length == 2 ? byte & 0x1F
                     : length == 3 ? byte & 0x0F
                                   : byte & 0x07;
        for (int k = 1; k < length && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

Json TextToJson(const std::u16string& text) {
    std::string utf8;
    if (ToUtf8(text, utf8))
        return Json(std::move(utf8));
    Json units = Json::array();
    for (char16_t unit : text)
        units.push_back(static_cast<unsigned>(unit));
    return units;
}

// Reads a store file event by event, accepting exactly the shape written, so
// that nothing of a hostile file (deep nesting, huge lists, other shapes) is
// built before it is refused. Stops at the first thing out of place.
class StoreReader final : public nlohmann::json_sax<Json> {
  public:
    std::map<std::u16string, std::u16string> items;
    std::size_t units = 0;
    std::string problem;

    bool Complete() {
        if (problem.empty() && (!hasFormat || !hasVersion || !hasItems))
            problem = std::string("it lacks \"") +
                      (!hasFormat    ? "format"
                       : !hasVersion ? "version"
                                     : "items") +
                      "\"";
        return problem.empty();
    }

    bool null() override { return Unexpected("null"); }
    bool boolean(bool) override { return Unexpected("a boolean"); }
    bool number_integer(number_integer_t) override { return Unexpected("a negative number"); }
    bool number_float(number_float_t, const string_t&) override { return Unexpected("a fraction"); }
    bool binary(binary_t&) override { return Unexpected("binary data"); }

    bool number_unsigned(number_unsigned_t value) override {
        if (state == State::Units) {
            if (value > 0xFFFF)
                return Unexpected("a code unit above 65535");
            text += static_cast<char16_t>(value);
            return Count(1);
        }
        if (state == State::Root && rootKey == "version") {
            if (value != LocalStorage::kVersion)
                return Fail("it is of version " + std::to_string(value) +
                            ", which this engine cannot read");
            hasVersion = true;
            return true;
        }
        return Unexpected("a number");
    }

    bool string(string_t& value) override {
        if (state == State::Pair)
            return AddText(FromUtf8(value), false);
        if (state == State::Root && rootKey == "format") {
            if (value != LocalStorage::kFormat)
                return Fail("its format is \"" + value.substr(0, 40) + "\", not \"" +
                            LocalStorage::kFormat + "\"");
            hasFormat = true;
            return true;
        }
        return Unexpected("a string");
    }

    bool start_object(std::size_t) override {
        if (state != State::Start)
            return Unexpected("an object");
        state = State::Root;
        return true;
    }

    bool key(string_t& name) override {
        if (name != "format" && name != "version" && name != "items")
            return Unexpected("the key \"" + name.substr(0, 40) + "\"");
        if ((name == "format" && hasFormat) || (name == "version" && hasVersion) ||
            (name == "items" && hasItems))
            return Fail("it holds \"" + name + "\" twice");
        rootKey = name;
        return true;
    }

    bool end_object() override {
        state = State::End;
        return true;
    }

    bool start_array(std::size_t) override {
        switch (state) {
        case State::Root:
            if (rootKey != "items" || hasItems)
                return Unexpected("a list");
            hasItems = true;
            state = State::Items;
            return true;
        case State::Items:
            state = State::Pair;
            pair.clear();
            return true;
        case State::Pair:
            state = State::Units;
            text.clear();
            return true;
        default:
            return Unexpected("a list");
        }
    }

    bool end_array() override {
        switch (state) {
        case State::Items:
            state = State::Root;
            rootKey.clear();
            return true;
        case State::Pair: {
            if (pair.size() != 2)
                return Fail("it holds an item that is not [key, value]");
            if (!items.emplace(std::move(pair[0]), std::move(pair[1])).second)
                return Fail("it holds a key twice");
            state = State::Items;
            return true;
        }
        case State::Units:
            state = State::Pair;
            return AddText(std::move(text), true);
        default:
            return Unexpected("the end of a list");
        }
    }

    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& e) override {
        if (problem.empty())
            problem = std::string("it is not JSON (") + e.what() + ")";
        return false;
    }

  private:
    enum class State { Start, Root, Items, Pair, Units, End };

    bool Fail(const std::string& why) {
        if (problem.empty())
            problem = why;
        return false;
    }
    bool Unexpected(const std::string& what) {
        return Fail("it holds " + what + " where a saved store has none");
    }

    bool Count(std::size_t more) {
        units += more;
        if (units > LocalStorage::kQuotaUnits) {
            problem = "it holds more than the quota of " +
                      std::to_string(LocalStorage::kQuotaUnits) + " code units";
            return false;
        }
        return true;
    }

    // Code units written as numbers are counted one by one as they come.
    bool AddText(std::u16string value, bool counted) {
        if (pair.size() == 2)
            return Fail("it holds an item that is not [key, value]");
        const std::size_t size = value.size();
        pair.push_back(std::move(value));
        return counted || Count(size);
    }

    State state = State::Start;
    std::string rootKey;
    bool hasFormat = false, hasVersion = false, hasItems = false;
    std::vector<std::u16string> pair;
    std::u16string text;
};

} // namespace

LocalStorage& LocalStorage::Instance() {
    // Never destroyed: it is saved at exit by the handler, which may run after
    // the statics made after it are gone.
    static LocalStorage* const store = [] {
        auto* made = new LocalStorage();
        made->followsGame = true;
        std::atexit([] { Instance().Flush(); });
        return made;
    }();
    return *store;
}

LocalStorage::LocalStorage(fs::path file) : file(std::move(file)) {}

LocalStorage::~LocalStorage() {
    Flush();
}

void LocalStorage::Ready() {
    if (followsGame) {
        const std::string& now = GetSaveFolder().empty() ? GetResourceFolder() : GetSaveFolder();
        if (loaded && now == folder)
            return;
        Flush(); // the store of the folder left behind
        folder = now;
        std::error_code error;
        file = fs::absolute(fs::path(folder) / kFileName, error);
        if (error)
            file = fs::path(folder) / kFileName;
    } else if (loaded) {
        return;
    }
    Load();
}

void LocalStorage::Load() {
    loaded = true;
    changed = false;
    saveRefused = false;
    lastFailure.clear();
    items.clear();
    usedUnits = 0;
    cursorValid = false;

    std::error_code error;
    RemoveLeftovers();
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found)
        return; // a game that has stored nothing yet
    if (status.type() != fs::file_type::regular)
        return SetAside("it is not a regular file");
    const std::uintmax_t size = fs::file_size(file, error);
    if (error)
        return SetAside("its size cannot be read (" + error.message() + ")");
    if (size > kMaxFileBytes)
        return SetAside("it is " + std::to_string(size) + " bytes, more than a store of " +
                        std::to_string(kQuotaUnits) + " code units can take");
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return SetAside("it cannot be read");
    StoreReader reader;
    Json::sax_parse(bytes, &reader);
    if (!reader.Complete())
        return SetAside(reader.problem);
    for (auto& [key, value] : reader.items)
        items.emplace(key, Item{std::move(value), std::string()});
    usedUnits = reader.units;
}

void LocalStorage::RemoveLeftovers() {
    // Files a write killed half-way left beside the store ("localStorage.json.1f-2.tmp").
    const std::string prefix = file.filename().string() + ".";
    std::error_code error;
    for (fs::directory_iterator it(file.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - 4, 4, ".tmp") == 0) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

void LocalStorage::SetAside(const std::string& why) {
    std::error_code error;
    fs::path aside;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        aside = file;
        aside += attempt == 0 ? ".corrupt" : ".corrupt-" + std::to_string(attempt);
        if (!fs::exists(fs::symlink_status(aside, error)))
            break;
    }
    fs::rename(file, aside, error);
    if (error) {
        saveRefused = true;
        ScriptHost::Instance().ReportWarning(
            "localStorage: %s is not a saved store (%s) and cannot be set aside (%s); the game "
            "starts with an empty store, which is not saved",
            file.string().c_str(), why.c_str(), error.message().c_str());
        return;
    }
    ScriptHost::Instance().ReportWarning(
        "localStorage: %s is not a saved store (%s); it was set aside as %s and the game starts "
        "with an empty store",
        file.string().c_str(), why.c_str(), aside.filename().string().c_str());
}

void LocalStorage::Flush() {
    SaveChanges();
    writer.Wait();
    TakeFailure();
}

void LocalStorage::TakeFailure() {
    bool succeeded = false;
    const std::string failure = writer.TakeFailure(&succeeded);
    if (failure.empty()) {
        // A write went through: the failure is over, and one that comes back
        // is said again.
        if (succeeded)
            lastFailure.clear();
        return;
    }
    // Kept as changed, so the next frame and the exit try again.
    changed = true;
    if (failure != lastFailure) {
        lastFailure = failure;
        ScriptHost::Instance().ReportWarning("localStorage: cannot save %s: %s; trying again",
                                             file.string().c_str(), failure.c_str());
    }
}

void LocalStorage::Save() {
    TakeFailure();
    if (saveRefused || !changed)
        return;
    std::string text = "{\"format\": \"" + std::string(kFormat) +
                       "\", \"version\": " + std::to_string(kVersion) + ", \"items\": [";
    text.reserve(savedBytes);
    const char* separator = "\n";
    for (auto& [key, item] : items) {
        if (item.line.empty())
            item.line = Json::array({TextToJson(key), TextToJson(item.value)}).dump();
        text += separator;
        text += item.line;
        separator = ",\n";
    }
    text += "\n]}\n";

    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    // A link in the file's place is replaced, never followed out of the folder.
    changed = false;
    savedBytes = text.size();
    writer.Write(file, std::move(text));
}

void LocalStorage::Changed() {
    changed = true;
    cursorValid = false;
}

std::optional<std::u16string> LocalStorage::GetItem(const std::u16string& key) {
    Ready();
    const auto found = items.find(key);
    if (found == items.end())
        return std::nullopt;
    return found->second.value;
}

bool LocalStorage::SetItem(const std::u16string& key, const std::u16string& value) {
    Ready();
    const auto found = items.find(key);
    const std::size_t before = found == items.end() ? 0 : key.size() + found->second.value.size();
    if (usedUnits - before + key.size() + value.size() > kQuotaUnits)
        return false;
    if (found != items.end() && found->second.value == value)
        return true;
    usedUnits = usedUnits - before + key.size() + value.size();
    if (found != items.end())
        found->second = Item{value, std::string()};
    else
        items.emplace(key, Item{value, std::string()});
    Changed();
    return true;
}

void LocalStorage::RemoveItem(const std::u16string& key) {
    Ready();
    const auto found = items.find(key);
    if (found == items.end())
        return;
    usedUnits -= key.size() + found->second.value.size();
    items.erase(found);
    Changed();
}

void LocalStorage::Clear() {
    Ready();
    if (items.empty())
        return;
    items.clear();
    usedUnits = 0;
    Changed();
}

std::optional<std::u16string> LocalStorage::Key(std::size_t index) {
    Ready();
    if (index >= items.size())
        return std::nullopt;
    if (!cursorValid || index < cursorIndex) {
        cursor = items.begin();
        cursorIndex = 0;
        cursorValid = true;
    }
    cursor = std::next(cursor, static_cast<std::ptrdiff_t>(index - cursorIndex));
    cursorIndex = index;
    return cursor->first;
}

std::size_t LocalStorage::GetLength() {
    Ready();
    return items.size();
}

std::size_t LocalStorage::GetUsedUnits() {
    Ready();
    return usedUnits;
}
