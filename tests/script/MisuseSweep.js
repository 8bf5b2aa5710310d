// Drives every member of every script class with hostile values, the wrong
// `this` and objects that are gone. MisuseSweepTest.cpp defines `classes`
// (from the binding registry: name, members with kind, argument count and
// type) before running this file, then calls SweepClass for each class, with
// engine frames in between, and the stale phases at the end. A crash or abort
// ends the test process; every failure a call may have must arrive here as a
// catchable Error.
var sweep = {
    calls: 0,    // every attempt
    errors: 0,   // attempts that failed with a script error
    last: "",    // the attempt under way, for a crash report
    bad: [],     // failures that were no proper script error, or no failure where one is due
    stale: [],   // accesses through a gone wrapper that did not fail
};

var core = Core.Instance();
var om = core.objectManager;
var byName = {};

// "(vec3 [x, y, z], integer) -> undefined" to ["vec3 [x, y, z]", "integer"].
function ParameterTypes(type) {
    var close = type.indexOf(") -> "), types = [], current = "", depth = 0;
    if (type[0] != "(" || close < 0)
        return types;
    for (var i = 1; i < close; ++i) {
        var ch = type[i];
        depth += ("[({".includes(ch) ? 1 : 0) - ("])}".includes(ch) ? 1 : 0);
        if (ch == "," && depth == 0) {
            types.push(current);
            current = "";
            if (type[i + 1] == " ")
                ++i;
        } else {
            current += ch;
        }
    }
    return current ? types.concat([current]) : types;
}
classes.forEach(function (c) {
    byName[c.name] = c;
    c.members.forEach(function (m) { m.params = ParameterTypes(m.type); });
});

// Members with effects that would end the rest of their class's sweep run
// last in it, so everything before them meets a normal engine.
var drastic = ["DeleteObject", "DelayedDestruction", "ClearAllObjects",
               "ClearAllObjects_FreeMemory", "SetVideoMode", "ToggleFullScreen",
               "HideWindow", "MinimizeWindow", "MaximizeWindow", "CloseWindow", "Quit"];

function Label(cls, member, how) { return cls + "." + member + " " + how; }
function ClassOf(value) { return Object.prototype.toString.call(value).slice(8, -1); }

// Runs f; a thrown value must be an Error with a message. Returns true when
// f failed.
function Attempt(label, f) {
    sweep.calls++;
    sweep.last = label;
    try {
        f();
        return false;
    } catch (e) {
        if (!(e instanceof Error) || !e.message)
            sweep.bad.push(label + ": threw " + String(e) + " instead of an Error");
        else
            sweep.errors++;
        return true;
    }
}

function MustFail(label, f) {
    if (!Attempt(label, f))
        sweep.bad.push(label + ": did not fail");
}

var hostile = [
    undefined, null, "", "x", "\u012e\u012e/", "x.vxm\u0000.png", NaN, Infinity, -Infinity,
    -1, 4294967296, -4294967297, 1e308, 0.5, true, [], [1], [1, 2], [1, 2, 3, 4, 5],
    [NaN, "a", {}], [[1, 2], [3]], {}, { x: 1, y: 2, z: 3 }, function () {}, Symbol("s"),
    { valueOf: function () { throw new Error("valueOf throws"); } },
];

function Identity(n) {
    return Array.from({ length: n }, (_, c) => Array.from({ length: n }, (_, r) => +(c == r)));
}

var samples = {};

function AddSample(value) {
    if (value === null || typeof value != "object" || !byName[ClassOf(value)])
        return;
    var list = samples[ClassOf(value)] || (samples[ClassOf(value)] = []);
    if (list.length < 3)
        list.push(value);
}

// An ordinary value of a parameter type as the API reference names it.
function Plausible(type) {
    if (type == "GameObject") return om.NewObject();
    if (type == "message object") return MouseWheelMessage.Create(1);
    if (/^(string|file path|any value)/.test(type)) return "sweep";
    if (/^boolean/.test(type)) return true;
    if (/^(vec2|integer pair)/.test(type)) return [1, 2];
    if (/^vec3/.test(type)) return [1, 2, 3];
    if (/^vec4/.test(type)) return [1, 2, 3, 4];
    if (/^quaternion/.test(type)) return [0, 0, 0, 1];
    if (/^(unsigned integer|integer|number)/.test(type)) return 1;
    if (OptionKeys(type)) return {};
    var mat = /^mat([234])/.exec(type);
    if (mat) return Identity(+mat[1]);
    var list = samples[type.split(" ")[0]];
    return list && list.length ? list[0] : null;
}

function PlausibleArgs(member) { return member.params.map(Plausible); }

// "particle options {position, count}" to ["position", "count"]; null for other types.
function OptionKeys(type) {
    var keys = / options \{(.*)\}$/.exec(type);
    return keys && keys[1].split(", ");
}

