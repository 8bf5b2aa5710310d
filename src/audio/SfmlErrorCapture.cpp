#include "audio/SfmlErrorCapture.h"

#include <SFML/System/Err.hpp>

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
