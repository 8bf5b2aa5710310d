#pragma once

#include <string>

namespace script {

// Every declared script class with its members, argument counts and types,
// as Markdown, straight from the binding tables. Needs no running engine.
std::string ApiReferenceMarkdown();

// The same as TypeScript declarations, for editors and type checks of game scripts:
// each class is an interface and a global of that type (the class object carries
// every member), with the reference's text as documentation comments.
std::string ApiReferenceTypeScript();

} // namespace script