// Options arguments meet every hostile value in every option, and keys they do not
// have; a refusal names the option and the value. Options whose values must fail
// for any game are listed in `refused`, by member.
var refused = {
    EmitParticles: [
        ["count", -1], ["count", 2.5], ["count", NaN], ["lifetime", -1], ["lifetime", Infinity],
        ["size", -0.5], ["speed", NaN], ["spread", 181], ["bounce", 2], ["direction", [0, 0, 0]],
        ["color", [1, NaN, 0, 1]], ["colors", [[1, 0, 0, 1], [1, 0]]], ["gravity", [0, NaN, 0]],
        ["position", "here"], ["fade", "yes"], ["colors", new Array(1e9)],
    ],
};
function SweepOptions(c, m, t) {
    m.params.forEach(function (type, a) {
        var keys = OptionKeys(type);
        if (!keys)
            return;
        function Call(options) {
            var args = PlausibleArgs(m);
            args[a] = options;
            return globalThis[c.name][m.name].apply(t, args);
        }
        keys.forEach(function (key) {
            hostile.forEach(function (h, k) {
                Attempt(Label(c.name, m.name, "option " + key + " hostile #" + k),
                        () => Call({ [key]: h }));
            });
        });
        (refused[m.name] || []).concat([["noSuchOption", 1]]).forEach(function ([key, value]) {
            var shown = Array.isArray(value) ? "an array of " + value.length : String(value);
            var label = Label(c.name, m.name, "option " + key + " = " + shown);
            try {
                Call({ [key]: value });
                sweep.bad.push(label + ": did not fail");
            } catch (e) {
                if (!(e instanceof Error) || !e.message.includes("'" + key + "'") ||
                    !e.message.includes(c.name + "." + m.name) ||
                    (typeof value == "number" && !e.message.includes(shown)))
                    sweep.bad.push(label + ": " + String(e));
            }
        });
    });
}

// Whether a member hands out an object of a bound class (a shape, a ray
// result), so that calling it with ordinary arguments yields a sample.
function MakesClassObject(m) {
    var result = m.type.split(") -> ")[1];
    return !!result && !!byName[result.split(" ")[0]];
}

// Objects of every class the engine hands out: the core and what its
// properties lead to, an object with every component, a message of every
// class that can be made, and what the Get functions and the other makers of
// class objects return.
function CollectSamples() {
    samples = {};
    AddSample(core);
    // Lent for one call, or kept by the engine's own (gamepads): kept* stay valid.
    for (var lent in globalThis)
        if (/^(lent|kept)/.test(lent))
            AddSample(globalThis[lent]);
    var obj = om.NewObject();
    AddSample(obj);
    function Collect(c, m, f) { Attempt(Label(c.name, m.name, "collecting"), () => AddSample(f())); }
    classes.forEach(function (c) {
        if (c.global)
            AddSample(globalThis[c.global]);
        if (c.constructible)
            Collect(c, { name: "new" }, () => new globalThis[c.name]());
        c.members.forEach(function (m) {
            if (c.name == "ObjectManager" && m.kind == "function" && /^Add/.test(m.name))
                Collect(c, m, () => ObjectManager[m.name](obj));
            if (m.name == "Create" && m.kind == "function")
                Collect(c, m, () => globalThis[c.name].Create.apply(null, PlausibleArgs(m)));
        });
    });
    for (var round = 0; round < 2; ++round) {
        classes.forEach(function (c) {
            c.members.forEach(function (m) {
                if (m.kind == "function" &&
                    (m.name == "Instance" || /^Get/.test(m.name) || MakesClassObject(m)))
                    Collect(c, m, () => globalThis[c.name][m.name].apply(null, PlausibleArgs(m)));
            });
            (samples[c.name] || []).slice().forEach(function (subject) {
                c.members.forEach(function (m) {
                    if (m.kind == "property")
                        Collect(c, m, () => subject[m.name]);
                    if (m.kind == "method" && (/^Get/.test(m.name) || MakesClassObject(m)))
                        Collect(c, m, () => subject[m.name].apply(subject, PlausibleArgs(m)));
                });
            });
        });
    }
}

// Objects of other classes, values that are no wrapper at all, and the
// class object itself.
function WrongThis(cls) {
    var list = [undefined, null, 1, "x", {}, []];
    for (var name in samples)
        if (name != cls && samples[name].length)
            list.push(samples[name][0]);
    return list.concat([globalThis[cls]]);
}

