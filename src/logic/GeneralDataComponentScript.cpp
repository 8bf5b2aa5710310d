#include "logic/GeneralDataComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<GeneralDataComponent>;
const S generalDataComponentClass("GeneralDataComponent", {},
                                  ComponentScriptOptions<GeneralDataComponent>());
} // namespace
