#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "voxels/GreedyMesher.h"
#include "voxels/MeshExport.h"
#include "voxels/VoxelModel.h"

namespace {

// A 47 x 47 x 47 block, 103,823 voxels: with range 0 in random colours (nothing merges,
// the worst case for the mesher), with range 1 in one colour (everything does).
VoxelModel Block(bool solid) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> channel(0.0f, 1.0f);
    VoxelModel model;
    model.voxels.reserve(47 * 47 * 47);
    for (int x = 0; x < 47; ++x)
        for (int y = 0; y < 47; ++y)
            for (int z = 0; z < 47; ++z)
                model.AddVoxel(
                    {x - 23, y, z - 23},
                    solid ? glm::vec4(0.3f, 0.6f, 0.2f, 1.0f)
                          : glm::vec4(channel(random), channel(random), channel(random), 1.0f));
    return model;
}

} // namespace

// The surface alone: cell lookup, hidden faces and merging.
static void BM_GreedySurface(benchmark::State& state) {
    const VoxelModel model = Block(state.range(0) == 1);
    std::vector<SurfaceQuad> quads;
    std::string problem;
    for (auto _ : state) {
        if (!BuildSurface(model.voxels, quads, problem))
            state.SkipWithError(problem.c_str());
        benchmark::DoNotOptimize(quads.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(model.voxels.size()));
    state.counters["rectangles"] = double(quads.size());
}
BENCHMARK(BM_GreedySurface)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole export to a .glb file, as a script's ExportMesh does it.
static void BM_ExportMesh(benchmark::State& state) {
    const VoxelModel model = Block(state.range(0) == 1);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("marrowvale-bench-" + std::to_string(::getpid()) + ".glb");
    std::string error;
    for (auto _ : state)
        if (!ExportMesh(model, file.string(), error))
            state.SkipWithError(error.c_str());
    state.SetItemsProcessed(state.iterations() * std::int64_t(model.voxels.size()));
    std::error_code ignored;
    state.counters["file_bytes"] = double(std::filesystem::file_size(file, ignored));
    std::filesystem::remove(file, ignored);
}
BENCHMARK(BM_ExportMesh)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
