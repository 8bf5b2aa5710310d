#include "script/ScriptSyntaxCheck.h"

#include <fstream>
#include <iterator>

#include <js/CompilationAndEvaluation.h>
#include <js/SourceText.h>
#include <jsapi.h>

#include "script/ScriptHost.h"

bool CheckScriptSyntax(const std::string& path) {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (cx == nullptr || host.GetGlobal() == nullptr) {
        host.Report(path.c_str(), 0, 0, "the script engine is not running");
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        host.Report(path.c_str(), 0, 0, "cannot open the script file");
        return false;
    }
    const std::string source((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
    // One character per byte, as the host reads every script.
    std::u16string units(source.size(), u'\0');
    for (std::size_t i = 0; i < source.size(); ++i)
        units[i] = static_cast<unsigned char>(source[i]);

    JSAutoRealm realm(cx, host.GetGlobal());
    JS::SourceText<char16_t> text;
    if (!text.init(cx, units.data(), units.size(), JS::SourceOwnership::Borrowed)) {
        host.ReportPendingException();
        return false;
    }
    JS::CompileOptions options(cx);
    options.setFileAndLine(path.c_str(), 1);
    JS::RootedScript compiled(cx, JS::Compile(cx, options, text));
    if (compiled)
        return true;
    if (!host.ReportPendingException())
        host.Report(path.c_str(), 0, 0, "the script could not be compiled (out of memory)");
    return false;
}
