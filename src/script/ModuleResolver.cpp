#include "script/ModuleResolver.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using Mode = ModuleResolver::Mode;

namespace {

// Far longer than any real path; past it the name is someone's mistake or an
// attack, and quoting it whole would bury the message.
constexpr size_t kMaxSpecifier = 4096;
constexpr size_t kMaxQuoted = 200;
// The largest package.json files on npm are a few hundred kilobytes.
constexpr std::uintmax_t kMaxPackageJson = 8u << 20;
// Real packages nest conditions two or three deep.
constexpr int kMaxExportsDepth = 32;

// Node's list, subpaths included: a package that happens to share a name like
// "events" still never replaces the built-in. A space on each side of every
// name, so that one plain search finds a whole name.
const char* const kNodeBuiltins =
    " assert assert/strict async_hooks buffer child_process cluster console constants crypto"
    " dgram diagnostics_channel dns dns/promises domain events fs fs/promises http http2"
    " https inspector inspector/promises module net os path path/posix path/win32 perf_hooks"
    " process punycode querystring readline readline/promises repl stream stream/consumers"
    " stream/promises stream/web string_decoder sys timers timers/promises tls trace_events"
    " tty url util util/types v8 vm wasi worker_threads zlib ";

// Not "node": a package's Node variant reaches for fs and the like.
bool IsActiveCondition(Mode mode, const std::string& key) {
    if (key == "default")
        return true;
    return mode == Mode::Import ? key == "import" || key == "module" : key == "require";
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Specifiers come from scripts, so they may hold anything: keep the quote
// short and printable.
std::string Quote(const std::string& s) {
    size_t length = std::min(s.size(), kMaxQuoted);
    while (length < s.size() && length > 0 &&
           (static_cast<unsigned char>(s[length]) & 0xC0) == 0x80)
        --length;
    std::string quoted = "\"";
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789abcdef";
            quoted += "\\x";
            quoted += hex[c >> 4];
            quoted += hex[c & 0xF];
        } else {
            quoted += static_cast<char>(c);
        }
    }
    if (length < s.size())
        quoted += "...";
    return quoted + "\"";
}

std::string Quote(const fs::path& p) {
    return Quote(p.string());
}

// Canonical folders and what each path is, while a ModuleResolver::Scope
// lives: a graph of 200 modules in one folder would otherwise ask the system
// about the same folder and files over a thousand times (a quarter of its
// load time).
struct ScopeCache {
    std::map<fs::path, fs::path> canonicalFolders;
    std::map<fs::path, fs::file_type> linkTypes;
};
ScopeCache* scopeCache = nullptr;
int scopes = 0;

// What the path itself is, a link not followed.
fs::file_type LinkType(const fs::path& p, std::error_code& ec) {
    if (!scopeCache)
        return fs::symlink_status(p, ec).type();
    const auto known = scopeCache->linkTypes.find(p);
    if (known != scopeCache->linkTypes.end())
        return known->second;
    const fs::file_type type = fs::symlink_status(p, ec).type();
    if (!ec)
        scopeCache->linkTypes.emplace(p, type);
    return type;
}

fs::file_type TypeOf(const fs::path& p, std::error_code& ec) {
    const fs::file_type type = LinkType(p, ec);
    return type == fs::file_type::symlink ? fs::status(p, ec).type() : type;
}

bool IsRegularFile(const fs::path& p) {
    std::error_code ec;
    return TypeOf(p, ec) == fs::file_type::regular;
}

bool IsDirectory(const fs::path& p) {
    std::error_code ec;
    return TypeOf(p, ec) == fs::file_type::directory;
}

// Without a trailing separator, so that filename() and parent_path() mean
// what they say.
fs::path Normal(const fs::path& p) {
    fs::path normal = p.lexically_normal();
    if (normal.filename().empty() && normal.has_relative_path())
        normal = normal.parent_path();
    return normal;
}

