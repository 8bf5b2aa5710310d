#include "voxels/VoxelModel.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "base/AtomicFile.h"
#include "base/Path.h"
#include "base/Random.h"
#include "base/WritableFolders.h"
#include "voxels/VoxFormat.h"

namespace {

constexpr std::size_t kRecordBytes = 32;
constexpr std::size_t kHeaderBytes = 4;
// Records are read in slices of this many, so memory follows the data actually present
// and never the count a file claims.
constexpr std::size_t kRecordsPerRead = 4096;

std::uint32_t DecodeU32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

void EncodeU32(std::uint32_t value, unsigned char* bytes) {
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

float DecodeFloat(const unsigned char* bytes) {
    const std::uint32_t bits = DecodeU32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void EncodeFloat(float value, unsigned char* bytes) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    EncodeU32(bits, bytes);
}

VoxelInstance DecodeRecord(const unsigned char* record) {
    VoxelInstance voxel;
    for (int i = 0; i < 4; ++i) {
        voxel.color[i] = DecodeFloat(record + 4 * i);
        voxel.position[i] = DecodeFloat(record + 16 + 4 * i);
    }
    voxel.orientation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    return voxel;
}

void EncodeRecord(const VoxelInstance& voxel, unsigned char* record) {
    for (int i = 0; i < 4; ++i) {
        EncodeFloat(voxel.color[i], record + 4 * i);
        EncodeFloat(voxel.position[i], record + 16 + 4 * i);
    }
}

} // namespace

bool VoxelModel::LoadFromFile(const std::string& fileName) {
    const std::string path = ResolvePath(fileName);
    std::string problem;
    if (!IsRegularFile(path, problem)) {
        std::cerr << "Cannot load voxel model " << fileName << ": " << problem << ".\n";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file.good()) {
        std::cerr << "Cannot load voxel model " << fileName << ": cannot open it ("
                  << std::strerror(errno) << ").\n";
        return false;
    }
    if (IsVoxFileName(fileName)) {
        // The whole file, so every size the file claims is checked against what it holds.
        std::vector<std::uint8_t> bytes;
        std::error_code sizeError;
        bytes.resize(static_cast<std::size_t>(std::filesystem::file_size(path, sizeError)));
        file.read(reinterpret_cast<char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(file.gcount()));
        std::vector<VoxelInstance> loaded;
        if (sizeError || file.bad() || !ReadVox(bytes.data(), bytes.size(), loaded, problem)) {
            std::cerr << "Cannot load voxel model " << fileName << ": "
                      << (sizeError || file.bad() ? std::string("reading failed") : problem)
                      << "; the model is unchanged.\n";
            return false;
        }
        voxels = std::move(loaded);
        MarkChanged();
        return true;
    }

    unsigned char header[kHeaderBytes];
    file.read(reinterpret_cast<char*>(header), kHeaderBytes);
    if (file.gcount() != static_cast<std::streamsize>(kHeaderBytes)) {
        std::cerr << "Voxel model " << fileName << " is " << file.gcount()
                  << " bytes long, too short to hold a voxel count; not loaded.\n";
        return false;
    }
    const std::uint32_t count = DecodeU32(header);

    std::vector<VoxelInstance> loaded;
    std::error_code sizeError;
    const auto fileSize = std::filesystem::file_size(path, sizeError);
    if (!sizeError && fileSize >= kHeaderBytes)
        loaded.reserve(std::min<std::uintmax_t>(
            count, (fileSize - kHeaderBytes + kRecordBytes - 1) / kRecordBytes));
    else
        loaded.reserve(std::min<std::size_t>(count, kRecordsPerRead));

    std::vector<unsigned char> slice(kRecordsPerRead * kRecordBytes);
    std::uint64_t dataBytes = 0;
    while (loaded.size() < count) {
        const std::size_t wanted = std::min<std::size_t>(count - loaded.size(), kRecordsPerRead);
        file.read(reinterpret_cast<char*>(slice.data()),
                  static_cast<std::streamsize>(wanted * kRecordBytes));
        const auto got = static_cast<std::size_t>(file.gcount());
        dataBytes += got;
        // A record cut off by the end of the file reads its missing bytes as zero.
        const std::size_t records = (got + kRecordBytes - 1) / kRecordBytes;
        std::fill(slice.begin() + got, slice.begin() + records * kRecordBytes, 0);
        for (std::size_t i = 0; i < records; ++i)
            loaded.push_back(DecodeRecord(slice.data() + i * kRecordBytes));
        if (got < wanted * kRecordBytes)
            break;
    }

    if (loaded.size() < count || dataBytes % kRecordBytes != 0) {
        std::cerr << "Voxel model " << fileName << " announces " << count
                  << " voxels but holds data for " << dataBytes / kRecordBytes << " (" << dataBytes
                  << " bytes after the count); loaded " << loaded.size()
                  << (dataBytes % kRecordBytes != 0 ? ", the last one completed with zeros" : "")
                  << ".\n";
    }
    voxels = std::move(loaded);
    MarkChanged();
    return true;
}

bool VoxelModel::SaveToFile(const std::string& fileName) const {
    namespace fs = std::filesystem;
    const fs::path target = ResolveWritePath(fileName);
    if (std::string outside; !IsWritablePath(target, outside)) {
        std::cerr << "Cannot save voxel model " << fileName << ": " << outside
                  << "; nothing was written.\n";
        return false;
    }

    std::vector<unsigned char> bytes;
    if (IsVoxFileName(fileName)) {
        std::string problem;
        if (!WriteVox(voxels, bytes, problem)) {
            std::cerr << "Cannot save voxel model " << fileName << ": " << problem
                      << "; nothing was written.\n";
            return false;
        }
    } else {
        if (voxels.size() > std::numeric_limits<std::uint32_t>::max()) {
            std::cerr << "Cannot save voxel model " << fileName << ": " << voxels.size()
                      << " voxels do not fit the file's 32-bit count.\n";
            return false;
        }
        bytes.resize(kHeaderBytes + voxels.size() * kRecordBytes);
        EncodeU32(static_cast<std::uint32_t>(voxels.size()), bytes.data());
        for (std::size_t i = 0; i < voxels.size(); ++i)
            EncodeRecord(voxels[i], bytes.data() + kHeaderBytes + i * kRecordBytes);
    }

    AtomicFile file;
    const bool written = file.Write(target, bytes.data(), bytes.size());
    if (!written && !file.IsCreated()) {
        std::cerr << "Cannot save voxel model " << fileName
                  << ": cannot create a file in its folder (" << file.GetReason() << ").\n";
        return false;
    }
    if (!written || !file.Commit()) {
        std::cerr << "Cannot save voxel model " << fileName << ": " << file.GetReason()
                  << "; the previous file, if any, is unchanged.\n";
        return false;
    }
    return true;
}

namespace {
std::size_t sharedModels = 0;
}

VoxelModel* VoxelModel::NewShared() {
    auto* model = new VoxelModel;
    model->holding.MakeShared(sharedModels);
    return model;
}

std::size_t VoxelModel::GetSharedModelCount() {
    return sharedModels;
}

void VoxelModel::AddHolder() {
    holding.Add();
}

void VoxelModel::RemoveHolder() {
    if (holding.Remove())
        delete this;
}

void VoxelModel::CheckIndex(std::size_t index) const {
    if (index >= voxels.size())
        throw std::out_of_range("voxel index " + std::to_string(index) +
                                " is out of range; the model has " + std::to_string(voxels.size()) +
                                " voxels");
}

void VoxelModel::AddVoxel(const glm::vec3& position, const glm::vec4& color) {
    VoxelInstance voxel;
    voxel.color = color;
    voxel.position = glm::vec4(position, 1.0f);
    voxels.push_back(voxel);
    MarkChanged();
}

void VoxelModel::SetVoxel(std::size_t index, const glm::vec3& position, const glm::vec4& color) {
    CheckIndex(index);
    voxels[index].color = color;
    voxels[index].position = glm::vec4(position, 1.0f);
    voxels[index].orientation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    MarkChanged();
}

void VoxelModel::RemoveVoxel(std::size_t index) {
    CheckIndex(index);
    voxels.erase(voxels.begin() + static_cast<std::ptrdiff_t>(index));
    MarkChanged();
}

const VoxelInstance& VoxelModel::GetVoxel(std::size_t index) const {
    CheckIndex(index);
    return voxels[index];
}

RandomBrightness::RandomBrightness(const glm::vec3& color, int min, int max) : min(min), max(max) {
    const float high = std::max({color.r, color.g, color.b});
    const float low = std::min({color.r, color.g, color.b});
    const float delta = high - low;
    saturation = high == 0.0f ? 0.0f : delta / high;
    if (delta == 0.0f) {
        hue = 0.0f;
    } else if (high == color.r) {
        hue = 60.0f * (color.g - color.b) / delta;
    } else if (high == color.g) {
        hue = 60.0f * (color.b - color.r) / delta + 120.0f;
    } else {
        hue = 60.0f * (color.r - color.g) / delta + 240.0f;
    }
    if (hue < 0.0f)
        hue += 360.0f;
}

glm::vec4 RandomBrightness::Next() const {
    // 64-bit so a wide or inverted range from a script neither overflows nor wraps; for
    // min <= max this is min + trunc(rand * (max - min) / 32768).
    const std::int64_t draw = RandomDraw15();
    const auto k =
        static_cast<std::int64_t>(min) + draw * (static_cast<std::int64_t>(max) - min) / 32768;
    const float value = static_cast<float>(k) * 0.003921569f;

    if (saturation == 0.0f)
        return {value, value, value, 1.0f};
    const float sector = hue / 60.0f;
    const float whole = std::floor(sector);
    const float fraction = sector - whole;
    const float p = value * (1.0f - saturation);
    const float q = value * (1.0f - saturation * fraction);
    const float t = value * (1.0f - saturation * (1.0f - fraction));
    switch (static_cast<int>(whole) % 6) {
    case 0:
        return {value, t, p, 1.0f};
    case 1:
        return {q, value, p, 1.0f};
    case 2:
        return {p, value, t, 1.0f};
    case 3:
        return {p, q, value, 1.0f};
    case 4:
        return {t, p, value, 1.0f};
    default:
        return {value, p, q, 1.0f};
    }
}

void VoxelModel::RandomizeSaturation(const glm::vec3& color, int min, int max) {
    const RandomBrightness brightness(color, min, max);
    for (VoxelInstance& voxel : voxels)
        voxel.color = brightness.Next();
    MarkChanged(); // colours decide which voxels are opaque
}

std::uint64_t VoxelModel::NextRevision() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

glm::vec3 VoxelModel::GetHalfExtents() const {
    constexpr float kLargest = std::numeric_limits<float>::max();
    glm::vec3 low(kLargest), high(-kLargest);
    for (const VoxelInstance& voxel : voxels) {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], voxel.position[axis]);
            high[axis] = std::max(high[axis], voxel.position[axis]);
        }
    }
    // Double precision: for an empty model the float sum would overflow to -infinity
    // instead of giving -3.4028235e38.
    glm::vec3 half;
    for (int axis = 0; axis < 3; ++axis)
        half[axis] =
            static_cast<float>(((double(high[axis]) + 0.5) - (double(low[axis]) - 0.5)) * 0.5);
    return half;
}