function SweepProperty(c, m, subjects) {
    subjects.forEach(function (s, i) {
        var tag = " on object " + i, before;
        Attempt(Label(c.name, m.name, "read" + tag), () => { before = s[m.name]; });
        hostile.forEach(function (h, k) {
            Attempt(Label(c.name, m.name, "write hostile #" + k + tag), () => { s[m.name] = h; });
        });
        Attempt(Label(c.name, m.name, "write back" + tag), () => { s[m.name] = before; });
    });
    if (m.kind != "property")
        return;
    var d = Object.getOwnPropertyDescriptor(globalThis[c.name], m.name);
    WrongThis(c.name).forEach(function (w, k) {
        MustFail(Label(c.name, m.name, "get with wrong this #" + k), () => d.get.call(w));
        MustFail(Label(c.name, m.name, "set with wrong this #" + k), () => d.set.call(w, 1));
    });
}

function SweepCall(c, m, subjects) {
    var f = globalThis[c.name][m.name];
    var n = m.argCount;
    var targets = m.kind == "method" ? subjects : [globalThis[c.name]];
    targets.forEach(function (t, i) {
        var tag = " on target " + i;
        Attempt(Label(c.name, m.name, "plausible" + tag), () => f.apply(t, PlausibleArgs(m)));
        for (var a = 0; a < n; ++a) {
            hostile.forEach(function (h, k) {
                var args = PlausibleArgs(m);
                args[a] = h;
                Attempt(Label(c.name, m.name, "argument " + (a + 1) + " hostile #" + k + tag),
                        function () {
                            var made = f.apply(t, args);
                            // What a message was made of reaches the systems too.
                            if (m.name == "Create" && made)
                                Core.BroadcastMessage(made);
                        });
            });
        }
        // Another number of arguments returns undefined and does nothing; arguments the
        // reference says may be left out are left out too, from the end.
        var required = n - (m.type.match(/\(may be left out\)/g) || []).length;
        var fewer = required > 0 ? required - 1 : n + 2;
        (required < n ? [required] : []).forEach(function (count) {
            Attempt(Label(c.name, m.name, count + " arguments" + tag),
                    () => f.apply(t, PlausibleArgs(m).slice(0, count)));
        });
        [n + 1, fewer].forEach(function (count) {
            var args = PlausibleArgs(m).concat([1, 1]).slice(0, count);
            var label = Label(c.name, m.name, count + " arguments" + tag), result;
            Attempt(label, () => { result = f.apply(t, args); });
            if (result !== undefined)
                sweep.bad.push(label + ": returned " + String(result));
        });
    });
    targets.forEach((t) => SweepOptions(c, m, t));
    if (m.kind == "method") {
        WrongThis(c.name).forEach(function (w, k) {
            MustFail(Label(c.name, m.name, "wrong this #" + k), () => f.apply(w, PlausibleArgs(m)));
        });
    }
}

// Each member once more with a value that clears every object while the
// engine converts it; a component wrapper meets this with an object of its
// own, so its members all start from a live component.
function SweepClearingWhileConverting(c, members) {
    var isComponent = typeof ObjectManager["Add" + c.name] == "function";
    var clear = () => { om.ClearAllObjects(); return 1; };
    var clearing = { valueOf: clear, toString: () => clear() && "sneaky" };
    members.forEach(function (m) {
        var subject = isComponent ? ObjectManager[c.name](WithEveryComponent())
                                  : (samples[c.name] || [])[0];
        if (!subject || m.kind == "constant")
            return;
        if (m.kind == "property") {
            Attempt(Label(c.name, m.name, "write clearing while converted"), () => {
                subject[m.name] = clearing;
            });
            return;
        }
        var target = m.kind == "method" ? subject : globalThis[c.name];
        for (var a = 0; a < m.argCount; ++a) {
            var args = PlausibleArgs(m);
            args[a] = clearing;
            Attempt(Label(c.name, m.name, "argument " + (a + 1) + " clearing while converted"),
                    () => globalThis[c.name][m.name].apply(target, args));
        }
    });
}

function SweepClass(name) {
    var c = byName[name];
    CollectSamples();
    var subjects = samples[name] || [];
    var members = c.members.filter((m) => drastic.indexOf(m.name) < 0)
        .concat(c.members.filter((m) => drastic.indexOf(m.name) >= 0));
    members.forEach(function (m) {
        if (m.kind == "property" || m.kind == "constant")
            SweepProperty(c, m, m.kind == "constant" ? [globalThis[name]] : subjects);
        else
            SweepCall(c, m, subjects);
    });
    SweepClearingWhileConverting(c, members);
    return subjects.length;
}

// The host's own functions, outside the class tables.
function SweepGlobals() {
    [print, RunFile, console.log, addEventListener, removeEventListener, structuredClone,
        queueMicrotask, crypto.getRandomValues, atob, btoa,
        function decode(h) { return new TextDecoder().decode(h); }].forEach(function (g) {
        hostile.forEach(function (h, k) { Attempt(g.name + " hostile #" + k, () => g(h)); });
    });
}

