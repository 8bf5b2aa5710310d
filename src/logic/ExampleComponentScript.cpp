#include "logic/ExampleComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<ExampleComponent>;
const S exampleComponentClass("ExampleComponent", {}, ComponentScriptOptions<ExampleComponent>());
} // namespace
