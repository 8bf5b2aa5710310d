#include "physics/RayTestResult.h"

#include "script/ScriptClass.h"

namespace {

script::ClassOptions<RayTestResult> ResultOptions() {
    script::ClassOptions<RayTestResult> options;
    options.release = [](RayTestResult* result) { delete result; };
    return options;
}

using S = script::ScriptClass<RayTestResult>;
const S rayTestResultClass("RayTestResult",
                           {
                               S::Property<&RayTestResult::intersection>("intersection"),
                               S::Property<&RayTestResult::object>("object"),
                           },
                           ResultOptions());

} // namespace
