#include "logic/MessageDistributorComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<MessageDistributorComponent>;
const S messageDistributorComponentClass("MessageDistributorComponent", {},
                                         ComponentScriptOptions<MessageDistributorComponent>());
} // namespace
