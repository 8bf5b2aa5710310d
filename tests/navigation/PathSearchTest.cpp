// Path search on hand-built grids, and the same grids driven by scripts with
// obstacles, interest nodes, waypoint handles and the debug picture.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "messaging/MessagePointer.h"
#include "navigation/PathGrid.h"
#include "navigation/PathfindingComponent.h"
#include "navigation/WaypointManager.h"
#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"

namespace {

using Cells = std::vector<glm::ivec2>;

std::string Text(const Cells& cells) {
    std::string text;
    for (const glm::ivec2& c : cells)
        text += "(" + std::to_string(c.x) + "," + std::to_string(c.y) + ")";
    return text;
}

TEST(PathSearch, RoutesOnHandBuiltGrids) {
    PathGrid grid;
    ASSERT_TRUE(grid.Initialize(10, 10));
    // Open ground: always the direct route, even from a cell to itself.
    EXPECT_EQ(Text(grid.FindPath({0, 0}, {9, 9})), "(0,0)(9,9)");
    EXPECT_EQ(Text(grid.FindPath({7, 2}, {1, 8})), "(7,2)(1,8)");
    EXPECT_EQ(Text(grid.FindPath({4, 4}, {4, 4})), "(4,4)(4,4)");

    // A wall along x = 2 with one gap at the top: the path goes through the
    // gap, straight steps only past the wall's end (no cutting its corner),
    // and straightening leaves the turning points.
    ASSERT_TRUE(grid.Initialize(5, 5));
    for (int y = 0; y < 4; ++y)
        grid.SetWall(2, y, true);
    EXPECT_EQ(Text(grid.FindPath({0, 0}, {4, 0})), "(0,0)(1,4)(3,4)(4,0)");
    // The search visited the far side of the wall and left no open node on it.
    EXPECT_TRUE(grid.Node(3, 4).Has(PathNode::kClosed));
    EXPECT_TRUE(grid.Node(4, 0).Has(PathNode::kGoal));

    // A walled goal is never reached, wherever it is.
    grid.SetWall(4, 0, true);
    EXPECT_TRUE(grid.FindPath({0, 0}, {4, 0}).empty());
    EXPECT_TRUE(grid.FindPath({0, 0}, {4, 0}).empty());
    grid.ClearWalls();
    EXPECT_EQ(Text(grid.FindPath({0, 0}, {4, 0})), "(0,0)(4,0)");

    // Two walls touching at a corner block the diagonal between them.
    ASSERT_TRUE(grid.Initialize(2, 2));
    grid.SetWall(1, 0, true);
    grid.SetWall(0, 1, true);
    EXPECT_TRUE(grid.FindPath({0, 0}, {1, 1}).empty());
    grid.SetWall(0, 1, false);
    EXPECT_EQ(Text(grid.FindPath({0, 0}, {1, 1})), "(0,0)(0,1)(1,1)");
    EXPECT_EQ(Text(grid.LastPath()), "(0,0)(0,1)(1,1)");

    // A size past the limit is refused instead of allocated.
    EXPECT_FALSE(grid.Initialize(70000, 70000));
    EXPECT_EQ(grid.Width(), 0u);
}

class Navigation : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        Core::Instance().objectManager->ClearAllObjects();
        ASSERT_EQ(Eval(R"(
            var om = Core.Instance().objectManager;
            function Make(names, position) {
                var obj = om.NewObject();
                for (var name of names)
                    ObjectManager["Add" + name](obj);
                ObjectManager.TransformComponent(obj).position = position;
                return obj;
            }
            // A 10 x 8 grid of 2-unit cells whose corner stands at (10, 2, -5).
            var gridObj = Make(["TransformComponent", "PathfindingComponent"], [10, 2, -5]);
            var grid = ObjectManager.PathfindingComponent(gridObj);
            grid.gridWidth = 10; grid.gridHeight = 8; grid.gridUnitLength = 2;
            ObjectManager.InitializeObj(gridObj);
            function Waypoints(h) {
                var out = [];
                for (var i = 0; i < WaypointManager.Size(h); ++i)
                    out.push(WaypointManager.GetWaypoint(h, i).join(" "));
                return out.join(" | ");
            }
            "ok")"),
                  "ok");
    }
    static GameLogicSystem& logic() { return *Core::Instance().GameLogicSystem_; }
    static const PathfindingComponent& Grid() {
        return *ObjectManager::GetComponent<PathfindingComponent>(GameObject(0, 0));
    }
};

