#include "voxels/GreedyMesher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>
#include <unordered_map>

namespace {

// A cell, and a face's place within its direction, as three biased 21-bit fields of one
// key, the first lowest. Biased coordinates are never 0 or the field's maximum, so a
// step of one along a field never carries into the next one.
constexpr int kFieldBits = 21;
constexpr std::uint64_t kFieldMask = (std::uint64_t(1) << kFieldBits) - 1;
constexpr std::int64_t kBias = std::int64_t(1) << (kFieldBits - 1);
static_assert(kSurfaceMaxCoordinate + 1 < kBias, "cells must fit the key's fields");

std::uint64_t Pack(std::int64_t first, std::int64_t second, std::int64_t third) {
    return std::uint64_t(first + kBias) | std::uint64_t(second + kBias) << kFieldBits |
           std::uint64_t(third + kBias) << (2 * kFieldBits);
}
std::int64_t Field(std::uint64_t key, int index) {
    return std::int64_t(key >> (kFieldBits * index) & kFieldMask) - kBias;
}

float Channel(float value) {
    return value > 0.0f ? std::min(value, 1.0f) : 0.0f; // NaN and -0 become 0
}
// What see-through means to the renderer: anything less than fully opaque.
bool Opaque(const VoxelInstance& voxel) {
    return voxel.color.a >= 1.0f;
}

struct ColorKey {
    std::uint32_t bits[4];
    bool operator==(const ColorKey& other) const {
        return std::memcmp(bits, other.bits, sizeof bits) == 0;
    }
};
struct ColorKeyHash {
    std::size_t operator()(const ColorKey& key) const {
        std::uint64_t h = 0;
        for (std::uint32_t word : key.bits)
            h = (h ^ word) * 0x100000001b3ull;
        return std::size_t(h ^ (h >> 29));
    }
};

// A run of faces of one row being stacked onto the rectangle below it.
struct RunKey {
    std::int64_t low;
    std::int64_t high;
    std::uint32_t color;
    bool operator==(const RunKey& other) const {
        return low == other.low && high == other.high && color == other.color;
    }
};
struct RunKeyHash {
    std::size_t operator()(const RunKey& key) const {
        return std::hash<std::uint64_t>()(std::uint64_t(key.low) * 0x9e3779b97f4a7c15ull ^
                                          std::uint64_t(key.high) << 21 ^ key.color);
    }
};

struct Face {
    std::uint64_t key; // Pack(first plane axis, second plane axis, cell along the normal)
    std::uint32_t color;
};

bool CellOf(const VoxelInstance& voxel, std::size_t index, std::int64_t cell[3],
            std::string& problem) {
    for (int axis = 0; axis < 3; ++axis) {
        const float p = voxel.position[axis];
        if (!(std::fabs(double(p)) < double(kSurfaceMaxCoordinate) + 0.5)) {
            std::ostringstream text;
            text << "voxel " << index << " is at (" << voxel.position.x << ", " << voxel.position.y
                 << ", " << voxel.position.z << "), "
                 << (std::isnan(p) ? "which is not a number"
                                   : "more than " + std::to_string(kSurfaceMaxCoordinate) +
                                         " from the origin along an axis");
            problem = text.str();
            return false;
        }
        cell[axis] = std::llround(p);
    }
    return true;
}

} // namespace

glm::vec3 SurfaceQuad::Normal() const {
    glm::vec3 normal(0.0f);
    normal[axis] = positive ? 1.0f : -1.0f;
    return normal;
}

std::array<glm::vec3, 4> SurfaceQuad::Corners() const {
    const int first = (axis + 1) % 3, second = (axis + 2) % 3;
    auto at = [&](std::int64_t a, std::int64_t b) {
        glm::vec3 p;
        p[axis] = float(plane) - 0.5f;
        p[first] = float(a) - 0.5f;
        p[second] = float(b) - 0.5f;
        return p;
    };
    // first x second is the positive normal, so this order turns counter-clockwise
    // around it; the other side walks it backwards.
    if (positive)
        return {at(low[0], low[1]), at(high[0], low[1]), at(high[0], high[1]), at(low[0], high[1])};
    return {at(low[0], low[1]), at(low[0], high[1]), at(high[0], high[1]), at(high[0], low[1])};
}

