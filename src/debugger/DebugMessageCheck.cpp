#include "debugger/DebugMessageCheck.h"

#include <cstddef>
#include <cstdint>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

// The parser's own text quotes the bytes it stopped at, which may be the very bytes that are
// not UTF-8.
std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
            c = '?';
    return shown;
}

// Builds nothing: it only counts how deep the message goes and stops the parser at the first
// level too many, before the rest of the message is even read.
class NestingCounter : public nlohmann::json_sax<Json> {
  public:
    std::string problem;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool key(string_t&) override { return true; }
    bool start_object(std::size_t) override { return Enter(); }
    bool end_object() override { return Leave(); }
    bool start_array(std::size_t) override { return Enter(); }
    bool end_array() override { return Leave(); }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) override {
        const std::string what = error.what();
        problem = what.find("UTF-8") != std::string::npos
                      ? "the message is not valid UTF-8 (byte " + std::to_string(position) + ")"
                      : "invalid JSON: " + Printable(what);
        return false;
    }

  private:
    bool Enter() {
        if (++depth <= DebugMessageCheck::kMaxNesting)
            return true;
        problem = "the message nests deeper than the limit of " +
                  std::to_string(DebugMessageCheck::kMaxNesting) + " levels";
        return false;
    }
    bool Leave() {
        --depth;
        return true;
    }

    int depth = 0;
};

} // namespace

std::string DebugMessageCheck::GetProblem(const std::string& body) {
    NestingCounter counter;
    if (!Json::sax_parse(body, &counter) && counter.problem.empty())
        counter.problem = "invalid JSON";
    return counter.problem;
}
