#include "voxels/VoxFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

#include <glm/common.hpp>
#include <glm/vec3.hpp>
#include <glm/vector_relational.hpp>

namespace {

using I64 = long long;
using Vec = glm::vec<3, I64>;

constexpr I64 kMaxSide = 256;            // a voxel's coordinates are bytes
constexpr I64 kMaxTranslation = 1 << 16; // x 64 levels stays below 2^24
constexpr int kMaxDepth = 64;

// Signed permutation matrix: row i takes column axis[i], negated when sign[i] is -1.
struct Rotation {
    std::array<int, 3> axis{0, 1, 2};
    std::array<int, 3> sign{1, 1, 1};

    Vec Apply(const Vec& v) const {
        return {sign[0] * v[axis[0]], sign[1] * v[axis[1]], sign[2] * v[axis[2]]};
    }
    Rotation Then(const Rotation& inner) const { // this * inner
        Rotation r;
        for (int i = 0; i < 3; ++i) {
            r.axis[i] = inner.axis[axis[i]];
            r.sign[i] = sign[i] * inner.sign[axis[i]];
        }
        return r;
    }
};

// A translation or rotation from a scene node; nodes name their children by id.
struct Node {
    enum Kind { Transform, Group, Shape } kind = Group;
    Vec translation{0, 0, 0};
    Rotation rotation;
    bool hidden = false;
    std::vector<std::int32_t> children; // transforms have one; shapes name models here
};

struct Model {
    Vec size{0, 0, 0};
    const std::uint8_t* voxels = nullptr; // 4 bytes each: x, y, z, colour index
    std::uint32_t count = 0;
    bool hasVoxels = false;
};

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::string Printable(const std::uint8_t* id) {
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += std::isprint(id[i]) ? static_cast<char>(id[i]) : '?';
    return "'" + text + "'";
}

// Bounded reads inside one chunk's content; any read past the end sets `failed`.
struct Cursor {
    const std::uint8_t* p;
    std::size_t left;
    bool failed = false;

    std::uint32_t U() {
        if (left < 4) {
            failed = true;
            left = 0;
            return 0;
        }
        const std::uint32_t v = U32(p);
        p += 4;
        left -= 4;
        return v;
    }
    std::int32_t I() { return static_cast<std::int32_t>(U()); }
    std::string String() {
        const std::uint32_t length = U();
        if (length > left) {
            failed = true;
            left = 0;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(p), length);
        p += length;
        left -= length;
        return text;
    }
    // The keys this reader uses; the rest are read past.
    std::map<std::string, std::string> Dict() {
        std::map<std::string, std::string> dict;
        const std::uint32_t pairs = U();
        if (pairs > left / 8) { // every pair holds two lengths at least
            failed = true;
            return dict;
        }
        for (std::uint32_t i = 0; i < pairs && !failed; ++i) {
            std::string key = String();
            std::string value = String();
            if (key == "_t" || key == "_r" || key == "_hidden")
                dict[key] = value;
        }
        return dict;
    }
};

// "_r": bits 0-1 the column of row 0, bits 2-3 that of row 1, bits 4-6 the rows' signs.
// A byte that is no rotation leaves the identity.
Rotation ParseRotation(const std::string& text) {
    Rotation r;
    const long bits = std::strtol(text.c_str(), nullptr, 10);
    const int first = int(bits & 3), second = int(bits >> 2 & 3);
    if (first > 2 || second > 2 || first == second)
        return r;
    r.axis = {first, second, 3 - first - second};
    for (int i = 0; i < 3; ++i)
        r.sign[i] = (bits >> (4 + i) & 1) ? -1 : 1;
    return r;
}

// "_t": three whole numbers separated by spaces. Clamped far beyond any real scene, so
// that sums over the deepest graph allowed stay whole numbers a float holds exactly.
Vec ParseTranslation(const std::string& text) {
    Vec t{0, 0, 0};
    const char* p = text.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p)
            break;
        t[i] = std::clamp<long long>(v, -kMaxTranslation, kMaxTranslation);
        p = end;
    }
    return t;
}

