#pragma once

#include <string>

namespace script {

// Every declared script class with its members, argument counts and types,
// as Markdown, straight from the binding tables. Needs no running engine.
std::string ApiReferenceMarkdown();

} // namespace script