fs::path WeaklyCanonical(const fs::path& p) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(p, ec);
    return ec ? Normal(p) : canonical;
}

// One file reached through a symlinked package and through its target must
// be one module. Specifiers are joined as URLs are, by their text, and only
// then are links followed.
fs::path Canonical(const fs::path& p) {
    if (!scopeCache)
        return WeaklyCanonical(p);
    const fs::path normal = Normal(p);
    const fs::path name = normal.filename();
    std::error_code ec;
    const fs::file_type type = LinkType(normal, ec);
    if (ec || type == fs::file_type::symlink || name.empty() || name == "." || name == "..")
        return WeaklyCanonical(p);
    const fs::path parent = normal.parent_path();
    auto& folders = scopeCache->canonicalFolders;
    auto known = folders.find(parent);
    if (known == folders.end())
        known = folders.emplace(parent, WeaklyCanonical(parent)).first;
    return known->second / name;
}

std::string StringField(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A segment that would leave the package or reach into another one.
bool HasBadSegment(const std::string& path) {
    size_t start = 0;
    while (true) {
        const size_t end = path.find_first_of("/\\", start);
        std::string segment = path.substr(start, end == std::string::npos ? end : end - start);
        std::transform(segment.begin(), segment.end(), segment.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (segment.empty() || segment == "." || segment == ".." || segment == "node_modules")
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

// An encoded "/" or NUL would let a URL name a path its text does not show.
bool PercentDecode(const std::string& in, std::string& out) {
    const auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size())
            return false;
        const int high = hex(in[i + 1]), low = hex(in[i + 2]);
        if (high < 0 || low < 0)
            return false;
        const char c = static_cast<char>(high * 16 + low);
        if (c == '/' || c == '\0')
            return false;
        out += c;
        i += 2;
    }
    return true;
}

// A URL scheme of two letters or more, so that a drive letter is not one.
bool HasUrlScheme(const std::string& s) {
    const size_t colon = s.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(s[0])))
        return false;
    return std::all_of(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

struct PackageJson {
    fs::path file;
    bool exists = false;
    // Why it cannot be used; empty when it is absent or fine.
    std::string error;
    // Always an object: one that is not is as good as empty.
    Json data = Json::object();
};

// A file found while probing, or why probing had to stop; neither means
// nothing was there.
struct Probe {
    fs::path file;
    std::string error;
};

// How an "exports" target turned out. Null (the package says no) ends a
// list of fallbacks; Unmatched (no condition applies) moves on to the next.
enum class Outcome { Found, Unmatched, Null, Invalid, Failed };

ModuleResolution Failure(std::string error) {
    ModuleResolution result;
    result.error = std::move(error);
    return result;
}

// One resolution. Holds the package.json files read on the way, so that each
// is read once; nothing outlives the call, since games are reloaded and
// their packages reinstalled while the engine runs.
class Call {
  public:
    Call(const std::string& specifier, const fs::path& importer, Mode mode)
        : specifier(specifier), importer(importer), mode(mode) {}

    ModuleResolution Resolve();

    // nullopt for an extension no loader knows, or when `error` is set.
    std::optional<ModuleFormat> Format(const fs::path& file, std::string& error);

  private:
    std::string From() const { return " (imported from " + importer.string() + ")"; }
    ModuleResolution CannotImport(const std::string& why) const {
        return Failure("cannot import " + Quote(specifier) + From() + ": " + why);
    }
    ModuleResolution NotFound(const std::string& why) const {
        return Failure("cannot find module " + Quote(specifier) + From() + why);
    }

    fs::path Base() const;
    const PackageJson& Package(const fs::path& dir);
    ModuleResolution Finish(const fs::path& file, bool moduleEntry = false);
    ModuleResolution ResolvePath(const fs::path& path);
    ModuleResolution ImportFile(const fs::path& path);
    Probe ProbeFile(const fs::path& path);
    Probe ProbeIndex(const fs::path& dir);
    Probe ProbeFolder(const fs::path& dir);
    Probe ProbeRequire(const fs::path& path, bool folderOnly);
    ModuleResolution ResolveBare();
    ModuleResolution ResolveInPackage(const fs::path& dir, const std::string& name,
                                      const std::string& subpath);
    ModuleResolution ResolveExports(const PackageJson& pkg, const Json& exports,
                                    const std::string& name, const std::string& subpath);
    ModuleResolution ResolveEntry(const PackageJson& pkg, const fs::path& dir,
                                  const std::string& name);
    Outcome Target(const Json& target, const std::string* match, int depth, std::string& out,
                   std::string& why) const;

    const std::string& specifier;
    const fs::path& importer;
    const Mode mode;
    std::map<fs::path, PackageJson> packages;
};

ModuleResolution Call::Resolve() {
    if (specifier.empty())
        return Failure("cannot import an empty module name" + From());
    if (specifier.size() > kMaxSpecifier)
        return CannotImport("the name is longer than " + std::to_string(kMaxSpecifier) +
                            " characters");
    if (specifier.find('\0') != std::string::npos)
        return CannotImport("the name contains a NUL character");

    if (specifier == "marrowvale") {
        ModuleResolution result;
        result.ok = true;
        result.format = ModuleFormat::Engine;
        return result;
    }
    if (specifier == "." || specifier == ".." || StartsWith(specifier, "./") ||
        StartsWith(specifier, "../"))
        return ResolvePath(Base() / specifier);
    if (StartsWith(specifier, "/"))
        return ResolvePath(specifier);
    if (ModuleResolver::IsNodeBuiltin(specifier)) {
        ModuleResolution result;
        result.ok = true;
        result.format = ModuleFormat::NodeBuiltin;
        result.builtin = StartsWith(specifier, "node:") ? specifier.substr(5) : specifier;
        return result;
    }
    if (specifier == "node:")
        return CannotImport("\"node:\" needs the name of a built-in after it, as in \"node:fs\"");
    if (HasUrlScheme(specifier)) {
        std::string scheme = specifier.substr(0, specifier.find(':'));
        std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (scheme != "file")
            return CannotImport("only file: URLs can be imported, not " + Quote(scheme + ":"));
        std::string rest = specifier.substr(5);
        rest = rest.substr(0, rest.find_first_of("?#"));
        if (StartsWith(rest, "//")) {
            const size_t slash = rest.find('/', 2);
            const std::string host = rest.substr(2, slash == std::string::npos ? slash : slash - 2);
            if (!host.empty() && host != "localhost")
                return CannotImport("file: URLs naming another host (" + Quote(host) +
                                    ") cannot be imported");
            rest = slash == std::string::npos ? "/" : rest.substr(slash);
        }
        std::string path;
        if (!StartsWith(rest, "/") || !PercentDecode(rest, path))
            return CannotImport("not a valid file: URL");
        return ResolvePath(path);
    }
    if (specifier[0] == '#')
        return CannotImport("the package.json \"imports\" names (\"#...\") are not supported");
    return ResolveBare();
}

fs::path Call::Base() const {
    std::error_code ec;
    fs::path base = importer.empty() ? fs::current_path(ec) : fs::absolute(importer, ec);
    if (!IsDirectory(base))
        base = base.parent_path();
    return Canonical(base);
}

const PackageJson& Call::Package(const fs::path& dir) {
    auto [it, fresh] = packages.try_emplace(dir);
    PackageJson& pkg = it->second;
    if (!fresh)
        return pkg;
    pkg.file = dir / "package.json";
    const std::string shown = pkg.file.string();
    std::error_code ec;
    const fs::file_type type = TypeOf(pkg.file, ec);
    if (type == fs::file_type::not_found)
        return pkg;
    pkg.exists = true;
    if (ec) {
        pkg.error = "cannot read " + shown + ": " + ec.message();
        return pkg;
    }
    // Opening a FIFO would block the engine until something writes to it.
    if (type != fs::file_type::regular) {
        pkg.error = shown + " is not a regular file";
        return pkg;
    }
    const std::uintmax_t size = fs::file_size(pkg.file, ec);
    if (ec || size > kMaxPackageJson) {
        pkg.error =
            ec ? "cannot read " + shown + ": " + ec.message()
               : shown + " is larger than " + std::to_string(kMaxPackageJson >> 20) + " MiB";
        return pkg;
    }
    std::ifstream in(pkg.file, std::ios::binary);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (in.bad() || !in.is_open()) {
        pkg.error = "cannot read " + shown;
        return pkg;
    }
    text.resize(static_cast<size_t>(in.gcount()));
    try {
        Json data = Json::parse(text);
        if (data.is_object())
            pkg.data = std::move(data);
    } catch (const Json::exception& e) {
        // Its "[json.exception.parse_error.101] " prefix means nothing to a game's developer.
        std::string why = e.what();
        const size_t bracket = why.find("] ");
        if (StartsWith(why, "[") && bracket != std::string::npos)
            why = why.substr(bracket + 2);
        pkg.error = shown + " is not valid JSON: " + why;
    }
    return pkg;
}

std::optional<ModuleFormat> Call::Format(const fs::path& file, std::string& error) {
    const std::string extension = file.extension().string();
    // TypeScript keeps JavaScript's rule: .mts and .cts say which, and a .ts
    // file is a module (the engine has no CommonJS output to fall back on).
    if (extension == ".mjs" || extension == ".ts" || extension == ".mts")
        return ModuleFormat::EsModule;
    if (extension == ".cjs" || extension == ".cts")
        return ModuleFormat::CommonJs;
    if (extension == ".json")
        return ModuleFormat::Json;
    if (extension != ".js")
        return std::nullopt;
    // The nearest package.json decides, even one without "type"; a package
    // without one of its own does not inherit the game's.
    for (fs::path dir = Normal(file).parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (dir.filename() == "node_modules")
            break;
        const PackageJson& pkg = Package(dir);
        if (!pkg.error.empty()) {
            error = pkg.error;
            return std::nullopt;
        }
        if (pkg.exists) {
            const std::string type = StringField(pkg.data, "type");
            if (type == "module")
                return ModuleFormat::EsModule;
            if (type == "commonjs")
                return ModuleFormat::CommonJs;
            return ModuleFormat::Ambiguous;
        }
        if (dir == dir.parent_path())
            break;
    }
    return ModuleFormat::Ambiguous;
}

// `moduleEntry`: bundlers and Node agree that a package's "module" file is
// an ES module whatever its "type" says.
ModuleResolution Call::Finish(const fs::path& file, bool moduleEntry) {
    ModuleResolution result;
    result.path = Canonical(file);
    const std::string extension = result.path.extension().string();
    std::string error;
    const std::optional<ModuleFormat> format = Format(result.path, error);
    if (!error.empty())
        return CannotImport(error);
    if (extension == ".node")
        return CannotImport(Quote(result.path) +
                            " is a native Node addon, which the engine cannot load");
    if (moduleEntry && extension == ".js")
        result.format = ModuleFormat::EsModule;
    else if (format)
        result.format = *format;
    else if (mode == Mode::Require)
        result.format = ModuleFormat::CommonJs;
    else if (extension.empty())
        return CannotImport(
            Quote(result.path) +
            " has no file extension; imports need .js, .mjs, .cjs, .json, .ts, .mts or .cts");
    else
        return CannotImport("unknown file extension " + Quote(extension) + " for " +
                            Quote(result.path));
    result.ok = true;
    return result;
}

ModuleResolution Call::ResolvePath(const fs::path& path) {
    const fs::path normal = Normal(path);
    if (mode == Mode::Import)
        return ImportFile(normal);
    const Probe probe = ProbeRequire(normal, EndsWith(specifier, "/"));
    if (!probe.error.empty())
        return CannotImport(probe.error);
    if (probe.file.empty())
        return NotFound("");
    return Finish(probe.file);
}

// Imports never guess an extension, but the error points out the one that
// would have worked.
ModuleResolution Call::ImportFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_type type = TypeOf(path, ec);
    std::string stem = specifier;
    while (stem.size() > 1 && EndsWith(stem, "/"))
        stem.pop_back();
    if (type == fs::file_type::regular)
        return Finish(path);
    if (type == fs::file_type::directory) {
        if (IsRegularFile(path / "index.js"))
            return CannotImport("it is a folder; imports name a file, as in " +
                                Quote(stem + "/index.js"));
        return CannotImport("it is a folder, and imports name a file");
    }
    if (type == fs::file_type::not_found) {
        if (!EndsWith(specifier, "/")) {
            for (const char* extension : {".js", ".mjs", ".cjs", ".json", ".ts", ".mts", ".cts"}) {
                fs::path withExtension = path;
                withExtension += extension;
                if (IsRegularFile(withExtension))
                    return NotFound(": imports need the file's extension, as in " +
                                    Quote(stem + extension));
            }
        }
        if (IsRegularFile(path / "index.js"))
            return NotFound(": imports need the file's extension, as in " +
                            Quote(stem + "/index.js"));
        return NotFound("");
    }
    if (ec)
        return NotFound(": " + ec.message());
    return CannotImport(Quote(path) + " is not a regular file");
}

Probe Call::ProbeFile(const fs::path& path) {
    for (const char* extension : {"", ".js", ".json", ".cjs"}) {
        fs::path candidate = path;
        candidate += extension;
        if (IsRegularFile(candidate))
            return {candidate, {}};
    }
    return {};
}

Probe Call::ProbeIndex(const fs::path& dir) {
    for (const char* index : {"index.js", "index.json"})
        if (IsRegularFile(dir / index))
            return {dir / index, {}};
    return {};
}

// A "main" that names nothing falls back to index.js, as Node still allows.
Probe Call::ProbeFolder(const fs::path& dir) {
    if (!IsDirectory(dir))
        return {};
    const PackageJson& pkg = Package(dir);
    if (!pkg.error.empty())
        return {{}, pkg.error};
    const std::string main = StringField(pkg.data, "main");
    if (!main.empty()) {
        const fs::path target = Normal(dir / main);
        Probe probe = ProbeFile(target);
        if (probe.file.empty())
            probe = ProbeIndex(target);
        if (!probe.file.empty())
            return probe;
    }
    return ProbeIndex(dir);
}

Probe Call::ProbeRequire(const fs::path& path, bool folderOnly) {
    if (!folderOnly) {
        Probe probe = ProbeFile(path);
        if (!probe.file.empty())
            return probe;
    }
    return ProbeFolder(path);
}

ModuleResolution Call::ResolveBare() {
    size_t nameEnd = specifier.find('/');
    if (specifier[0] == '@') {
        if (nameEnd == std::string::npos || nameEnd == 1)
            return CannotImport("a scoped package name needs a scope and a name, as in "
                                "\"@scope/name\"");
        nameEnd = specifier.find('/', nameEnd + 1);
    }
    const std::string name = specifier.substr(0, nameEnd);
    const std::string subpath =
        nameEnd == std::string::npos ? "." : "." + specifier.substr(nameEnd);
    const std::string last = name.substr(name.find('/') + 1);
    // ".bin" and the like are npm's own folders, not packages.
    if (last.empty() || last[0] == '.' || (name[0] == '@' && name[1] == '.') ||
        name.find_first_of("\\%") != std::string::npos)
        return CannotImport(Quote(name) + " is not a valid package name");

    for (fs::path dir = Base(); !dir.empty(); dir = dir.parent_path()) {
        if (dir.filename() != "node_modules") {
            const fs::path candidate = dir / "node_modules" / name;
            if (IsDirectory(candidate))
                return ResolveInPackage(candidate, name, subpath);
        }
        if (dir == dir.parent_path())
            break;
    }
    return Failure("cannot find package " + Quote(name) + From() +
                   "; install it with npm, or check the name");
}

ModuleResolution Call::ResolveInPackage(const fs::path& dir, const std::string& name,
                                        const std::string& subpath) {
    const PackageJson& pkg = Package(dir);
    if (!pkg.error.empty())
        return CannotImport(pkg.error);
    ModuleResolution result;
    const auto exports = pkg.data.find("exports");
    if (exports != pkg.data.end() && !exports->is_null()) {
        result = ResolveExports(pkg, *exports, name, subpath);
    } else if (subpath != ".") {
        result = ResolvePath(dir / subpath.substr(2));
    } else {
        result = ResolveEntry(pkg, dir, name);
    }
    if (result.ok)
        result.packageName = name;
    return result;
}

ModuleResolution Call::ResolveEntry(const PackageJson& pkg, const fs::path& dir,
                                    const std::string& name) {
    Probe probe;
    if (mode == Mode::Import) {
        const std::string module = StringField(pkg.data, "module");
        if (!module.empty() && IsRegularFile(dir / module))
            return Finish(dir / module, true);
    }
    probe = ProbeFolder(dir);
    if (!probe.error.empty())
        return CannotImport(probe.error);
    if (!probe.file.empty())
        return Finish(probe.file);
    return CannotImport("package " + Quote(name) + " in " + Quote(dir) +
                        " has no entry point: neither the files its package.json names (" +
                        (mode == Mode::Import ? "\"module\", \"main\"" : "\"main\"") +
                        ") nor index.js exist");
}

ModuleResolution Call::ResolveExports(const PackageJson& pkg, const Json& exports,
                                      const std::string& name, const std::string& subpath) {
    const std::string see = " (see " + pkg.file.string() + " \"exports\")";
    bool subpaths = false;
    if (exports.is_object() && !exports.empty()) {
        subpaths = StartsWith(exports.begin().key(), ".");
        for (const auto& item : exports.items())
            if (StartsWith(item.key(), ".") != subpaths)
                return CannotImport("its keys mix subpaths (\"./...\") and conditions" + see);
    }

    const Json* target = nullptr;
    std::string match;
    bool pattern = false;
    if (!subpaths) {
        if (subpath == ".")
            target = &exports;
    } else if (const auto exact = exports.find(subpath);
               exact != exports.end() && subpath.find('*') == std::string::npos) {
        target = &*exact;
    } else {
        // The pattern with the longest part before its "*" wins, then the longest key.
        std::string best;
        for (const auto& item : exports.items()) {
            const std::string& key = item.key();
            const size_t star = key.find('*');
            if (star == std::string::npos || key.find('*', star + 1) != std::string::npos)
                continue;
            const std::string base = key.substr(0, star), trailer = key.substr(star + 1);
            if (!StartsWith(subpath, base.c_str()) || subpath == base ||
                (!trailer.empty() && (!EndsWith(subpath, trailer) || subpath.size() < key.size())))
                continue;
            const size_t bestStar = best.find('*');
            if (target && (star < bestStar || (star == bestStar && key.size() <= best.size())))
                continue;
            best = key;
            target = &item.value();
            match = subpath.substr(star, subpath.size() - star - trailer.size());
            pattern = true;
        }
    }

    const std::string notExported =
        "package " + Quote(name) + " does not export " + Quote(subpath) + see;
    if (!target)
        return CannotImport(notExported);
    if (pattern && HasBadSegment(match))
        return CannotImport(Quote(subpath) + " is not a valid subpath of package " + Quote(name));
    std::string resolved, why;
    switch (Target(*target, pattern ? &match : nullptr, 0, resolved, why)) {
    case Outcome::Unmatched:
    case Outcome::Null:
        return CannotImport(notExported);
    case Outcome::Invalid:
        return CannotImport("package " + Quote(name) + " has an invalid target " + why + " for " +
                            Quote(subpath) + see +
                            "; targets start with \"./\" and stay inside the package");
    case Outcome::Failed:
        return CannotImport(why + see);
    case Outcome::Found:
        break;
    }
    const fs::path file = Normal(pkg.file.parent_path() / resolved.substr(2));
    if (!IsRegularFile(file))
        return CannotImport("package " + Quote(name) + " exports " + Quote(subpath) + " as " +
                            Quote(resolved) + ", but " + Quote(file) + " is not a file");
    return Finish(file);
}

Outcome Call::Target(const Json& target, const std::string* match, int depth, std::string& out,
                     std::string& why) const {
    if (depth > kMaxExportsDepth) {
        why = "its conditions are nested more than " + std::to_string(kMaxExportsDepth) + " deep";
        return Outcome::Failed;
    }
    if (target.is_null())
        return Outcome::Null;
    if (target.is_string()) {
        const std::string& text = target.get_ref<const std::string&>();
        if (!StartsWith(text, "./") || HasBadSegment(text.substr(2))) {
            why = Quote(text);
            return Outcome::Invalid;
        }
        out.clear();
        for (char c : text)
            out += c == '*' && match ? *match : std::string(1, c);
        return Outcome::Found;
    }
    if (target.is_array()) {
        // Fallbacks pass over targets this engine cannot use, not over missing files.
        Outcome last = Outcome::Null;
        for (const Json& item : target) {
            const Outcome outcome = Target(item, match, depth + 1, out, why);
            if (outcome == Outcome::Invalid || outcome == Outcome::Unmatched) {
                last = outcome;
                continue;
            }
            return outcome;
        }
        return last;
    }
    if (target.is_object()) {
        for (const auto& item : target.items()) {
            if (!IsActiveCondition(mode, item.key()))
                continue;
            const Outcome outcome = Target(item.value(), match, depth + 1, out, why);
            if (outcome != Outcome::Unmatched)
                return outcome;
        }
        return Outcome::Unmatched;
    }
    why = target.dump();
    return Outcome::Invalid;
}

} // namespace

