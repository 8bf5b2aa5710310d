// Packages a game developer reaches for, each doing one real thing. Each is
// imported on its own, so a package that cannot load fails alone; the results
// land in globalThis.npmMatrix for NpmPackagesTest to check.
const results = (globalThis.npmMatrix = {});

// A small seeded generator, so that noise is the same on every run.
function mulberry32(seed) {
    return () => {
        seed = (seed + 0x6d2b79f5) | 0;
        let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
        t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}

const cases = {
    // Driven by the engine's frames: x at each frame after the start; then a
    // tween started as its documentation starts one, on performance.now().
    "@tweenjs/tween.js": async () => {
        const { Tween, Group, Easing } = await import("@tweenjs/tween.js");
        const ownClock = () => {
            const clock = new Group();
            const slow = new Tween({ v: 0 }, clock).to({ v: 1 }, 3600000).start();
            clock.update();
            return `own-clock:${slow.isPlaying()}`;
        };
        const box = { x: 0 };
        const seen = [];
        const group = new Group();
        return new Promise((done, fail) =>
            requestAnimationFrame((start) => {
                const tween = new Tween(box, group)
                    .to({ x: 100 }, 500)
                    .easing(Easing.Quadratic.InOut)
                    .start(start);
                const frame = (time) => {
                    try {
                        group.update(time);
                        seen.push(box.x);
                        if (tween.isPlaying()) requestAnimationFrame(frame);
                        else done(`${seen.join(" ")} ${ownClock()}`);
                    } catch (error) {
                        fail(error);
                    }
                };
                requestAnimationFrame(frame);
            }),
        );
    },
    seedrandom: async () => {
        const { default: seedrandom } = await import("seedrandom");
        const rng = seedrandom("hello.");
        return [rng(), rng(), seedrandom.alea("hello.")()].join(" ");
    },
    "gl-matrix": async () => {
        const { mat4, vec3 } = await import("gl-matrix");
        const m = mat4.multiply(mat4.create(), mat4.fromTranslation(mat4.create(), [1, 2, 3]),
                                mat4.fromScaling(mat4.create(), [2, 2, 2]));
        return Array.from(vec3.transformMat4(vec3.create(), [1, 1, 1], m)).join(",");
    },
    "simplex-noise": async () => {
        const { createNoise2D } = await import("simplex-noise");
        const a = createNoise2D(mulberry32(7));
        const b = createNoise2D(mulberry32(7));
        let same = true, inRange = true;
        for (let i = 0; i < 100; ++i) {
            const v = a(i * 0.37, i * 0.11);
            same &&= v === b(i * 0.37, i * 0.11);
            inRange &&= v >= -1 && v <= 1;
        }
        return `${same} ${inRange} ${a(1.5, 2.25).toFixed(6)}`;
    },
    eventemitter3: async () => {
        const { EventEmitter } = await import("eventemitter3");
        const hub = new EventEmitter();
        const heard = [];
        hub.on("hit", (who, damage) => heard.push(`${who}-${damage}`));
        hub.once("hit", () => heard.push("once"));
        hub.emit("hit", "orc", 3);
        hub.emit("hit", "elf", 5);
        return `${heard.join(" ")} ${hub.listenerCount("hit")}`;
    },
    mitt: async () => {
        const { default: mitt } = await import("mitt");
        const bus = mitt();
        const heard = [];
        const onScore = (points) => heard.push(points);
        bus.on("score", onScore);
        bus.on("*", (type) => heard.push(type));
        bus.emit("score", 10);
        bus.off("score", onScore);
        bus.emit("score", 20);
        return heard.join(" ");
    },
    "lodash-es": async () => {
        const { chunk, groupBy, sortBy, cloneDeep } = await import("lodash-es");
        const units = [{ n: "b", hp: 3 }, { n: "a", hp: 1 }, { n: "c", hp: 3 }];
        const copy = cloneDeep(units);
        copy[0].hp = 99;
        return [JSON.stringify(chunk([1, 2, 3, 4, 5], 2)),
                Object.keys(groupBy(units, "hp")).join(","),
                sortBy(units, ["hp", "n"]).map((u) => u.n).join(""), units[0].hp].join(" ");
    },
    "nanoid/non-secure": async () => {
        const { nanoid, customAlphabet } = await import("nanoid/non-secure");
        return `${/^[A-Za-z0-9_-]{21}$/.test(nanoid())} ${/^[ab]{8}$/.test(customAlphabet("ab", 8)())}`;
    },
    zod: async () => {
        const { z } = await import("zod");
        const Player = z.object({ name: z.string().min(1), hp: z.number().int().nonnegative() });
        const good = Player.safeParse({ name: "Ada", hp: 10 });
        const bad = Player.safeParse({ name: "", hp: -1.5 });
        return `${good.success} ${bad.success} ` +
               bad.error.issues.map((i) => `${i.path.join(".")}:${i.code}`).join(",");
    },
    // immer reads process.env.NODE_ENV, which bundlers replace and a game sets.
    immer: async () => {
        globalThis.process ??= { env: { NODE_ENV: "production" } };
        const { produce } = await import("immer");
        const before = { players: [{ name: "Ada", hp: 10 }], level: { id: 1 } };
        const after = produce(before, (draft) => { draft.players[0].hp -= 4; });
        delete globalThis.process;
        return `${before.players[0].hp} ${after.players[0].hp} ${after.level === before.level} ${Object.isFrozen(after)}`;
    },
    bitecs: async () => {
        const { createWorld, addEntity, addComponent, query } = await import("bitecs");
        const world = createWorld();
        const Position = { x: [], y: [] };
        const Velocity = { x: [], y: [] };
        const ids = [];
        for (let i = 0; i < 3; ++i) {
            const id = addEntity(world);
            ids.push(id);
            addComponent(world, id, Position);
            Position.x[id] = i;
            Position.y[id] = 0;
            if (i !== 1) {
                addComponent(world, id, Velocity);
                Velocity.x[id] = 1;
                Velocity.y[id] = 2;
            }
        }
        for (const id of query(world, [Position, Velocity])) {
            Position.x[id] += Velocity.x[id];
            Position.y[id] += Velocity.y[id];
        }
        return ids.map((id) => `${Position.x[id]},${Position.y[id]}`).join(" ");
    },
    // CommonJS only: module.exports and require() of its own files and of "heap".
    easystarjs: async () => {
        const { default: EasyStar } = await import("easystarjs");
        const finder = new EasyStar.js();
        finder.setGrid([[0, 0, 0], [1, 1, 0], [0, 0, 0]]);
        finder.setAcceptableTiles([0]);
        finder.enableSync();
        let path = null;
        finder.findPath(0, 0, 0, 2, (found) => { path = found; });
        finder.calculate();
        return path.map((p) => `${p.x},${p.y}`).join(" ");
    },
};

for (const [name, run] of Object.entries(cases)) {
    try {
        results[name] = String(await run());
    } catch (error) {
        results[name] = `error: ${error}`;
    }
}
results.done = true;
