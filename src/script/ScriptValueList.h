#pragma once

// The conversion of lists of any length, beside the others of ScriptValue.h;
// script-layer header, included by the bindings that return such lists.

#include <string>
#include <vector>

#include "script/ScriptValue.h"

namespace script {

// A list handed to scripts as a new plain array (the objects a query found);
// each element converts on its own.
template <class T> struct Convert<std::vector<T>> {
    static std::string Name() { return "array of " + Convert<T>::Name(); }
    static std::string TsName() {
        const std::string element = TsTypeName<T>();
        return (element.find(' ') == std::string::npos ? element : "(" + element + ")") + "[]";
    }
    static bool ToScript(JSContext* cx, const std::vector<T>& list, JS::MutableHandleValue out) {
        JS::RootedValueVector values(cx);
        JS::RootedValue item(cx);
        for (const T& element : list) {
            if (!Convert<T>::ToScript(cx, element, &item))
                return false;
            if (!values.append(item)) {
                JS_ReportOutOfMemory(cx);
                return false;
            }
        }
        JSObject* array = JS::NewArrayObject(cx, values);
        if (!array)
            return false;
        out.setObject(*array);
        return true;
    }
};

} // namespace script
