// A whole debugging session against the engine under the virtual display:
// what a client sees and does, from breakpoints set before the first script
// to the client going while the game runs.
#include <thread>

#include "debugger/DebuggerTestSupport.h"

namespace {

const char* kClassic = R"(print("postInit ran");
function classicTick(n) {
    var doubled = n * 2;
    return doubled;
}
)";

const char* kMain = R"(import { helper } from "./helper.mjs";
const config = { name: "probe", nested: { depth: 2, list: [1, 2, 3] } };
let frame = 0;
function tick(dt) {
    frame += 1;
    const value = helper(frame);
    const twice = classicTick(value);
    if (globalThis.boom) { globalThis.boom = false; throw new Error("kaboom at " + frame); }
    while (globalThis.spin) {}
    return twice + config.nested.depth;
}
Core.Instance().GameLogicSystem_.updateFunction = tick;
globalThis.frameOf = () => frame;
globalThis.late = () => import("./late.ts").then((m) => m.lateWork(4));
)";

const char* kLate = R"(export function lateWork(n: number): number {
    const squared: number = n * n;
    return squared;
}
)";

const char* kHelper = R"(export function helper(n) {
    const offset = 10;
    return n + offset;
}
)";

std::string Top(DapClient& client, int* line = nullptr) {
    const json trace = client.Request("stackTrace", {{"threadId", 1}});
    const json& frames = trace["body"]["stackFrames"];
    if (frames.empty())
        return "";
    if (line)
        *line = frames[0]["line"];
    return frames[0]["name"].get<std::string>() + "@" +
           frames[0]["source"]["name"].get<std::string>();
}

json Variables(DapClient& client, int reference) {
    json byName = json::object();
    const json answer = client.Request("variables", {{"variablesReference", reference}});
    for (const json& v : answer["body"]["variables"])
        byName[v["name"].get<std::string>()] = v;
    return byName;
}

std::string Evaluate(DapClient& client, const std::string& expression, bool inFrame = true) {
    json arguments = {{"expression", expression}, {"context", "repl"}};
    if (inFrame)
        arguments["frameId"] = 0;
    const json answer = client.Request("evaluate", arguments);
    return answer.value("success", false) ? answer["body"]["result"].get<std::string>()
                                          : "error: " + answer.value("message", std::string());
}

} // namespace