I64 FloorHalf(I64 v) {
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

class VoxReader {
  public:
    VoxReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {
        std::copy(kVoxDefaultPalette, kVoxDefaultPalette + 256, palette);
    }

    bool Read(std::vector<VoxelInstance>& out, std::string& problem) {
        if (!ReadChunks() || !Place())
            return Fail(problem);
        Centre();
        out = std::move(placed);
        return true;
    }

  private:
    bool Fail(std::string& problem) {
        problem = error;
        return false;
    }
    bool Error(std::string text) {
        error = std::move(text);
        return false;
    }

    bool ReadChunks() {
        if (size < 8 || std::string(reinterpret_cast<const char*>(data), 4) != "VOX ")
            return Error(size < 8 ? "it is too short for the 'VOX ' header"
                                  : "it does not start with 'VOX '");
        std::size_t at = 8;
        if (size - at < 12 || std::string(reinterpret_cast<const char*>(data + at), 4) != "MAIN")
            return Error("no MAIN chunk follows the header at byte 8");
        const std::size_t content = U32(data + at + 4), children = U32(data + at + 8);
        if (content > size - at - 12 || children > size - at - 12 - content)
            return Error("the MAIN chunk at byte 8 claims " + std::to_string(content + children) +
                         " bytes but the file holds " + std::to_string(size - at - 12));
        const std::size_t end = at + 12 + content + children;
        at += 12 + content;
        while (at < end) {
            if (end - at < 12)
                return Error("the chunk at byte " + std::to_string(at) + " is cut off after " +
                             std::to_string(end - at) + " bytes");
            const std::uint8_t* id = data + at;
            const std::size_t n = U32(data + at + 4), m = U32(data + at + 8);
            if (n > end - at - 12 || m > end - at - 12 - n)
                return Error("chunk " + Printable(id) + " at byte " + std::to_string(at) +
                             " claims " + std::to_string(n) + " + " + std::to_string(m) +
                             " bytes but only " + std::to_string(end - at - 12) + " remain");
            if (!ReadChunk(id, data + at + 12, n, at))
                return false;
            at += 12 + n + m; // children of a MAIN child are nothing we read
        }
        return true;
    }

    bool ReadChunk(const std::uint8_t* id, const std::uint8_t* content, std::size_t n,
                   std::size_t at) {
        const std::string kind(reinterpret_cast<const char*>(id), 4);
        const std::string where = " chunk at byte " + std::to_string(at);
        if (kind == "SIZE") {
            if (n < 12)
                return Error("the SIZE" + where + " holds " + std::to_string(n) + " bytes, not 12");
            Model model;
            for (int i = 0; i < 3; ++i)
                model.size[i] = U32(content + 4 * i);
            if (glm::any(glm::lessThan(model.size, Vec(1))) ||
                glm::any(glm::greaterThan(model.size, Vec(kMaxSide))))
                return Error("the SIZE" + where + " gives " + std::to_string(model.size.x) + " x " +
                             std::to_string(model.size.y) + " x " + std::to_string(model.size.z) +
                             "; each side must be 1 to 256");
            models.push_back(model);
        } else if (kind == "XYZI") {
            if (models.empty() || models.back().hasVoxels)
                return Error("the XYZI" + where + " has no SIZE chunk before it");
            if (n < 4)
                return Error("the XYZI" + where + " is too short for its voxel count");
            const std::uint32_t count = U32(content);
            if (count > (n - 4) / 4)
                return Error("the XYZI" + where + " announces " + std::to_string(count) +
                             " voxels but holds room for " + std::to_string((n - 4) / 4));
            models.back().voxels = content + 4;
            models.back().count = count;
            models.back().hasVoxels = true;
        } else if (kind == "RGBA") {
            if (n < 1024)
                return Error("the RGBA" + where + " holds " + std::to_string(n) +
                             " bytes, not 1024");
            // Entry i of the chunk is the colour of colour index i + 1.
            for (int i = 0; i < 255; ++i)
                palette[i + 1] = U32(content + 4 * i);
        } else if (kind == "nTRN" || kind == "nGRP" || kind == "nSHP") {
            return ReadNode(kind, content, n, where);
        }
        return true; // PACK (the models are counted as they come) and unknown chunks
    }

    bool ReadNode(const std::string& kind, const std::uint8_t* content, std::size_t n,
                  const std::string& where) {
        Cursor in{content, n};
        Node node;
        const std::int32_t id = in.I();
        node.hidden = in.Dict()["_hidden"] == "1";
        if (kind == "nTRN") {
            node.kind = Node::Transform;
            node.children.push_back(in.I());
            in.I(); // reserved
            in.I(); // layer
            const std::uint32_t frames = in.U();
            if (frames > 0) { // the first frame places the node; animation is not shown
                auto frame = in.Dict();
                node.translation = ParseTranslation(frame["_t"]);
                node.rotation = ParseRotation(frame["_r"]);
            }
        } else {
            node.kind = kind == "nGRP" ? Node::Group : Node::Shape;
            const std::uint32_t count = in.U();
            if (count > in.left / 4)
                in.failed = true;
            for (std::uint32_t i = 0; i < count && !in.failed; ++i) {
                node.children.push_back(in.I());
                if (node.kind == Node::Shape)
                    in.Dict(); // model attributes
            }
        }
        if (in.failed)
            return Error("the " + kind + where + " is cut off inside its fields");
        nodes[id] = std::move(node);
        return true;
    }

    bool Place() {
        if (models.empty())
            return true;
        for (int i = 0; i < 256; ++i)
            colors[i] = glm::vec4(float(palette[i] & 0xff), float(palette[i] >> 8 & 0xff),
                                  float(palette[i] >> 16 & 0xff), float(palette[i] >> 24)) /
                        255.0f;
        for (std::size_t i = 0; i < models.size(); ++i)
            if (!models[i].hasVoxels)
                return Error("model " + std::to_string(i) + " has a SIZE chunk but no XYZI");
        // Without a scene graph a file holds one model; further ones are animation frames.
        if (nodes.find(0) == nodes.end())
            return Emit(models[0], Rotation(), Vec{0, 0, 0});
        return Visit(0, Rotation(), Vec{0, 0, 0}, 0);
    }

    bool Visit(std::int32_t id, const Rotation& rotation, const Vec& translation, int depth) {
        const auto found = nodes.find(id);
        if (found == nodes.end())
            return Error("the scene graph names node " + std::to_string(id) +
                         ", which the file does not hold");
        if (depth > kMaxDepth || ++visits > 65536)
            return Error("the scene graph is deeper than 64 nodes or visits more than 65536");
        const Node& node = found->second;
        if (node.hidden)
            return true;
        if (node.kind == Node::Transform)
            return Visit(node.children[0], rotation.Then(node.rotation),
                         translation + rotation.Apply(node.translation), depth + 1);
        for (const std::int32_t child : node.children) {
            if (node.kind == Node::Group) {
                if (!Visit(child, rotation, translation, depth + 1))
                    return false;
            } else if (child < 0 || std::size_t(child) >= models.size()) {
                return Error("shape node " + std::to_string(id) + " names model " +
                             std::to_string(child) + " of " + std::to_string(models.size()));
            } else if (!Emit(models[std::size_t(child)], rotation, translation)) {
                return false;
            }
        }
        return true;
    }

    // The model's box is centred on the translation: a voxel's offset from the centre,
    // doubled so that odd and even sizes stay whole, is turned and then halved.
    bool Emit(const Model& model, const Rotation& rotation, const Vec& translation) {
        if (placed.size() + model.count > kVoxMaxPlacedVoxels)
            return Error("the scene places more than " + std::to_string(kVoxMaxPlacedVoxels) +
                         " voxels");
        for (std::uint32_t i = 0; i < model.count; ++i) {
            const std::uint8_t* v = model.voxels + 4 * i;
            if (v[3] == 0)
                continue; // colour index 0 is empty space
            const Vec doubled{2 * I64(v[0]) + 1 - model.size.x, 2 * I64(v[1]) + 1 - model.size.y,
                              2 * I64(v[2]) + 1 - model.size.z};
            const Vec turned = rotation.Apply(doubled);
            const Vec p =
                translation + Vec{FloorHalf(turned.x), FloorHalf(turned.y), FloorHalf(turned.z)};
            VoxelInstance voxel;
            voxel.color = colors[v[3]];
            // z-up to y-up
            voxel.position = glm::vec4(float(p.x), float(p.z), float(-p.y), 1.0f);
            placed.push_back(voxel);
        }
        return true;
    }

    void Centre() {
        if (placed.empty())
            return;
        glm::vec3 low(placed[0].position), high(low);
        for (const VoxelInstance& voxel : placed) {
            low = glm::min(low, glm::vec3(voxel.position));
            high = glm::max(high, glm::vec3(voxel.position));
        }
        const glm::vec3 shift(std::floor((low.x + high.x) / 2.0f), low.y,
                              std::floor((low.z + high.z) / 2.0f));
        for (VoxelInstance& voxel : placed)
            voxel.position -= glm::vec4(shift, 0.0f);
    }

    const std::uint8_t* data;
    std::size_t size;
    std::string error;
    std::vector<Model> models;
    std::map<std::int32_t, Node> nodes;
    std::uint32_t palette[256];
    glm::vec4 colors[256];
    std::vector<VoxelInstance> placed;
    int visits = 0;
};

} // namespace

bool IsVoxFileName(const std::string& fileName) {
    if (fileName.size() < 4)
        return false;
    std::string tail = fileName.substr(fileName.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".vox";
}

bool ReadVox(const std::uint8_t* data, std::size_t size, std::vector<VoxelInstance>& voxels,
             std::string& problem) {
    return VoxReader(data, size).Read(voxels, problem);
}
