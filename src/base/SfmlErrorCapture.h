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

    // What SFML says while no capture lives is mostly about the machine ("Setting
    // vertical sync not supported"); a player's terminal need not see it. Every
    // failure the engine acts on is read through a capture, so dropping the rest
    // loses no report.
    static void SetDropUncaptured(bool drop);

  private:
    std::stringbuf text;
    std::streambuf* previous;
};