TEST(DebugSession, BreakpointsSteppingVariablesExceptionsPauseAndDisconnect) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
    const std::filesystem::path game = MakeGame({{"Scripts/startup.js", "var started = true;\n"},
                                                 {"Scripts/postInit.js", kClassic},
                                                 {"Scripts/main.mjs", kMain},
                                                 {"Scripts/helper.mjs", kHelper},
                                                 {"Scripts/late.ts", kLate}});
    EngineProcess engine(
        {"--debug=0", "--debug-wait", "--script-timeout", "1", "--resource", game.string() + "/"});
    const int port = ListeningPort(engine);
    ASSERT_GT(port, 0) << engine.Output();
    const std::string main = (game / "Scripts/main.mjs").string();
    const std::string classic = (game / "Scripts/postInit.js").string();
    {
        DapClient client(port);
        ASSERT_TRUE(client.connected);
        const json init = client.Request("initialize", {{"adapterID", "marrowvale"}});
        EXPECT_TRUE(init["body"]["supportsConditionalBreakpoints"].get<bool>());
        EXPECT_FALSE(client.Event("initialized").is_null());
        // Before any script loaded: both wait for their files.
        const json set = client.Request(
            "setBreakpoints", {{"source", {{"path", main}}}, {"breakpoints", {{{"line", 5}}}}});
        EXPECT_FALSE(set["body"]["breakpoints"][0]["verified"].get<bool>());
        client.Request("setBreakpoints",
                       {{"source", {{"path", classic}}}, {"breakpoints", {{{"line", 3}}}}});
        client.Request("setExceptionBreakpoints", {{"filters", {"uncaught"}}});
        EXPECT_EQ(client.Request("stackTrace")["success"], false); // running, not paused
        EXPECT_TRUE(client.Request("configurationDone")["success"].get<bool>());

        const json output =
            client.Next([](const json& m) { return m.value("event", "") == "output"; });
        EXPECT_EQ(output["body"]["output"], "postInit ran\n");
        json stopped = client.Event("stopped");
        EXPECT_EQ(stopped["body"]["reason"], "breakpoint");
        int line = 0;
        EXPECT_EQ(Top(client, &line), "tick@main.mjs");
        EXPECT_EQ(line, 5);

        // Locals, the module's scope with a nested object, the global.
        const json scopes = client.Request("scopes", {{"frameId", 0}})["body"]["scopes"];
        ASSERT_GE(scopes.size(), 3u) << scopes.dump();
        EXPECT_EQ(scopes[0]["name"], "Locals");
        const json locals = Variables(client, scopes[0]["variablesReference"]);
        EXPECT_EQ(locals["dt"]["type"], "number");
        EXPECT_EQ(locals["value"]["value"], "(uninitialized)");
        json module;
        for (const json& scope : scopes)
            if (scope["name"] == "Module")
                module = Variables(client, scope["variablesReference"]);
        EXPECT_EQ(module["frame"]["value"], "0");
        const json nested = Variables(
            client,
            Variables(client,
                      module["config"]["variablesReference"])["nested"]["variablesReference"]);
        EXPECT_EQ(nested["depth"]["value"], "2");
        EXPECT_EQ(nested["list"]["value"], "Array(3)");
        EXPECT_EQ(Evaluate(client, "frame + config.nested.list[2]"), "3");
        EXPECT_EQ(Evaluate(client, "started", false), "true");
        EXPECT_NE(Evaluate(client, "nosuchname").find("nosuchname"), std::string::npos);

        // Over, into the imported module, out to the caller's next line, and
        // over a call that meets the classic script's breakpoint.
        const auto stepTo = [&](const char* request) {
            client.Request(request, {{"threadId", 1}});
            stopped = client.Event("stopped");
            const std::string where = Top(client, &line);
            return where + ":" + std::to_string(line);
        };
        EXPECT_EQ(stepTo("next"), "tick@main.mjs:6");
        EXPECT_EQ(stopped["body"]["reason"], "step");
        EXPECT_EQ(stepTo("stepIn"), "helper@helper.mjs:2");
        const json trace = client.Request("stackTrace", {{"threadId", 1}})["body"]["stackFrames"];
        ASSERT_EQ(trace.size(), 2u);
        EXPECT_EQ(trace[1]["name"], "tick");
        EXPECT_EQ(stepTo("stepOut"), "tick@main.mjs:7");
        EXPECT_EQ(stepTo("next"), "classicTick@postInit.js:3");
        EXPECT_EQ(stopped["body"]["reason"], "breakpoint");
        EXPECT_EQ(Evaluate(client, "n"), "11");

        // A condition, then an uncaught exception with its message.
        client.Request("setBreakpoints",
                       {{"source", {{"path", classic}}}, {"breakpoints", json::array()}});
        client.Request("setBreakpoints",
                       {{"source", {{"path", main}}},
                        {"breakpoints", {{{"line", 5}, {"condition", "frame === 3"}}}}});
        client.Request("continue", {{"threadId", 1}});
        client.Event("stopped");
        EXPECT_EQ(Evaluate(client, "frame"), "3");
        client.Request("setBreakpoints",
                       {{"source", {{"path", main}}}, {"breakpoints", json::array()}});
        Evaluate(client, "globalThis.boom = true");
        client.Request("continue", {{"threadId", 1}});
        stopped = client.Event("stopped");
        EXPECT_EQ(stopped["body"]["reason"], "exception");
        EXPECT_NE(stopped["body"]["description"].get<std::string>().find("kaboom at 4"),
                  std::string::npos);
        client.Request("continue", {{"threadId", 1}});

        // A TypeScript module that only a dynamic import() loads, with its
        // breakpoint set first; its source is the text as written.
        const std::string late = (game / "Scripts/late.ts").string();
        client.Request("setBreakpoints",
                       {{"source", {{"path", late}}}, {"breakpoints", {{{"line", 3}}}}});
        Evaluate(client, "late()", false);
        stopped = client.Event("stopped");
        EXPECT_EQ(stopped["body"]["reason"], "breakpoint");
        EXPECT_EQ(Top(client, &line), "lateWork@late.ts");
        EXPECT_EQ(line, 3);
        EXPECT_EQ(Evaluate(client, "squared"), "16");
        const auto sourceOfLate = [&] {
            return client.Request("source", {{"source", {{"path", late}}}})["body"]["content"]
                .get<std::string>();
        };
        EXPECT_EQ(sourceOfLate(), kLate);
        // Edited but not reloaded: the running text, whose lines are the stop's.
        std::ofstream(late) << "// edited\n";
        EXPECT_EQ(sourceOfLate().find("lateWork(n        )         {\n    const squared "), 16u);
        client.Request("setBreakpoints",
                       {{"source", {{"path", late}}}, {"breakpoints", json::array()}});
        client.Request("continue", {{"threadId", 1}});

        // "Pause now" while the game runs, then the client goes: the game
        // goes on by itself.
        EXPECT_TRUE(client.Request("pause", {{"threadId", 1}})["success"].get<bool>());
        EXPECT_EQ(client.Event("stopped")["body"]["reason"], "pause");
        EXPECT_FALSE(Top(client).empty());
        EXPECT_TRUE(client.Request("disconnect")["success"].get<bool>());
    }
    {
        DapClient again(port);
        ASSERT_TRUE(again.connected);
        again.Request("initialize");
        const int before = std::stoi(Evaluate(again, "frameOf()", false));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_GT(std::stoi(Evaluate(again, "frameOf()", false)), before) << "the game runs again";
        EXPECT_EQ(again.Request("stackTrace")["success"], false);
        // An expression that never ends is stopped and answered in time.
        const std::string overBudget = "error: evaluation took longer than 2 s and was stopped";
        EXPECT_EQ(Evaluate(again, "for(;;){}", false), overBudget);
        // A frame's script past its time limit pauses where it loops; an endless
        // expression there is stopped too, and the game goes on after.
        Evaluate(again, "globalThis.spin = true", false);
        const json runaway = again.Event("stopped");
        ASSERT_TRUE(runaway.is_object()) << engine.Output();
        EXPECT_EQ(runaway["body"]["reason"], "pause");
        EXPECT_NE(runaway["body"]["description"].get<std::string>().find(
                      "main.mjs:9: the script ran longer than 1 s"),
                  std::string::npos)
            << runaway.dump();
        int line = 0;
        EXPECT_EQ(Top(again, &line), "tick@main.mjs");
        EXPECT_EQ(line, 9);
        EXPECT_EQ(Evaluate(again, "while (true) {}"), overBudget);
        Evaluate(again, "globalThis.spin = false");
        again.Request("continue", {{"threadId", 1}});
        const int resumed = std::stoi(Evaluate(again, "frameOf()", false));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_GT(std::stoi(Evaluate(again, "frameOf()", false)), resumed);
        // Garbage and an unknown request get error responses; the game lives on.
        again.Raw("Content-Length: 9\r\n\r\n{not json");
        const json bad =
            again.Next([](const json& m) { return m.value("type", "") == "response"; });
        EXPECT_FALSE(bad["success"].get<bool>());
        EXPECT_NE(bad["message"].get<std::string>().find("JSON"), std::string::npos);
        const json unknown = again.Request("fly");
        EXPECT_NE(unknown["message"].get<std::string>().find("fly"), std::string::npos);
        Evaluate(again, "Core.Quit()", false);
        EXPECT_FALSE(again.Event("terminated").is_null());
    }
    EXPECT_EQ(engine.Exit(20.0), 0) << engine.Output();
    std::filesystem::remove_all(game);
}

