#include "VoxelModelRoundTrip.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "base/Path.h"
#include "voxels/VoxFormat.h"
#include "voxels/VoxelModel.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kRecord = 32;

using Bytes = std::vector<std::uint8_t>;

// The record layout as the file stores it: colour r, g, b, a, then position x, y, z, w.
Bytes RecordOf(const VoxelInstance& voxel) {
    Bytes record(kRecord);
    std::memcpy(record.data(), &voxel.color[0], 16);
    std::memcpy(record.data() + 16, &voxel.position[0], 16);
    return record;
}

// One folder per process, reused by every input (the fuzzer runs many per
// second) and removed when the process ends.
struct ScratchFolder {
    ScratchFolder()
        : path(fs::temp_directory_path() / ("marrowvale-vxm-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    const fs::path path;
};

} // namespace

std::string CheckVoxelModelRoundTrip(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const fs::path input = scratch.path / "input.vxm", saved = scratch.path / "saved.vxm";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out)
            return "cannot write the input file";
    }

    // A marker voxel shows whether a failed load left the model alone.
    VoxelInstance marker;
    marker.position = glm::vec4(7.0f);
    VoxelModel model;
    model.voxels = {marker};
    const bool loaded = model.LoadFromFile(input.string());
    if (size < kHeader) {
        if (loaded)
            return "a file of " + std::to_string(size) + " bytes loaded";
        if (model.voxels.size() != 1 || std::memcmp(&model.voxels[0], &marker, sizeof marker) != 0)
            return "a failed load changed the model";
        return "";
    }
    if (!loaded)
        return "a file with a count did not load";

    // Whole records and a cut-off last one (completed with zeros), never more than counted.
    const std::uint64_t count = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                                std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
    const std::uint64_t present = (size - kHeader + kRecord - 1) / kRecord;
    const std::size_t expected = static_cast<std::size_t>(std::min(count, present));
    if (model.voxels.size() != expected)
        return "loaded " + std::to_string(model.voxels.size()) + " voxels, expected " +
               std::to_string(expected);
    for (std::size_t i = 0; i < expected; ++i) {
        Bytes want(kRecord, 0);
        const std::size_t from = kHeader + i * kRecord;
        std::copy(data + from, data + std::min(size, from + kRecord), want.begin());
        if (RecordOf(model.voxels[i]) != want)
            return "voxel " + std::to_string(i) + " differs from its record";
        if (model.voxels[i].orientation != glm::vec4(0.0f, 0.0f, 0.0f, 1.0f))
            return "voxel " + std::to_string(i) + " has no identity orientation";
    }

    SetSaveFolder(scratch.path.string()); // the engine writes only in a game's folders
    const bool savedOk = model.SaveToFile(saved.string());
    SetSaveFolder("");
    if (!savedOk)
        return "saving the loaded model failed";
    std::ifstream in(saved, std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Bytes want(kHeader);
    for (int i = 0; i < 4; ++i)
        want[i] = static_cast<std::uint8_t>(expected >> (8 * i));
    for (const VoxelInstance& voxel : model.voxels) {
        const Bytes record = RecordOf(voxel);
        want.insert(want.end(), record.begin(), record.end());
    }
    if (written != want)
        return "the saved file is not the count and records of the loaded model";

    VoxelModel again;
    const std::size_t bytes = model.voxels.size() * sizeof(VoxelInstance);
    if (!again.LoadFromFile(saved.string()) || again.voxels.size() != model.voxels.size() ||
        (bytes && std::memcmp(again.voxels.data(), model.voxels.data(), bytes) != 0))
        return "loading the saved file does not give the same voxels";

    // Extents must cope with whatever floats a file holds (NaN, infinities).
    (void)model.GetHalfExtents();
    return "";
}

std::string CheckVoxRoundTrip(const std::uint8_t* data, std::size_t size) {
    std::vector<VoxelInstance> voxels{VoxelInstance()};
    std::string problem;
    if (!ReadVox(data, size, voxels, problem)) {
        if (problem.empty())
            return "a refused .vox file gave no reason";
        return voxels.size() == 1 ? "" : "a refused .vox file changed the voxels";
    }
    if (voxels.size() > kVoxMaxPlacedVoxels)
        return "more voxels than the limit";
    // Cells relative to the first voxel, as the reader re-centres the whole.
    using Cell = std::tuple<float, float, float>;
    auto cells = [](const std::vector<VoxelInstance>& list) {
        std::map<Cell, glm::vec4> byCell;
        for (const VoxelInstance& v : list)
            byCell[{v.position.x, v.position.y, v.position.z}] = v.color;
        return byCell;
    };
    std::vector<std::uint8_t> bytes;
    if (!WriteVox(voxels, bytes, problem))
        return problem.find("at most 256") != std::string::npos ? "" : "writing failed: " + problem;
    std::vector<VoxelInstance> again;
    if (!ReadVox(bytes.data(), bytes.size(), again, problem))
        return "reading what was written failed: " + problem;
    const auto before = cells(voxels), after = cells(again);
    if (before.size() != after.size() || again.size() != after.size())
        return "the written file holds " + std::to_string(again.size()) + " voxels, expected " +
               std::to_string(before.size());
    // Both are placed as loaded models are, so the same cells line up exactly.
    for (auto a = before.begin(), b = after.begin(); a != before.end(); ++a, ++b)
        if (a->first != b->first || a->second != b->second)
            return "a cell or colour changed on the way back";
    return "";
}