bool BuildSurface(const std::vector<VoxelInstance>& voxels, std::vector<SurfaceQuad>& quads,
                  std::string& problem) {
    quads.clear();
    std::unordered_map<std::uint64_t, std::uint32_t> cells;
    cells.reserve(voxels.size());
    for (std::size_t i = 0; i < voxels.size(); ++i) {
        std::int64_t cell[3];
        if (!CellOf(voxels[i], i, cell, problem))
            return false;
        cells.insert_or_assign(Pack(cell[0], cell[1], cell[2]), std::uint32_t(i));
    }

    std::vector<glm::vec4> colors;
    std::unordered_map<ColorKey, std::uint32_t, ColorKeyHash> colorIds;
    std::vector<Face> faces[6]; // per direction: -x, +x, -y, +y, -z, +z
    for (const auto& [key, index] : cells) {
        const VoxelInstance& voxel = voxels[index];
        const glm::vec4 color(Channel(voxel.color.r), Channel(voxel.color.g),
                              Channel(voxel.color.b), Channel(voxel.color.a));
        ColorKey colorKey;
        std::memcpy(colorKey.bits, &color[0], sizeof colorKey.bits);
        const auto [found, fresh] = colorIds.try_emplace(colorKey, std::uint32_t(colors.size()));
        if (fresh)
            colors.push_back(color);
        const bool opaque = Opaque(voxel);
        const std::int64_t cell[3] = {Field(key, 0), Field(key, 1), Field(key, 2)};
        for (int direction = 0; direction < 6; ++direction) {
            const int axis = direction / 2;
            const std::uint64_t step = std::uint64_t(1) << (kFieldBits * axis);
            const auto neighbour = cells.find(direction % 2 ? key + step : key - step);
            if (neighbour != cells.end() && (!opaque || Opaque(voxels[neighbour->second])))
                continue;
            faces[direction].push_back(
                {Pack(cell[(axis + 1) % 3], cell[(axis + 2) % 3], cell[axis]), found->second});
        }
    }

    std::unordered_map<RunKey, std::size_t, RunKeyHash> below;
    for (int direction = 0; direction < 6; ++direction) {
        std::vector<Face>& list = faces[direction];
        std::sort(list.begin(), list.end(),
                  [](const Face& a, const Face& b) { return a.key < b.key; });
        std::uint64_t slice = ~std::uint64_t(0);
        for (std::size_t i = 0; i < list.size();) {
            // Rows of a slice come in order, so a rectangle that ended in an earlier row
            // than the last is found but not extended.
            if (list[i].key >> (2 * kFieldBits) != slice) {
                slice = list[i].key >> (2 * kFieldBits);
                below.clear();
            }
            std::size_t end = i + 1;
            while (end < list.size() && list[end].key == list[end - 1].key + 1 &&
                   list[end].color == list[i].color)
                ++end;
            const std::int64_t u = Field(list[i].key, 0), v = Field(list[i].key, 1);
            const RunKey run{u, u + std::int64_t(end - i), list[i].color};
            const auto open = below.find(run);
            if (open != below.end() && quads[open->second].high[1] == v) {
                quads[open->second].high[1] = v + 1;
            } else {
                SurfaceQuad quad;
                quad.axis = direction / 2;
                quad.positive = direction % 2 == 1;
                const std::int64_t cell = Field(list[i].key, 2);
                quad.plane = quad.positive ? cell + 1 : cell;
                quad.low = {run.low, v};
                quad.high = {run.high, v + 1};
                quad.color = colors[run.color];
                below[run] = quads.size();
                quads.push_back(quad);
            }
            i = end;
        }
    }
    return true;
}