// Module loading meets hostile specifiers and files that are no module (the
// test makes them in `folder`): every import() must settle, none may crash.
function SweepModules(folder) {
    var result = { settled: 0, total: 0 };
    var specifiers = hostile.concat(["/dev/zero", "/dev/null", "/", ".", "..", "node:fs", "fs",
        "file:///dev/zero", "file://%00", "@scope", "@/x", "x".repeat(5000),
        "../".repeat(64) + "etc/passwd", "marrowvale"]);
    ["self.mjs", "dir.mjs", "fifo.mjs", "missing.mjs", "broken.mjs", "throws.mjs", "cycle-a.mjs"]
        .forEach(function (name) { specifiers.push(folder + "/" + name); });
    specifiers.forEach(function (s, k) {
        var settle = function () { result.settled++; };
        result.total++;
        Attempt("import() hostile #" + k, () => import(s).then(settle, settle));
        if (typeof s == "string")
            Attempt("RunFile module hostile #" + k, () => RunFile(s));
    });
    return result;
}

// Every member of the wrappers in `subjects` (class name to list). With
// `mustFail`, every access must fail; otherwise the accesses only must not
// crash.
function UseGone(subjects, how, mustFail) {
    function Check(label, f) {
        if (!Attempt(label, f) && mustFail)
            sweep.stale.push(label);
    }
    for (var name in subjects) {
        byName[name].members.forEach(function (m) {
            subjects[name].forEach(function (s, i) {
                var label = Label(name, m.name, how + " (object " + i + ")");
                if (m.kind == "property") {
                    Check(label + " read", () => s[m.name]);
                    Check(label + " write", () => { s[m.name] = Plausible(m.type); });
                } else if (m.kind == "method") {
                    Check(label, () => s[m.name].apply(s, PlausibleArgs(m)));
                }
            });
        });
    }
}

// Component wrappers of one object, by class.
function ComponentsOf(obj) {
    var found = {};
    classes.forEach(function (c) {
        var getter = ObjectManager[c.name];
        var w = /Component$/.test(c.name) && typeof getter == "function" && getter(obj);
        if (w)
            found[c.name] = [w];
    });
    return found;
}

function WithEveryComponent() {
    var obj = om.NewObject();
    byName.ObjectManager.members.forEach(function (m) {
        if (m.kind == "function" && /^Add/.test(m.name))
            ObjectManager[m.name](obj);
    });
    return obj;
}

// Component wrappers of an object with every component, kept across `end`.
function KeptAcross(end) {
    var obj = WithEveryComponent(), kept = ComponentsOf(obj);
    end(obj, kept);
    return kept;
}
function Clear() { om.ClearAllObjects(); }
function Delete(obj) { om.DeleteObject(obj); om.DelayedDestruction(); }

// Wrappers kept across ClearAllObjects reach nothing; kept across
// DeleteObject + DelayedDestruction, or a component's removal, they must at
// least not crash.
function SweepStaleComponents() {
    Clear();
    UseGone(KeptAcross(Clear), "after ClearAllObjects", true);
    UseGone(KeptAcross(Delete), "after DeleteObject", false);
    UseGone(KeptAcross(function (obj, kept) {
        for (var name in kept)
            ObjectManager["Remove" + name](obj);
    }), "after its removal", false);
}

// Wrappers of a deleted object reach nothing, neither at once nor once new
// objects have taken the ids of the gone ones.
function SweepWrappersOfGoneObjects() {
    var kept = KeptAcross(Delete);
    UseGone(kept, "after DeleteObject", true);
    WithEveryComponent();
    UseGone(kept, "after DeleteObject and a new object", true);
    Clear();
    kept = KeptAcross(Clear);
    WithEveryComponent();
    UseGone(kept, "after ClearAllObjects and a new object", true);
}

// A message handed to the engine is the engine's: its wrapper is emptied.
function SweepBroadcastMessages() {
    CollectSamples();
    var gone = {};
    classes.forEach(function (c) {
        var create = c.members.filter((m) => m.name == "Create")[0];
        if (!create)
            return;
        var m = globalThis[c.name].Create.apply(null, PlausibleArgs(create));
        Core.BroadcastMessage(m);
        gone[c.name] = [m];
        MustFail(Label(c.name, "Create", "broadcast twice"), () => Core.BroadcastMessage(m));
    });
    UseGone(gone, "after its broadcast", true);
}

// A message the engine lent for one call is out of reach once the call is over.
function SweepLentMessages() {
    var gone = {};
    for (var lent in globalThis)
        if (/^lent/.test(lent))
            gone[ClassOf(globalThis[lent])] = [globalThis[lent]];
    UseGone(gone, "after its lending", true);
}
