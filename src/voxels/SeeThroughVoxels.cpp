#include "voxels/SeeThroughVoxels.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

// Unsigned integers in the order TransparentVoxelOrder gives the floats: -0 equals +0,
// every NaN equals every other NaN and follows everything else.
std::uint32_t OrderedBits(float value) {
    if (std::isnan(value))
        return UINT32_MAX;
    if (value == 0.0f)
        value = 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

// The key is sorted in nine digits of at most 11 bits, least significant first: x, then
// z, then y, each from its low bits up.
constexpr int kDigits = 9;
constexpr int kDigitBits = 11;
constexpr std::size_t kBuckets = std::size_t(1) << kDigitBits;

template <class Key> std::uint32_t Digit(const Key& key, int digit) {
    const std::uint32_t word = digit < 3 ? key.x : digit < 6 ? key.z : key.y;
    return (word >> (kDigitBits * (digit % 3))) & (kBuckets - 1);
}

} // namespace

void SeeThroughVoxels::Clear() {
    records.clear();
    tree.clear();
}

void SeeThroughVoxels::AppendInDrawOrder(std::vector<VoxelInstance>& out) {
    if (useTree) {
        out.insert(out.end(), tree.begin(), tree.end());
        return;
    }
    SortKeys();
    const std::size_t start = out.size();
    out.resize(start + records.size());
    VoxelInstance* target = out.data() + start;
    for (const Key& key : keys)
        *target++ = records[key.index];
}

void SeeThroughVoxels::SortKeys() {
    const std::size_t n = records.size();
    keys.resize(n);
    if (n == 0)
        return;
    scratch.resize(n);
    std::vector<std::array<std::uint32_t, kBuckets>> counts(kDigits);
    for (auto& histogram : counts)
        histogram.fill(0);
    for (std::size_t i = 0; i < n; ++i) {
        const glm::vec4& p = records[i].position;
        Key& key = keys[i];
        key = {OrderedBits(p.x), OrderedBits(p.z), OrderedBits(p.y), std::uint32_t(i)};
        for (int d = 0; d < kDigits; ++d)
            ++counts[std::size_t(d)][Digit(key, d)];
    }
    // Least significant digit first; each pass is stable, so equal keys keep the order
    // they were added in. A digit every key shares moves nothing and is skipped.
    for (int d = 0; d < kDigits; ++d) {
        auto& histogram = counts[std::size_t(d)];
        if (histogram[Digit(keys[0], d)] == n)
            continue;
        std::uint32_t offset = 0;
        for (std::uint32_t& count : histogram) {
            const std::uint32_t here = count;
            count = offset;
            offset += here;
        }
        for (const Key& key : keys)
            scratch[histogram[Digit(key, d)]++] = key;
        keys.swap(scratch);
    }
}