// Waypoint handles first, on the open grid; then obstacles; then the sample village.
TEST_F(Navigation, HandlesAreReusedObstaclesWallGridsAndTheSampleVillagerWalksAroundThem) {
    WaypointManager& manager = WaypointManager::Instance();
    ASSERT_EQ(Eval("var a = grid.ComputePath(0, 0, 1, 1), b = grid.ComputePath(0, 0, 2, 2); 'ok'"),
              "ok");
    const std::size_t slots = manager.SlotCount();
    // Freed twice, the slot goes on the free list once: the next two paths
    // get a reused slot and a new one, never the same one.
    EXPECT_EQ(Eval("WaypointManager.Delete(a); WaypointManager.DeleteWaypointArray(a);"
                   "WaypointManager.Delete(null); 'ok'"),
              "ok");
    EXPECT_EQ(manager.FreeCount(), 1u);
    EXPECT_EQ(Eval("var c = grid.ComputePath(0, 0, 3, 3), d = grid.ComputePath(0, 0, 4, 4);"
                   "[Waypoints(b), Waypoints(c), Waypoints(d)].join(' / ')"),
              "11 2 -4 | 15 2 0 / 11 2 -4 | 17 2 2 / 11 2 -4 | 19 2 4");
    EXPECT_EQ(manager.SlotCount(), slots + 1);
    EXPECT_EQ(manager.FreeCount(), 0u);
    // The freed handle does not reach the array that took its slot, nor free it.
    EXPECT_NE(ErrorOf("WaypointManager.Size(a)").find("cannot be used: its array was deleted."),
              std::string::npos);
    Eval("WaypointManager.Delete(a)");
    EXPECT_EQ(Eval("Waypoints(c)"), "11 2 -4 | 17 2 2");

    // Each refusal names the call, the value and the grid's object.
    for (const auto& [call, says] : std::initializer_list<std::pair<const char*, const char*>>{
             {"grid.ComputePath(0, 0, 10, 0)", "Error in PathfindingComponent.ComputePath: cell "
                                               "(10, 0) is outside the 10 x 8 grid of object 0."},
             {"grid.SetWall(0, 8, true)", "SetWall: cell (0, 8) is outside"},
             {"grid.GetInterestObjectAtIndex(0)", "GetInterestObjectAtIndex: index 0 is not an "
                                                  "interest entry; object 0 has 0."},
             {"grid.GetInterestNode(0.5, 0)", "GetInterestNode: index 0.5 is not an interest"},
             {"WaypointManager.GetWaypoint(b, 2)", "index 2 is not a waypoint"},
             {"WaypointManager.Size(WaypointArrayHandle)", "WaypointArrayHandle"}})
        EXPECT_NE(ErrorOf(call).find(says), std::string::npos) << call << ": " << ErrorOf(call);
    EXPECT_EQ(manager.SlotCount(), slots + 1); // refused calls stored nothing

    // A 2 x 2 obstacle on the centre of cell (4, 3), at half threshold,
    // marked as an object of interest; it stamps on the next logic frame.
    ASSERT_EQ(Eval(R"(
        var rock = Make(["TransformComponent", "ObstacleComponent"], [19, 0, 2]);
        var o = ObjectManager.ObstacleComponent(rock);
        o.halfExtents = [1, 1]; o.wallThreshold = 0.5; o.isInterestObject = true;
        [grid.IsWall(4, 3), grid.GetNumInterestObjects()].join())"),
              "false,0");
    logic().Update(0.016f);
    EXPECT_EQ(Eval(R"(
        var walls = [];
        for (var y = 0; y < 8; ++y) for (var x = 0; x < 10; ++x) if (grid.IsWall(x, y)) walls.push([x, y]);
        var nodes = [];
        for (var j = 0; j < grid.GetNumInterestNodesAtIndex(0); ++j) nodes.push(grid.GetInterestNode(0, j));
        [JSON.stringify(walls), grid.GetNumInterestObjects(), ObjectManager.CompareObj(grid.GetInterestObjectAtIndex(0), rock),
         JSON.stringify(nodes)].join(" "))"),
              "[[4,3]] 1 true [[3,4],[4,4],[5,4],[3,3],[5,3],[3,2],[4,2],[5,2]]");

    // Stamped once: cleared walls stay clear on later frames.
    Eval("grid.ClearWalls()");
    logic().Update(0.016f);
    EXPECT_EQ(Eval("grid.IsWall(4, 3)"), "false");

    // Added again, it stamps again; a wall from (4, 0) to (4, 6) leaves a gap
    // at the top.
    EXPECT_EQ(Eval(R"(
        ObjectManager.AddObstacleComponent(rock);
        for (var y = 0; y < 7; ++y) grid.SetWall(4, y, true);
        "ok")"),
              "ok");
    logic().Update(0.016f);
    // The walls laid before the stamp hide two of its neighbours.
    EXPECT_EQ(Eval("[grid.GetNumInterestObjects(), grid.GetNumInterestNodesAtIndex(1)].join()"),
              "2,6");
    EXPECT_EQ(
        Eval("[grid.GetNodeFromPosition([27.9, 50, 10.5]), grid.GetNodeFromPosition([9, 0, 0]),"
             " grid.GetNodePosition(0, 0)].join(' ')"),
        "8,7 0,0 11,2,-4");
    // Off the grid, the corner cell, a point on two borders, the far corner,
    // just past the far edge.
    EXPECT_EQ(
        Eval("JSON.stringify([[9, 0, 0], [10, 0, -5], [14, 0, 1], [30, 9, 11], [30, 0, 11.01]]"
             ".map(function (p) { return grid.GetCellFromPosition(p); }))"),
        "[null,[0,0],[2,3],[9,7],null]");

    // A walled goal gives an empty path and spoils nothing for the next search, which
    // goes through the gap. Waypoints are cell centres at the grid's height.
    EXPECT_EQ(Eval("WaypointManager.Size(grid.ComputePath(0, 0, 4, 3))"), "0");
    EXPECT_EQ(Eval("Waypoints(grid.ComputePath(2, 3, 6, 3))"),
              "15 2 2 | 17 2 10 | 21 2 10 | 23 2 2");

    // The debug picture: 9 + 11 grid lines, four per interest node, wall,
    // closed and open cell, one per step of the last path.
    std::size_t expected = 9 + 11 + Grid().Grid().LastPath().size() - 1;
    for (const auto& entry : Grid().InterestObjects())
        expected += 4 * entry.nodes.size();
    for (const PathNode& node : Grid().Grid().Nodes())
        expected += 4 * (node.Has(PathNode::kWall) + node.Has(PathNode::kClosed) +
                         node.Has(PathNode::kOpen));
    // A size changed after initialization (here to 4294967295) is not the
    // grid's until the next one, for the picture too.
    Eval("grid.gridHeight = -1");
    DebugLineBatch& lines = Core::Instance().GraphicsSystem_->debugLines;
    lines.Clear();
    const MessagePointer draw(CreateMessage<DebugDrawMessage>());
    logic().HandleMessage(draw);
    EXPECT_EQ(lines.GetLineCount(), 0u); // debugDraw is off
    logic().debugDraw = true;
    logic().HandleMessage(draw);
    EXPECT_EQ(lines.GetLineCount(), expected);
    lines.Clear();

    // Threshold 0 walls every cell.
    Eval(
        R"(var all = ObjectManager.ObstacleComponent(Make(["TransformComponent", "ObstacleComponent"], [0, 0, 0]));
            all.halfExtents = [0.1, 0.1]; all.wallThreshold = 0;)");
    logic().Update(0.016f);
    EXPECT_EQ(Eval("grid.IsWall(0, 0) && grid.IsWall(9, 7) && grid.IsWall(5, 5)"), "true");

    // Added again, the component starts from nothing, not from the old walls.
    EXPECT_NE(ErrorOf("ObjectManager.AddPathfindingComponent(gridObj); grid.IsWall(0, 0)")
                  .find("cell (0, 0) is outside the 0 x 0 grid"),
              std::string::npos);
    EXPECT_EQ(Eval("grid.GetNumInterestObjects()"), "0");

    // The sample game's villager on the sample village's layout, in a world of its own: it
    // keeps walking from stop to stop, never stands on a wall, and frees every path.
    ASSERT_EQ(Eval(R"(
        om.ClearAllObjects();
        // The modules load once this script has returned to the engine; the scene is built
        // with the sample's own helpers.
        var walkGrid, feet, scripts = ")" MARROWVALE_SOURCE_DIR R"(/resource/Scripts/";
        Promise.all([import(scripts + "sampleObjects.mjs"), import(scripts + "sampleWalker.mjs")])
            .then(function ([o, m]) {
                var scene = {
                    house: o.ShowModel("house.vxm", [-5, 0, -4]),
                    trees: [o.ShowModel("tree.vxm", [4, 0, -7]), o.ShowModel("tree.vxm", [8, 0, -2]),
                            o.ShowModel("tree.vxm", [-10, 0, 5])],
                    crystal: o.ShowModel("crystal.vxm", [5, 0, 5]),
                    crates: [o.ShowVoxel([-1, 0, 2], [1, 1, 1, 1]),
                             o.ShowVoxel([-2, 0, 2], [1, 1, 1, 1])],
                };
                m.AddWalker(scene);
                walkGrid = ObjectManager.PathfindingComponent(scene.walkGrid);
                feet = ObjectManager.TransformComponent(scene.villager);
            });
        "ok")"),
              "ok");
    ASSERT_EQ(Eval("typeof feet.position"), "object") << host().GetLastError();
    const std::size_t slotsBefore = WaypointManager::Instance().SlotCount();
    std::string onWall, stops;
    for (int frame = 0; frame < 40 * 30; ++frame) {
        logic().Update(1.0f / 30);
        const std::string at = Eval("var p = feet.position; [p[0], p[2]].join(' ')");
        if (Eval("var c = walkGrid.GetNodeFromPosition(feet.position); walkGrid.IsWall(c[0], "
                 "c[1])") == "true")
            onWall = at;
        if (Eval("[[4, 0], [10, 10], [-11, -1], [9, -9]].some(s => s[0] + ' ' + s[1] == '" + at +
                 "')") == "true" &&
            stops.find(at) == std::string::npos)
            stops += at + ";";
    }
    EXPECT_EQ(onWall, "");
    // 40 s at 3 units a second with a rest at each stop: well past the first
    // four stops, each reached around the house, crystal and crates.
    EXPECT_EQ(stops, "4 0;10 10;-11 -1;9 -9;");
    EXPECT_EQ(Eval("walkGrid.IsWall(7, 8) && walkGrid.IsWall(17, 17) && !walkGrid.IsWall(2, 2)"),
              "true");
    // Each leg's array was freed: the walk needs one slot at a time.
    EXPECT_LE(WaypointManager::Instance().SlotCount(), slotsBefore + 1);
}

} // namespace
