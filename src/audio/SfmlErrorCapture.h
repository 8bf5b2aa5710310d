#pragma once

#include <sstream>
#include <streambuf>
#include <string>

// SFML explains its failures on its own error stream, line by line and without
// the caller's context. While one of these lives, that text is kept instead, so
// the engine can report one line that names the file and says why.
class SfmlErrorCapture {
  public:
    SfmlErrorCapture();
    ~SfmlErrorCapture();
    SfmlErrorCapture(const SfmlErrorCapture&) = delete;
    SfmlErrorCapture& operator=(const SfmlErrorCapture&) = delete;

    // " (SFML: ...)" with what SFML said so far, or "" when it said nothing.
    std::string Detail() const;

  private:
    std::stringbuf text;
    std::streambuf* previous;
};
