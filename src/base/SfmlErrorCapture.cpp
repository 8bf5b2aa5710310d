#include "base/SfmlErrorCapture.h"

#include <SFML/System/Err.hpp>

namespace {

// Takes every character and keeps none.
class DiscardBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
};

} // namespace

SfmlErrorCapture::SfmlErrorCapture() : previous(sf::err().rdbuf(&text)) {}

SfmlErrorCapture::~SfmlErrorCapture() {
    sf::err().rdbuf(previous);
}

std::string SfmlErrorCapture::Detail() const {
    std::string said = text.str();
    for (char& c : said)
        if (c == '\n')
            c = ' ';
    while (!said.empty() && said.back() == ' ')
        said.pop_back();
    return said.empty() ? std::string() : " (SFML: " + said + ")";
}

void SfmlErrorCapture::SetDropUncaptured(bool drop) {
    static DiscardBuffer discard;
    static std::streambuf* const original = sf::err().rdbuf();
    sf::err().rdbuf(drop ? &discard : original);
}
