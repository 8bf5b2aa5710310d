#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "navigation/PathGrid.h"

// The engine's grid search against a general graph library's A* on the same
// grid and the same queries: a side x side grid with 30% of its cells walled
// at random and 100 start/goal pairs on free cells, both from a fixed seed.
// One iteration answers all 100 queries. The library gets the grid as an
// explicit graph with the engine's moves (eight directions, no corner
// cutting) and the same weighted Euclidean heuristic; building that graph is
// not timed.
namespace {

struct Scene {
    int side = 0;
    std::vector<bool> wall; // row-major
    std::vector<std::pair<glm::ivec2, glm::ivec2>> queries;

    bool IsWall(int x, int y) const { return wall[static_cast<std::size_t>(y * side + x)]; }
};

const Scene& MakeScene(int side) {
    static Scene scene;
    if (scene.side == side)
        return scene;
    scene.side = side;
    std::mt19937 random(20261207u);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    scene.wall.assign(static_cast<std::size_t>(side * side), false);
    for (std::size_t i = 0; i < scene.wall.size(); ++i)
        scene.wall[i] = unit(random) < 0.3f;
    std::uniform_int_distribution<int> coordinate(0, side - 1);
    const auto freeCell = [&] {
        for (;;) {
            const glm::ivec2 cell(coordinate(random), coordinate(random));
            if (!scene.IsWall(cell.x, cell.y))
                return cell;
        }
    };
    scene.queries.clear();
    for (int i = 0; i < 100; ++i) {
        const glm::ivec2 start = freeCell();
        scene.queries.emplace_back(start, freeCell());
    }
    return scene;
}

void BM_ComputePath(benchmark::State& state) {
    const Scene& scene = MakeScene(static_cast<int>(state.range(0)));
    PathGrid grid;
    grid.Initialize(static_cast<std::uint32_t>(scene.side), static_cast<std::uint32_t>(scene.side));
    for (int y = 0; y < scene.side; ++y)
        for (int x = 0; x < scene.side; ++x)
            grid.SetWall(x, y, scene.IsWall(x, y));
    std::size_t found = 0, cells = 0;
    for (auto _ : state) {
        found = cells = 0;
        for (const auto& [start, goal] : scene.queries) {
            const std::vector<glm::ivec2>& path = grid.FindPath(start, goal);
            found += path.empty() ? 0 : 1;
            cells += path.size();
            benchmark::DoNotOptimize(path.data());
        }
    }
    state.counters["found"] = static_cast<double>(found);
    state.counters["waypoints"] = static_cast<double>(cells);
}
BENCHMARK(BM_ComputePath)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace

#if __has_include(<boost/graph/astar_search.hpp>)
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>

namespace {

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, float>>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

struct FoundGoal {};

class GoalVisitor : public boost::default_astar_visitor {
  public:
    explicit GoalVisitor(Vertex goal) : goal(goal) {}
    void examine_vertex(Vertex v, const Graph&) const {
        if (v == goal)
            throw FoundGoal{};
    }

  private:
    Vertex goal;
};

class Distance : public boost::astar_heuristic<Graph, float> {
  public:
    Distance(int side, glm::ivec2 goal) : side(side), goal(goal) {}
    float operator()(Vertex v) const {
        const float dx = static_cast<float>(static_cast<int>(v) % side - goal.x);
        const float dy = static_cast<float>(static_cast<int>(v) / side - goal.y);
        return 1.01f * std::sqrt(dx * dx + dy * dy);
    }

  private:
    int side;
    glm::ivec2 goal;
};

void BM_ComputePathBoostAStar(benchmark::State& state) {
    const Scene& scene = MakeScene(static_cast<int>(state.range(0)));
    const int side = scene.side;
    Graph graph(static_cast<std::size_t>(side * side));
    const float diagonal = std::sqrt(2.0f);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if (scene.IsWall(x, y))
                continue;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= side || ny >= side ||
                        scene.IsWall(nx, ny))
                        continue;
                    const bool isDiagonal = dx != 0 && dy != 0;
                    if (isDiagonal && (scene.IsWall(x + dx, y) || scene.IsWall(x, ny)))
                        continue;
                    boost::add_edge(static_cast<Vertex>(y * side + x),
                                    static_cast<Vertex>(ny * side + nx),
                                    isDiagonal ? diagonal : 1.0f, graph);
                }
        }
    std::vector<Vertex> parent(boost::num_vertices(graph));
    std::vector<float> distance(boost::num_vertices(graph));
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& [start, goal] : scene.queries) {
            const auto from = static_cast<Vertex>(start.y * side + start.x);
            const auto to = static_cast<Vertex>(goal.y * side + goal.x);
            try {
                boost::astar_search(graph, from, Distance(side, goal),
                                    boost::predecessor_map(parent.data())
                                        .distance_map(distance.data())
                                        .visitor(GoalVisitor(to)));
            } catch (const FoundGoal&) {
                ++found;
            }
            benchmark::DoNotOptimize(parent.data());
        }
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_ComputePathBoostAStar)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace
#endif
