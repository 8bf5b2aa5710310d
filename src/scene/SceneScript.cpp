// Script class "Scene": levels and prefabs as files, names, behaviours.

#include "scene/Scene.h"

#include <filesystem>
#include <stdexcept>

#include <js/CallAndConstruct.h>
#include <js/friend/ErrorMessages.h>
#include <jsapi.h>

#include "base/Path.h"
#include "objects/ObjectManager.h"
#include "scene/SceneSaver.h"
#include "script/ModuleLoader.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"

namespace {

using script::FilePath;
using script::OptionalArg;

void Save(FilePath path, OptionalArg<std::vector<GameObject>> objects) {
    std::string error;
    const std::vector<GameObject> list = objects.Or({});
    if (objects.value && list.empty())
        throw std::invalid_argument("an empty array saves nothing; leave it out to save every "
                                    "live object");
    if (!Scene::Instance().Save(path.path, list, error))
        throw std::runtime_error(error);
}

std::vector<GameObject> Load(FilePath path) {
    std::string error;
    std::optional<std::vector<GameObject>> made = Scene::Instance().Load(path.path, error);
    if (!made)
        throw std::runtime_error(error);
    return *made;
}

std::vector<GameObject> Spawn(FilePath path, glm::vec3 position,
                              OptionalArg<glm::quat> orientation) {
    Scene::Placement placement;
    placement.position = position;
    placement.orientation = glm::normalize(orientation.Or(placement.orientation));
    if (!std::isfinite(placement.orientation.w))
        throw std::invalid_argument("the orientation must be a quaternion of nonzero length");
    std::string error;
    std::optional<std::vector<GameObject>> made =
        Scene::Instance().Load(path.path, placement, error);
    if (!made)
        throw std::runtime_error(error);
    return *made;
}

void CheckObject(const GameObject& obj) {
    if (!ObjectManager::IsValid(obj))
        throw std::invalid_argument("the object (id " + std::to_string(obj.id) +
                                    ") no longer exists");
}

void SetName(GameObject obj, std::string name) {
    CheckObject(obj);
    Scene::Instance().SetName(obj, name);
}

std::string GetName(GameObject obj) {
    return Scene::Instance().GetName(obj);
}

std::optional<GameObject> Find(std::string name) {
    return Scene::Instance().Find(name);
}

// The folder, in the game's folder, of the script calling: a module's
// relative name starts there.
std::string CallerFolder() {
    JSContext* cx = ScriptHost::Instance().GetContext();
    JS::AutoFilename file;
    std::string relative;
    if (!cx || !JS::DescribeScriptedCaller(cx, &file) || !file.get() ||
        !scene::GameRelativeName(file.get(), relative))
        return std::string();
    return std::filesystem::path(relative).parent_path().generic_string();
}

void Attach(GameObject obj, FilePath module, OptionalArg<ScriptData> data) {
    CheckObject(obj);
    const std::string& name = module.path;
    if (name.rfind("./", 0) != 0 && name.rfind("../", 0) != 0)
        throw std::invalid_argument("the module " + name +
                                    " must be named from this script's folder (\"./door.mjs\")");
    const std::filesystem::path joined =
        (std::filesystem::path(CallerFolder()) / name).lexically_normal();
    if (joined.empty() || *joined.begin() == "..")
        throw std::invalid_argument("the module " + name + " is outside the game's folder");
    Scene::Behaviour behaviour{joined.generic_string(), data.Or(ScriptData())};
    std::string error;
    if (!Scene::Instance().Attach(obj, std::move(behaviour), error))
        throw std::runtime_error(error);
}

// Imports the module and calls its default export with (object, data).
bool RunBehaviour(const GameObject& obj, const Scene::Behaviour& behaviour, std::string& error) {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (!cx || !host.GetModules()) {
        error = "behaviours cannot run without scripts";
        return false;
    }
    const std::string file = ResolvePath(kDefaultResourceFolder + behaviour.module);
    std::string problem;
    if (!IsRegularFile(file, problem)) {
        error = "the module " + behaviour.module + " cannot be read: " + problem;
        return false;
    }
    ScriptHost::Entry entry(host);
    JS::RootedObject names(cx, host.GetModules()->Import(file));
    JS::RootedValue function(cx);
    if (!names || !JS_GetProperty(cx, names, "default", &function)) {
        host.ReportPendingException();
        error = "the module " + behaviour.module + " could not be run (reported above)";
        return false;
    }
    if (!function.isObject() || !JS::IsCallable(&function.toObject())) {
        error = "the module " + behaviour.module + " has no default export function";
        return false;
    }
    JS::RootedValueArray<2> args(cx);
    if (!script::Convert<GameObject>::ToScript(cx, obj, args[0]) ||
        !script::Convert<ScriptData>::ToScript(cx, behaviour.data, args[1])) {
        host.ReportPendingException();
        error = "out of memory";
        return false;
    }
    JS::RootedObject global(cx, host.GetGlobal());
    JS::RootedValue result(cx);
    if (!JS_CallFunctionValue(cx, global, function, args, &result)) {
        host.ReportPendingException();
        error = "the default export of " + behaviour.module + " failed (reported above)";
        return false;
    }
    return true;
}

const bool runnerSet = [] {
    Scene::Instance().SetBehaviourRunner(&RunBehaviour);
    return true;
}();

constexpr const char* kSaveNote =
    "writes the objects (every live object when left out) to a scene file, atomically: every "
    "component with every property, textures and models by file name, shapes by their sizes, "
    "`data` as JSON, names and behaviours; callbacks are not saved. A path outside the game's "
    "folders is an error";
constexpr const char* kLoadNote =
    "makes the objects of a scene file (new ids, references between them kept), initializes "
    "them, runs their behaviours and returns them in file order; a file that is not valid is an "
    "error naming the object and the property, and makes nothing. Never runs code of the file";
constexpr const char* kSpawnNote =
    "loads a scene file as Load does, its objects moved by the position and turned by the "
    "orientation (default none) about the file's origin; as often as called";
constexpr const char* kAttachNote =
    "imports a game module named from the calling script's folder (never outside the game's "
    "folder) and calls its default export with (obj, data); saved with the object and run "
    "again when a file holding it is loaded, once all its objects exist";

using S = script::ScriptClass<Scene>;
const S sceneClass(
    "Scene", {
                 S::Function<&Save>("Save").Args("path, objects").Noted(kSaveNote),
                 S::Function<&Load>("Load").Args("path").Noted(kLoadNote),
                 S::Function<&Spawn>("Spawn").Args("path, position, orientation").Noted(kSpawnNote),
                 S::Function<&SetName>("SetName")
                     .Args("obj, name")
                     .Noted("gives the object a name, saved with it; an empty name removes it"),
                 S::Function<&GetName>("GetName").Args("obj").Noted("the object's name, or \"\""),
                 S::Function<&Find>("Find").Args("name").Noted(
                     "the live object with the name and the lowest id, or null"),
                 S::Function<&Attach>("Attach").Args("obj, module, data").Noted(kAttachNote),
             });

} // namespace
