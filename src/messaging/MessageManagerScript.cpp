#include "messaging/MessageManager.h"

#include "script/ScriptClass.h"

// Scripts only pass the manager around (Core.messageManager); broadcasting
// goes through Core.
namespace {
using S = script::ScriptClass<MessageManager>;
const S messageManagerClass("MessageManager", {});
} // namespace
