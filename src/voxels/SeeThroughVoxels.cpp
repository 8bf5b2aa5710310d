#include "voxels/SeeThroughVoxels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

using Wide = unsigned __int128;

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

// Small digits keep every bucket's write position in the first-level cache.
constexpr int kDigitBits = 11;
constexpr std::size_t kBuckets = std::size_t(1) << kDigitBits;

int BitWidth(std::uint64_t v) {
    int width = 0;
    for (; v != 0; v >>= 1)
        ++width;
    return width;
}

} // namespace

void SeeThroughVoxels::Clear() {
    records.clear();
    tree.clear();
}

void SeeThroughVoxels::AppendInDrawOrder(std::vector<VoxelInstance>& out) {
    if (records.empty()) {
        out.insert(out.end(), tree.begin(), tree.end());
        return;
    }
    // Beyond the tree's limit: the tree holds the first records in order, so the
    // stable sort of those followed by the rest keeps every tie in arrival order.
    if (!tree.empty()) {
        records.insert(records.begin(), tree.begin(), tree.end());
        tree.clear();
    }
    SortKeys();
    out.reserve(out.size() + records.size());
    const std::uint64_t indexMask = (std::uint64_t(1) << indexBits) - 1;
    for (const std::uint64_t key : keys)
        out.push_back(records[key & indexMask]);
}

// Each record's key is its three coordinates as ordered integers (y, z, x), of which only
// the bits that differ somewhere among this frame's records matter. Those bits, the most
// significant first, and below them the record's index, make one 64-bit number; a stable
// least-significant-digit radix sort of the numbers on the coordinate bits puts them in
// draw order, equal coordinates staying in the order they came in. When the varying bits
// do not all fit, the numbers carry the leading ones and records that agree on those are
// finished by comparing their whole coordinates.
void SeeThroughVoxels::SortKeys() {
    const std::size_t n = records.size();
    keys.resize(n);
    if (n == 0)
        return;
    words.resize(n);
    std::array<std::uint32_t, 3> all = {UINT32_MAX, UINT32_MAX, UINT32_MAX}, any = {0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const glm::vec4& p = records[i].position;
        std::array<std::uint32_t, 3>& w = words[i];
        w = {OrderedBits(p.y), OrderedBits(p.z), OrderedBits(p.x)};
        for (int k = 0; k < 3; ++k) {
            all[std::size_t(k)] &= w[std::size_t(k)];
            any[std::size_t(k)] |= w[std::size_t(k)];
        }
    }
    // Per coordinate: the lowest varying bit and how many bits from there up vary.
    int low[3], width[3], total = 0;
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t varying = all[std::size_t(k)] ^ any[std::size_t(k)];
        low[k] = varying == 0 ? 0 : __builtin_ctz(varying);
        width[k] = BitWidth(varying >> low[k]);
        total += width[k];
    }
    indexBits = std::max(1, BitWidth(n - 1));
    const int kept = std::min(total, 64 - indexBits);
    const int passes = (kept + kDigitBits - 1) / kDigitBits;
    counts.assign(std::size_t(passes) * kBuckets, 0);
    scratch.resize(n);
    // The digit counts are taken while the keys are made, saving a pass over them.
    auto store = [&](std::size_t i, std::uint64_t key) {
        keys[i] = key;
        for (int d = 0; d < passes; ++d)
            ++counts[std::size_t(d) * kBuckets +
                     ((key >> (indexBits + d * kDigitBits)) & (kBuckets - 1))];
    };
    std::uint64_t masks[3];
    for (int k = 0; k < 3; ++k)
        masks[k] = (std::uint64_t(1) << width[k]) - 1;
    if (kept == total) { // the common case: whole coordinates fit in 64 bits with the index
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t packed = 0;
            for (int k = 0; k < 3; ++k)
                packed = (packed << width[k]) | ((words[i][std::size_t(k)] >> low[k]) & masks[k]);
            store(i, (packed << indexBits) | i);
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            Wide packed = 0;
            for (int k = 0; k < 3; ++k)
                packed = (packed << width[k]) | ((words[i][std::size_t(k)] >> low[k]) & masks[k]);
            store(i, (std::uint64_t(packed >> (total - kept)) << indexBits) | i);
        }
    }

    for (int d = 0; d < passes; ++d) {
        std::uint32_t* histogram = counts.data() + std::size_t(d) * kBuckets;
        const int shift = indexBits + d * kDigitBits;
        if (histogram[(keys[0] >> shift) & (kBuckets - 1)] == n)
            continue; // every key has this digit: nothing moves
        std::uint32_t offset = 0;
        for (std::size_t b = 0; b < kBuckets; ++b) {
            const std::uint32_t here = histogram[b];
            histogram[b] = offset;
            offset += here;
        }
        for (const std::uint64_t key : keys)
            scratch[histogram[(key >> shift) & (kBuckets - 1)]++] = key;
        keys.swap(scratch);
    }

    if (kept == total)
        return;
    const std::uint64_t indexMask = (std::uint64_t(1) << indexBits) - 1;
    // The index in the low bits breaks ties, so an unstable sort keeps equal ones in order.
    auto byCoordinates = [&](std::uint64_t a, std::uint64_t b) {
        const std::uint32_t* wa = words[a & indexMask].data();
        const std::uint32_t* wb = words[b & indexMask].data();
        if (wa[0] != wb[0])
            return wa[0] < wb[0];
        if (wa[1] != wb[1])
            return wa[1] < wb[1];
        if (wa[2] != wb[2])
            return wa[2] < wb[2];
        return a < b;
    };
    for (std::size_t first = 0; first < n;) {
        std::size_t last = first + 1;
        while (last < n && (keys[last] >> indexBits) == (keys[first] >> indexBits))
            ++last;
        if (last - first > 1)
            std::sort(keys.begin() + std::ptrdiff_t(first), keys.begin() + std::ptrdiff_t(last),
                      byCoordinates);
        first = last;
    }
}