ModuleResolver::Scope::Scope() {
    if (scopes++ == 0)
        scopeCache = new ScopeCache();
}

ModuleResolver::Scope::~Scope() {
    if (--scopes == 0) {
        delete scopeCache;
        scopeCache = nullptr;
    }
}

ModuleResolution ModuleResolver::Resolve(const std::string& specifier,
                                         const std::filesystem::path& importer, Mode mode) {
    try {
        return Call(specifier, importer, mode).Resolve();
    } catch (const std::exception& e) {
        return Failure("cannot import " + Quote(specifier) + ": " + e.what());
    }
}

ModuleFormat ModuleResolver::FormatOf(const std::filesystem::path& file) {
    try {
        const std::string none;
        const fs::path noImporter;
        Call call(none, noImporter, Mode::Require);
        std::string error;
        const std::optional<ModuleFormat> format = call.Format(file, error);
        if (format)
            return *format;
        // Unreadable package.json: let the loader look at the syntax.
        return error.empty() ? ModuleFormat::CommonJs : ModuleFormat::Ambiguous;
    } catch (const std::exception&) {
        return ModuleFormat::Ambiguous;
    }
}

bool ModuleResolver::IsNodeBuiltin(const std::string& specifier) {
    if (StartsWith(specifier, "node:"))
        return specifier.size() > 5;
    return !specifier.empty() && specifier.find(' ') == std::string::npos &&
           std::string(kNodeBuiltins).find(" " + specifier + " ") != std::string::npos;
}
