#pragma once

#include <string>

// Looks at a client's message before the adapter parses it. The adapter's parser would build a
// million-deep message in full before anything could refuse it, and a body that is not UTF-8
// cannot even be handed to it; both must still be answered with an error response.
class DebugMessageCheck {
  public:
    // Real requests nest four or five levels.
    static constexpr int kMaxNesting = 256;

    // Empty when `body` is one JSON value in UTF-8 nested at most kMaxNesting deep; otherwise
    // why not, in printable ASCII (the reason goes back to the client inside a response).
    static std::string GetProblem(const std::string& body);
};
