#include "script/ScriptCallback.h"

#include <js/CallAndConstruct.h>
#include <jsapi.h>

#include "script/ScriptCallbackRoot.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"
#include "script/ScriptValue.h"

namespace {

std::unique_ptr<ScriptCallback::Root> CopyRoot(const std::unique_ptr<ScriptCallback::Root>& root) {
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!root || !cx)
        return nullptr;
    return std::make_unique<ScriptCallback::Root>(cx, root->value.get());
}

} // namespace

ScriptCallback::ScriptCallback() = default;
ScriptCallback::ScriptCallback(const ScriptCallback& other) : root(CopyRoot(other.root)) {}
ScriptCallback::ScriptCallback(ScriptCallback&& other) noexcept = default;
ScriptCallback& ScriptCallback::operator=(ScriptCallback&& other) noexcept = default;
ScriptCallback::~ScriptCallback() = default;

ScriptCallback& ScriptCallback::operator=(const ScriptCallback& other) {
    if (this != &other)
        root = CopyRoot(other.root);
    return *this;
}

bool ScriptCallback::IsNull() const {
    return !root || root->value.get().isNull();
}

bool ScriptCallback::IsFunction() const {
    return root && root->value.get().isObject() && JS::IsCallable(&root->value.get().toObject());
}

bool ScriptCallback::IsSame(const ScriptCallback& other) const {
    if (IsNull() || other.IsNull())
        return IsNull() && other.IsNull();
    return root->value.get() == other.root->value.get();
}

void ScriptCallback::Reset() {
    root.reset();
}

bool ScriptCallback::Call(std::initializer_list<ScriptArg> args) const {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (!cx || !IsFunction())
        return false;
    ScriptHost::Entry entry(host);

    // The callback may replace itself while it runs; keep the function here.
    JS::RootedValue function(cx, root->value.get());
    JS::RootedValueVector argv(cx);
    JS::RootedValue arg(cx);
    for (const ScriptArg& value : args) {
        if (!script::Convert<ScriptArg>::ToScript(cx, value, &arg) || !argv.append(arg)) {
            host.ReportPendingException();
            return false;
        }
    }
    JS::RootedObject global(cx, host.GetGlobal());
    JS::RootedValue result(cx);
    const bool ok = JS_CallFunctionValue(cx, global, function, argv, &result);
    size_t i = 0;
    for (const ScriptArg& value : args) {
        if (value.borrowed && argv[i].isObject())
            script::ScriptClassBase::Detach(&argv[i].toObject());
        ++i;
    }
    if (!ok) {
        if (!host.ReportPendingException())
            host.Report(nullptr, 0, 0, "a script callback was stopped (out of memory or terminated)");
        return false;
    }
    return true;
}
