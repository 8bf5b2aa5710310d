#include "voxels/VoxFormat.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <unordered_map>

#include <glm/common.hpp>
#include <glm/vec3.hpp>

// The .vox writer: one model, its own palette.
namespace {

using I64 = long long;
using Vec = glm::vec<3, I64>;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

std::uint8_t ColorByte(float channel) {
    if (!(channel > 0.0f))
        return 0; // and NaN
    return static_cast<std::uint8_t>(std::lround(std::min(channel, 1.0f) * 255.0f));
}

// The 255 commonest colours (first seen first among equals) and, per colour, its entry.
std::vector<std::uint32_t> BuildPalette(const std::vector<std::uint32_t>& colors,
                                        std::unordered_map<std::uint32_t, std::uint8_t>& entry) {
    std::vector<std::uint32_t> order;
    std::unordered_map<std::uint32_t, std::size_t> uses;
    for (const std::uint32_t c : colors)
        if (uses[c]++ == 0)
            order.push_back(c);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return uses[a] > uses[b]; });
    std::vector<std::uint32_t> palette(order.begin(),
                                       order.begin() + std::min<std::size_t>(order.size(), 255));
    auto distance = [](std::uint32_t a, std::uint32_t b) {
        long sum = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const long d = long(a >> shift & 0xff) - long(b >> shift & 0xff);
            sum += d * d;
        }
        return sum;
    };
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i < palette.size()) {
            entry[order[i]] = static_cast<std::uint8_t>(i);
            continue;
        }
        std::size_t best = 0;
        for (std::size_t k = 1; k < palette.size(); ++k)
            if (distance(order[i], palette[k]) < distance(order[i], palette[best]))
                best = k;
        entry[order[i]] = static_cast<std::uint8_t>(best);
    }
    return palette;
}

} // namespace

bool WriteVox(const std::vector<VoxelInstance>& voxels, std::vector<std::uint8_t>& bytes,
              std::string& problem) {
    // Cells in the file's axes (x, -z, y), one per position; a later voxel recolours.
    std::vector<Vec> cells;
    std::vector<std::uint32_t> colors;
    std::map<std::array<I64, 3>, std::size_t> index;
    for (std::size_t i = 0; i < voxels.size(); ++i) {
        const glm::vec4& p = voxels[i].position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) ||
            std::fabs(p.x) > 1e9f || std::fabs(p.y) > 1e9f || std::fabs(p.z) > 1e9f) {
            problem = "voxel " + std::to_string(i) + " has a position that is not a usable number";
            return false;
        }
        const Vec cell{std::llround(p.x), -std::llround(p.z), std::llround(p.y)};
        const glm::vec4& c = voxels[i].color;
        const std::uint32_t rgba =
            std::uint32_t(ColorByte(c.r)) | std::uint32_t(ColorByte(c.g)) << 8 |
            std::uint32_t(ColorByte(c.b)) << 16 | std::uint32_t(ColorByte(c.a)) << 24;
        const auto [at, fresh] = index.try_emplace({cell.x, cell.y, cell.z}, cells.size());
        if (fresh) {
            cells.push_back(cell);
            colors.push_back(rgba);
        } else {
            colors[at->second] = rgba;
        }
    }
    Vec low{0, 0, 0}, high{0, 0, 0};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        low = i == 0 ? cells[i] : glm::min(low, cells[i]);
        high = i == 0 ? cells[i] : glm::max(high, cells[i]);
    }
    const Vec extent = high - low + Vec{1, 1, 1};
    if (extent.x > 256 || extent.y > 256 || extent.z > 256) {
        problem = "the model spans " + std::to_string(extent.x) + " x " + std::to_string(extent.z) +
                  " x " + std::to_string(extent.y) +
                  " voxels (x, y, z); a .vox model holds at most 256 along each axis";
        return false;
    }

    std::unordered_map<std::uint32_t, std::uint8_t> entry;
    const std::vector<std::uint32_t> palette = BuildPalette(colors, entry);

    const std::uint32_t xyziBytes = 4 + 4 * static_cast<std::uint32_t>(cells.size());
    bytes.clear();
    bytes.reserve(20 + 24 + 12 + xyziBytes + 12 + 1024);
    PutId(bytes, "VOX ");
    PutU32(bytes, 150);
    PutId(bytes, "MAIN");
    PutU32(bytes, 0);
    PutU32(bytes, 24 + 12 + xyziBytes + 12 + 1024);
    PutId(bytes, "SIZE");
    PutU32(bytes, 12);
    PutU32(bytes, 0);
    for (int axis = 0; axis < 3; ++axis)
        PutU32(bytes, static_cast<std::uint32_t>(extent[axis]));
    PutId(bytes, "XYZI");
    PutU32(bytes, xyziBytes);
    PutU32(bytes, 0);
    PutU32(bytes, static_cast<std::uint32_t>(cells.size()));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Vec v = cells[i] - low;
        bytes.push_back(static_cast<std::uint8_t>(v.x));
        bytes.push_back(static_cast<std::uint8_t>(v.y));
        bytes.push_back(static_cast<std::uint8_t>(v.z));
        bytes.push_back(static_cast<std::uint8_t>(entry[colors[i]] + 1));
    }
    PutId(bytes, "RGBA");
    PutU32(bytes, 1024);
    PutU32(bytes, 0);
    for (std::size_t i = 0; i < 256; ++i)
        PutU32(bytes, i < palette.size() ? palette[i] : 0u);
    return true;
}