// A client that throws, stops, floods and starves the game from inside evaluate and breakpoint
// conditions, and sends messages no parser should build: every request is answered, and the
// game goes on running.
TEST(DebugSession, HostileClientGetsAnswersAndNeverFreezesTheGame) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
    const std::filesystem::path game =
        MakeGame({{"Scripts/startup.js", ""}, {"Scripts/postInit.js", R"(let frame = 0;
function tick(dt) {
    const next = frame + 1;
    frame = next;
}
Core.Instance().GameLogicSystem_.updateFunction = tick;
globalThis.frameOf = () => frame;
)"}});
    EngineProcess engine(
        // A small heap fills well inside the evaluation's time budget, even on a busy machine.
        {"--debug=0", "--script-heap-mb", "16", "--resource", game.string() + "/"});
    const int port = ListeningPort(engine);
    ASSERT_GT(port, 0) << engine.Output();
    const std::string script = (game / "Scripts/postInit.js").string();
    DapClient client(port);
    ASSERT_TRUE(client.connected);
    client.Request("initialize");
    const auto frameNow = [&] {
        const std::string frame = Evaluate(client, "frameOf()", false);
        EXPECT_NE(frame.find_first_of("0123456789"), std::string::npos) << frame;
        return std::atoi(frame.c_str());
    };
    const auto framesRun = [&] {
        const int before = frameNow();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return frameNow() > before;
    };
    const auto rejection = [&](const std::string& body) {
        client.Raw(Framed(body));
        const json answer =
            client.Next([](const json& m) { return m.value("type", "") == "response"; });
        return answer.is_object() ? answer.value("message", std::string()) : "no answer";
    };
    const char* exhaust = "try { globalThis.hog = []; for (;;) hog.push({ n: hog.length }); } "
                          "finally { hog = null; }";

    // Evaluated code never stops: the reply comes at once, an error for a throw.
    EXPECT_NE(Evaluate(client, "throw new Error('nope')", false).find("nope"), std::string::npos);
    EXPECT_EQ(Evaluate(client, "debugger; 5", false), "5");
    EXPECT_NE(Evaluate(client, exhaust, false).find("out of memory"), std::string::npos)
        << "the budget must not end it first";
    EXPECT_TRUE(framesRun());

    EXPECT_NE(rejection("{\"seq\":1,\"command\":\"threads\",\"x\":\"\xC3\x28\"}").find("UTF-8"),
              std::string::npos);
    EXPECT_NE(rejection(std::string(1000000, '[') + std::string(1000000, ']')).find("256"),
              std::string::npos);

    // A thousand false conditions on a line that runs every frame; one more is refused.
    const auto setConditions = [&](size_t count, const std::string& condition) {
        const json one = {{"line", 3}, {"condition", condition}};
        return client.Request(
            "setBreakpoints",
            {{"source", {{"path", script}}}, {"breakpoints", json(std::vector<json>(count, one))}});
    };
    const json refused = setConditions(1001, "dt < 0");
    EXPECT_FALSE(refused["success"].get<bool>());
    EXPECT_NE(refused.value("message", "").find("limit of 1000"), std::string::npos) << refused;
    EXPECT_TRUE(setConditions(1000, "dt < 0 || next === 0")["success"].get<bool>());
    EXPECT_TRUE(framesRun());
    // Not "===": on a busy machine the game may pass a given frame before the
    // breakpoint arrives.
    const int stopAt = frameNow() + 5;
    setConditions(1, "frame >= " + std::to_string(stopAt));
    ASSERT_FALSE(client.Event("stopped").is_null()) << engine.Output();
    EXPECT_GE(std::atoi(Evaluate(client, "frame").c_str()), stopAt);

    // Out of memory while stopped: once the memory is free, the game goes on.
    EXPECT_NE(Evaluate(client, exhaust).find("out of memory"), std::string::npos);
    EXPECT_TRUE(setConditions(0, "")["success"].get<bool>());
    EXPECT_TRUE(client.Request("continue", {{"threadId", 1}})["success"].get<bool>());
    EXPECT_TRUE(framesRun());
    EXPECT_TRUE(client.Event("stopped", 0.5).is_null()) << "only the one stop";
    Evaluate(client, "Core.Quit()", false);
    EXPECT_EQ(engine.Exit(20.0), 0) << engine.Output();
    std::filesystem::remove_all(game);
}
